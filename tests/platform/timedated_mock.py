#!/usr/bin/python3
"""Runs a command against a mocked systemd-timedated on a private system bus of its own.

    timedated_mock.py SCENARIO COMMAND...

SCENARIO: accept, autosync, notauthorized, accessdenied, late (answers after 1.5 s),
notimedated (a bus without it), nobus. The machine's own system bus is never used.
Prints the command's output, then one line per SetTime call the mock received:
    SetTime <correction in ms, rounded> relative=<bool> interactive=<bool>
"""
import os
import subprocess
import sys
import tempfile

import dbus
import dbusmock

RAISE = "raise dbus.exceptions.DBusException('refused', name='{}')"
SET_TIME = {
    'autosync': RAISE.format('org.freedesktop.timedate1.AutomaticTimeSyncEnabled'),
    'notauthorized': RAISE.format('org.freedesktop.PolicyKit1.Error.NotAuthorized'),
    'accessdenied': RAISE.format('org.freedesktop.DBus.Error.AccessDenied'),
    'late': 'import time; time.sleep(1.5)',
}


def run(command):
    sys.stdout.write(subprocess.run(command, stdout=subprocess.PIPE, text=True, timeout=60).stdout)


def main():
    scenario, command = sys.argv[1], sys.argv[2:]
    if scenario == 'nobus':
        os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = 'unix:path=' + tempfile.mkdtemp() + '/none'
        run(command)
        return
    case = dbusmock.DBusTestCase
    case.start_system_bus()  # a dbus-daemon with a config of its own; sets DBUS_SYSTEM_BUS_ADDRESS
    server = None
    try:
        if scenario != 'notimedated':
            server, obj = case.spawn_server_template('timedated', {}, stdout=subprocess.DEVNULL)
            mock = dbus.Interface(obj, dbusmock.MOCK_IFACE)
            if scenario in SET_TIME:
                mock.AddMethod('org.freedesktop.timedate1', 'SetTime', 'xbb', '', SET_TIME[scenario])
        run(command)
        if server:
            for _, method, args in mock.GetCalls():
                if method == 'SetTime':
                    print(f'SetTime {round(int(args[0]) / 1000)} relative={bool(args[1])} '
                          f'interactive={bool(args[2])}')
    finally:
        if server:
            server.terminate()
            server.wait()
        case.tearDownClass()


if __name__ == '__main__':
    main()
