#!/usr/bin/python3
"""A panel's StatusNotifierWatcher and host on the session bus it is given (dbus-run-session), and
the windowed program as its user would drive its status icon.

    status_watcher.py PROGRAM [late] [settings]

Starts `PROGRAM NOSHOW` (with `late`, the watcher comes two seconds after the program, as a panel
may at login), waits for its item, and prints:
    item <Title> <Status> <IconName>
    menu <label>|<label>|...
    shown            once "Horavex tonen" showed the main window
    settings         with `settings`, once "Instellingen..." showed the settings window
    exit <status>    after "Nu synchroniseren" and "Stoppen"
    <each line the program wrote to stderr>
"""
import os
import subprocess
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

WATCHER = 'org.kde.StatusNotifierWatcher'
ITEM = 'org.kde.StatusNotifierItem'
MENU = 'com.canonical.dbusmenu'


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/StatusNotifierWatcher')
        self.items = []

    @dbus.service.method(WATCHER, in_signature='s', sender_keyword='sender')
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item may give its object path only: the sender is then its bus name.
        self.items.append((sender, service) if service.startswith('/') else (service, '/StatusNotifierItem'))

    @dbus.service.method(WATCHER, in_signature='s')
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return {'IsStatusNotifierHostRegistered': True, 'ProtocolVersion': dbus.Int32(0),
                'RegisteredStatusNotifierItems': dbus.Array([n + p for n, p in self.items], signature='s')}


def wait(condition, seconds):
    """Runs the bus until condition() holds or the time is up."""
    context, end = GLib.MainContext.default(), time.monotonic() + seconds
    while not condition() and time.monotonic() < end:
        context.iteration(False) or time.sleep(0.02)
    return condition()


def shows(pid, title='Horavex'):
    found = subprocess.run(['xdotool', 'search', '--onlyvisible', '--pid', str(pid), '--name', '^%s$' % title],
                           capture_output=True, check=False)
    return bool(found.stdout.strip())


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    log = open(os.path.join(os.environ['HOME'], 'icon.log'), 'w+b')
    program = subprocess.Popen([sys.argv[1], 'NOSHOW'], stderr=log, env=dict(os.environ, NO_AT_BRIDGE='1'))
    if 'late' in sys.argv[2:]:
        wait(lambda: False, 2)
    watcher = Watcher(bus)
    name = dbus.service.BusName(WATCHER, bus)  # owned from here on
    if wait(lambda: watcher.items, 20):
        service, path = watcher.items[0]
        item = bus.get_object(service, path)
        props = item.GetAll(ITEM, dbus_interface=dbus.PROPERTIES_IFACE)
        print('item', props['Title'], props['Status'], props['IconName'])
        menu = bus.get_object(service, props['Menu'])
        _, (_, _, children) = menu.GetLayout(0, -1, [], dbus_interface=MENU)
        entries = {str(c[1].get('label', '')): int(c[0]) for c in children if c[1].get('visible', True)}
        print('menu', '|'.join(entries))
        def click(label):
            menu.Event(entries[label], 'clicked', dbus.Int32(0, variant_level=1), 0, dbus_interface=MENU)
        click('Horavex tonen')
        if wait(lambda: shows(program.pid), 10):
            print('shown')
        if 'settings' in sys.argv[2:]:
            click('Instellingen...')
            if wait(lambda: shows(program.pid, 'Instellen'), 10):
                print('settings')
        click('Nu synchroniseren')
        click('Stoppen')
    wait(lambda: program.poll() is not None, 10)
    if program.poll() is None:
        program.kill()
    print('exit', program.wait())
    log.seek(0)
    sys.stdout.write(log.read().decode(errors='replace'))
    del name


if __name__ == '__main__':
    main()
