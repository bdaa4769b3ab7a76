'''python-dbusmock template: the user's service manager on the session bus, as far as
transient units go. Each StartTransientUnit and StopUnit is appended to the file "log"
names, one line of tab-separated fields: "start", the unit and its properties as Key=value
(a timer's calendar as OnCalendar=..., a service's command as ExecStart=...), then each
auxiliary unit and its properties; or "stop" and the unit.

Parameters: "log", the file; "refuse", true for a manager that refuses the timer, as one
older than systemd 254 refuses WakeSystem= from a user.'''

import dbus

BUS_NAME = 'org.freedesktop.systemd1'
MAIN_OBJ = '/org/freedesktop/systemd1'
MAIN_IFACE = 'org.freedesktop.systemd1.Manager'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.unit_log = parameters['log']
    mock.refuse = bool(parameters.get('refuse', False))


def describe(properties):
    fields = []
    for key, value in properties:
        if key == 'TimersCalendar':
            fields += ['%s=%s' % (base, spec) for base, spec in value]
        elif key == 'ExecStart':
            fields += ['ExecStart=' + ' '.join(argv) for _path, argv, _ignore in value]
        elif isinstance(value, dbus.Boolean):
            fields.append('%s=%s' % (key, 'true' if value else 'false'))
        else:
            fields.append('%s=%s' % (key, value))
    return fields


def append(mock, fields):
    with open(mock.unit_log, 'a', encoding='utf-8') as log:
        log.write('\t'.join(str(f) for f in fields) + '\n')


@dbus.service.method(MAIN_IFACE, in_signature='ssa(sv)a(sa(sv))', out_signature='o')
def StartTransientUnit(self, name, _mode, properties, aux):
    if self.refuse:
        raise dbus.exceptions.DBusException('Unknown assignment: WakeSystem=yes',
                                            name='org.freedesktop.DBus.Error.InvalidArgs')
    fields = ['start', name] + describe(properties)
    for unit, unit_properties in aux:
        fields += [unit] + describe(unit_properties)
    append(self, fields)
    return dbus.ObjectPath('/org/freedesktop/systemd1/job/1')


@dbus.service.method(MAIN_IFACE, in_signature='ss', out_signature='o')
def StopUnit(self, name, _mode):
    append(self, ['stop', name])
    return dbus.ObjectPath('/org/freedesktop/systemd1/job/2')
