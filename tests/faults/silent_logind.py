"""A logind on the system bus that takes PowerOff and Reboot calls and never answers them.
Prints one line per call (the method's name) on its standard output.

    DBUS_SYSTEM_BUS_ADDRESS=... /usr/bin/python3 silent_logind.py
"""

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MANAGER = 'org.freedesktop.login1.Manager'


class Manager(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/org/freedesktop/login1')
        self.unanswered = []  # the reply callbacks, held so that nothing answers for us

    def take(self, method, reply, error):
        self.unanswered.append((reply, error))
        print(method, flush=True)

    @dbus.service.method(MANAGER, in_signature='b', out_signature='', async_callbacks=('reply', 'error'))
    def PowerOff(self, interactive, reply, error):
        self.take('PowerOff', reply, error)

    @dbus.service.method(MANAGER, in_signature='b', out_signature='', async_callbacks=('reply', 'error'))
    def Reboot(self, interactive, reply, error):
        self.take('Reboot', reply, error)


if __name__ == '__main__':
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    manager = Manager(bus)
    name = dbus.service.BusName('org.freedesktop.login1', bus)
    GLib.MainLoop().run()
