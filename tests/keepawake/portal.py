'''python-dbusmock template: the desktop portal's Inhibit. Each Inhibit makes a request
object of its own, whose Close calls the mock records.

Parameters: "delay", the seconds Inhibit takes to answer (0 unless given); the request
exists from the call on, as with a portal that waits for its backend.'''

import dbus
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Inhibit'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.delay = float(parameters.get('delay', 0))
    mock.requests = 0


@dbus.service.method(MAIN_IFACE, in_signature='sua{sv}', out_signature='o', async_callbacks=('reply', '_error'))
def Inhibit(self, _window, _flags, _options, reply, _error):
    self.requests += 1
    path = dbus.ObjectPath('/org/freedesktop/portal/desktop/request/1_1/quietwatch%d' % self.requests)
    self.AddObject(path, 'org.freedesktop.portal.Request', {}, [('Close', '', '', '')])
    GLib.timeout_add(int(self.delay * 1000), lambda: reply(path))  # None: once
