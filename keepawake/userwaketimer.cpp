#include "userwaketimer.h"

#include "dbusworker.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <thread>

namespace quietwatch::userwake {

namespace {

constexpr const char *kDescription = "Quietwatch: 設定した時刻の電源操作のために起こします";
constexpr std::string_view kUnitExists = "org.freedesktop.systemd1.UnitExists";

dbus::Message managerCall(const char *method)
{
    return dbus::Message(dbus_message_new_method_call("org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                                                      "org.freedesktop.systemd1.Manager", method));
}

// One (sv) entry of a property list.
class Property
{
public:
    Property(DBusMessageIter &list, const char *name, const char *signature)
    {
        dbus_message_iter_open_container(&list, DBUS_TYPE_STRUCT, nullptr, &m_entry);
        dbus_message_iter_append_basic(&m_entry, DBUS_TYPE_STRING, &name);
        dbus_message_iter_open_container(&m_entry, DBUS_TYPE_VARIANT, signature, &m_value);
        m_list = &list;
    }
    ~Property()
    {
        dbus_message_iter_close_container(&m_entry, &m_value);
        dbus_message_iter_close_container(m_list, &m_entry);
    }
    Property(const Property &) = delete;
    Property &operator=(const Property &) = delete;

    DBusMessageIter &value() { return m_value; }

private:
    DBusMessageIter *m_list = nullptr;
    DBusMessageIter m_entry{};
    DBusMessageIter m_value{};
};

template <typename T> void addBasic(DBusMessageIter &list, const char *name, int type, const char *signature, T value)
{
    Property property(list, name, signature);
    dbus_message_iter_append_basic(&property.value(), type, &value);
}

void addString(DBusMessageIter &list, const char *name, const char *value)
{
    addBasic(list, name, DBUS_TYPE_STRING, "s", value);
}

void addBool(DBusMessageIter &list, const char *name, bool value)
{
    addBasic(list, name, DBUS_TYPE_BOOLEAN, "b", static_cast<dbus_bool_t>(value));
}

// TimersCalendar a(ss): [("OnCalendar", expression)].
void addCalendar(DBusMessageIter &list, const std::string &expression)
{
    Property property(list, "TimersCalendar", "a(ss)");
    DBusMessageIter array;
    DBusMessageIter entry;
    const char *base = "OnCalendar";
    const char *value = expression.c_str();
    dbus_message_iter_open_container(&property.value(), DBUS_TYPE_ARRAY, "(ss)", &array);
    dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &base);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &value);
    dbus_message_iter_close_container(&array, &entry);
    dbus_message_iter_close_container(&property.value(), &array);
}

// ExecStart a(sasb): [("/bin/true", ["/bin/true"], false)].
void addDoNothing(DBusMessageIter &list)
{
    Property property(list, "ExecStart", "a(sasb)");
    const char *path = "/bin/true";
    const dbus_bool_t ignoreFailure = FALSE;
    DBusMessageIter array;
    DBusMessageIter entry;
    DBusMessageIter argv;
    dbus_message_iter_open_container(&property.value(), DBUS_TYPE_ARRAY, "(sasb)", &array);
    dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &path);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_ARRAY, "s", &argv);
    dbus_message_iter_append_basic(&argv, DBUS_TYPE_STRING, &path);
    dbus_message_iter_close_container(&entry, &argv);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_BOOLEAN, &ignoreFailure);
    dbus_message_iter_close_container(&array, &entry);
    dbus_message_iter_close_container(&property.value(), &array);
}

// StartTransientUnit(timer, "fail", timer properties, [(service, service properties)]).
dbus::Message startMessage(std::chrono::sys_seconds moment)
{
    dbus::Message message = managerCall("StartTransientUnit");
    if (!message) {
        return message;
    }
    const char *name = kTimerUnit;
    const char *mode = "fail";
    const char *service = kServiceUnit;
    DBusMessageIter args;
    DBusMessageIter list;
    dbus_message_iter_init_append(message.get(), &args);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &name);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &mode);
    dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "(sv)", &list);
    addString(list, "Description", kDescription);
    addCalendar(list, onCalendar(moment));
    addBool(list, "WakeSystem", true);
    addBasic(list, "AccuracyUSec", DBUS_TYPE_UINT64, "t", static_cast<dbus_uint64_t>(1000000)); // 1 s
    addBool(list, "RemainAfterElapse", false); // an elapsed timer goes away by itself
    dbus_message_iter_close_container(&args, &list);

    DBusMessageIter units;
    DBusMessageIter unit;
    DBusMessageIter properties;
    dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "(sa(sv))", &units);
    dbus_message_iter_open_container(&units, DBUS_TYPE_STRUCT, nullptr, &unit);
    dbus_message_iter_append_basic(&unit, DBUS_TYPE_STRING, &service);
    dbus_message_iter_open_container(&unit, DBUS_TYPE_ARRAY, "(sv)", &properties);
    addString(properties, "Description", kDescription);
    addDoNothing(properties);
    dbus_message_iter_close_container(&unit, &properties);
    dbus_message_iter_close_container(&units, &unit);
    dbus_message_iter_close_container(&args, &units);
    return message;
}

} // namespace

std::string onCalendar(std::chrono::sys_seconds moment)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(moment);
    const year_month_day date(day);
    const hh_mm_ss time(moment - day);
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text.data();
}

bool start(DBusConnection *bus, std::chrono::sys_seconds moment)
{
    stop(bus);
    // A unit being stopped stays loaded until the manager has finished its job and collected
    // it, which may come after the next call: the name is asked for again a few times.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const dbus::Message message = startMessage(moment);
        std::string error;
        if (!message) {
            return false;
        }
        if (dbus::callAndWait(bus, message.get(), &error)) {
            return true;
        }
        if (error != kUnitExists) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{100});
    }
    return false;
}

void stop(DBusConnection *bus)
{
    const dbus::Message message = managerCall("StopUnit");
    const char *name = kTimerUnit;
    const char *mode = "replace";
    if (message &&
        dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &mode, DBUS_TYPE_INVALID)) {
        dbus::callAndWait(bus, message.get()); // a timer that is not there: nothing to stop
    }
}

} // namespace quietwatch::userwake
