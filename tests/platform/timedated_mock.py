#!/usr/bin/python3
"""Runs commands against a mocked systemd-timedated and polkit on a private system bus of its own.

    timedated_mock.py SCENARIO COMMAND... [--then COMMAND...]

SCENARIO is words joined by '+':
  polkit=yes (the default), polkit=no, polkit=none (not on the bus), or prompt=S1,S2,... (the
          n-th interactive check is granted after Sn seconds, unless cancelled; a grant is kept,
          as auth_admin_keep does)
  autosync (NTP on), deny (SetTime raises AccessDenied), late (SetTime answers after 1.5 s),
          busstamp (the bus stamps messages), timedated=none (not on the bus)
  nobus: no bus at all
  interrupt=S: the first command gets SIGINT after S seconds
The machine's own system bus is never used. Each step SetTime would make is added as a line of
microseconds to the file $HORAVEX_MOCK_STEPS, if set. Prints each command's output, then one line
per call:
    CheckAuthorization interactive=<0|1> <granted|refused|cancelled>
    SetTime <ms, rounded> relative=<bool> interactive=<bool> step_us=<what the clock would move by>
A relative SetTime that must wait for a prompt is run again once the prompt is answered, as
systemd-timedated's method does: `now + usec` is taken then, and with busstamp the time since the
message was stamped is added too; step_us is what that would have moved the clock by.
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

import dbus
import dbus.mainloop.glib
import dbus.service
import dbusmock
from gi.repository import GLib

# dbusmock replaces dbus-python's method lookup with one for its own objects: these are plain ones.
dbus.service._method_lookup = dbusmock.mockobject.orig_method_lookup  # pylint: disable=protected-access

TIMEDATED = 'org.freedesktop.timedate1'
POLKIT = 'org.freedesktop.PolicyKit1'
AUTHORITY = 'org.freedesktop.PolicyKit1.Authority'
calls = []


class Polkit(dbus.service.Object):
    def __init__(self, bus, mode, delays):
        super().__init__(bus, '/org/freedesktop/PolicyKit1/Authority')
        self.mode, self.delays, self.granted, self.pending = mode, list(delays), mode == 'yes', {}

    def ask(self, interactive, done):
        """Calls done(granted) now, or once the next prompt is answered; returns a cancel function."""
        if self.granted or self.mode == 'no' or not interactive:
            done(self.granted)
            return lambda: None
        delay = self.delays.pop(0) if self.delays else 0
        source = GLib.timeout_add(int(delay * 1000), lambda: self.grant(done))
        return lambda: GLib.source_remove(source)

    def grant(self, done):
        self.granted = True
        done(True)
        return False

    @dbus.service.method(AUTHORITY, in_signature='(sa{sv})sa{ss}us', out_signature='(bba{ss})',
                         async_callbacks=('ok', 'err'))
    def CheckAuthorization(self, subject, action, details, flags, cancel_id, ok, err):
        interactive = int(flags) & 1
        answered = []

        def done(granted):
            answered.append(granted)
            self.pending.pop(cancel_id, None)
            calls.append(f'CheckAuthorization interactive={interactive} {"granted" if granted else "refused"}')
            ok((granted, not granted, {}))
        cancel = self.ask(interactive, done)
        if not answered:
            self.pending[cancel_id] = (cancel, err)

    @dbus.service.method(AUTHORITY, in_signature='s')
    def CancelCheckAuthorization(self, cancel_id):
        if cancel_id in self.pending:
            cancel, err = self.pending.pop(cancel_id)
            cancel()
            calls.append('CheckAuthorization interactive=1 cancelled')
            err(dbus.exceptions.DBusException('cancelled', name='org.freedesktop.PolicyKit1.Error.Cancelled'))


class Timedated(dbus.service.Object):
    def __init__(self, bus, words, polkit):
        super().__init__(bus, '/org/freedesktop/timedate1')
        self.words, self.polkit = words, polkit

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return dbus.Boolean('autosync' in self.words, variant_level=1)

    @dbus.service.method(TIMEDATED, in_signature='xbb', async_callbacks=('ok', 'err'))
    def SetTime(self, usec, relative, interactive, ok, err):
        stamped = time.monotonic()

        def run(granted):
            if not granted:
                return err(dbus.exceptions.DBusException(
                    'no', name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired'))
            now = time.time()
            step = usec / 1e6 + (0 if relative else -now)
            if 'busstamp' in self.words:
                step += time.monotonic() - stamped
            calls.append(f'SetTime {round(usec / 1000)} relative={bool(relative)} interactive={bool(interactive)} '
                         f'step_us={round(step * 1e6)}')
            if os.environ.get('HORAVEX_MOCK_STEPS'):
                with open(os.environ['HORAVEX_MOCK_STEPS'], 'a', encoding='ascii') as steps:
                    steps.write(f'{round(step * 1e6)}\n')
            if 'deny' in self.words:
                return err(dbus.exceptions.DBusException('no', name='org.freedesktop.DBus.Error.AccessDenied'))
            if 'late' in self.words:
                return GLib.timeout_add(1500, lambda: answer_once(ok))
            ok()
        if self.polkit is None:
            return run(True)
        self.polkit.ask(bool(interactive), run)


def answer_once(ok):
    ok()
    return False


def run_commands(commands, interrupt, loop):
    for i, command in enumerate(commands):
        child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                 start_new_session=True)
        if i == 0 and interrupt:
            time.sleep(interrupt)
            os.killpg(child.pid, signal.SIGINT)
        sys.stdout.write(child.communicate(timeout=90)[0])
    GLib.idle_add(loop.quit)


def main():
    words = sys.argv[1].split('+')
    commands, command = [], []
    for arg in sys.argv[2:] + ['--then']:
        if arg == '--then':
            commands.append(command)
            command = []
        else:
            command.append(arg)
    option = {w.split('=')[0]: w.split('=')[1] for w in words if '=' in w}
    if 'nobus' in words:
        os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = 'unix:path=' + tempfile.mkdtemp() + '/none'
        run_commands(commands, 0, GLib.MainLoop())
        return
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    case = dbusmock.DBusTestCase
    case.start_system_bus()  # a dbus-daemon with a config of its own; sets DBUS_SYSTEM_BUS_ADDRESS
    try:
        bus = dbus.SystemBus()
        polkit, names = None, []
        mode = option.get('polkit', 'prompt' if 'prompt' in option else 'yes')
        if mode != 'none':
            delays = [float(d) for d in option['prompt'].split(',')] if 'prompt' in option else []
            names.append(dbus.service.BusName(POLKIT, bus))
            polkit = Polkit(bus, mode, delays)
        if option.get('timedated') != 'none':
            names.append(dbus.service.BusName(TIMEDATED, bus))
            Timedated(bus, words, polkit)
        loop = GLib.MainLoop()
        threading.Thread(target=run_commands, args=(commands, float(option.get('interrupt', 0)), loop),
                         daemon=True).start()
        loop.run()
        del names
        for line in calls:
            print(line)
    finally:
        case.tearDownClass()


if __name__ == '__main__':
    main()
