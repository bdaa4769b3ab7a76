'''python-dbusmock template: the desktop portal's Inhibit. Each Inhibit makes a request
object of its own, whose Close calls the mock records.'''

import dbus

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Inhibit'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.AddMethod(MAIN_IFACE, 'Inhibit', 'sua{sv}', 'o',
                   'self.requests = getattr(self, "requests", 0) + 1\n'
                   'path = "/org/freedesktop/portal/desktop/request/1_1/quietwatch%d" % self.requests\n'
                   'self.AddObject(path, "org.freedesktop.portal.Request", {}, [("Close", "", "", "")])\n'
                   'ret = dbus.ObjectPath(path)')
