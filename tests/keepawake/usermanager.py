'''python-dbusmock template: the user's service manager, as far as transient units go. Each
StartTransientUnit ("start", the unit, Key=value of its properties, then each auxiliary unit
and its) and StopUnit ("stop", the unit) is a line of tab-separated fields in the file "log"
names. "refuse": true answers StartTransientUnit with an error, as systemd before 254 does.'''

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
            fields += ['%s=%s' % (base, expression) for base, expression in value]
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
