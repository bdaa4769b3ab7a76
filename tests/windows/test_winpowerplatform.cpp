// The Win32 power layer against the real privilege calls. Every call in the table is
// wrapped: the wrapper records its arguments and forwards to the real function, except
// ExitWindowsEx, which only records (the test must not end the session), and except a
// step that a test forces to fail, which returns 0 without calling the system.

#include "powercontrol.h"
#include "powerplatform.h"
#include "winpowerplatform.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace quietwatch {
namespace {

using Calls = std::vector<std::string>;

enum class Step
{
    None,
    OpenProcessToken,
    LookupPrivilegeValueA,
    AdjustTokenPrivileges,
};

// What the wrappers saw. The table holds plain function pointers, so they report here.
struct Seen
{
    Step failing = Step::None;
    Calls calls;

    HANDLE process = nullptr;
    DWORD access = 0;
    std::vector<HANDLE> tokens; // every handle the real OpenProcessToken gave out

    bool systemNameNull = false;
    std::string privilegeName;
    LUID luid{};

    HANDLE adjustedToken = nullptr;
    BOOL disableAll = -1;
    unsigned char record[16]{};
    DWORD bufferLength = 0;
    bool previousStateGiven = false;
    DWORD returnLengthBefore = 99;
    BOOL adjustResult = FALSE;

    std::vector<UINT> exitFlags;
    std::vector<DWORD> exitReasons;
};

Seen seen;

BOOL WINAPI recordOpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    seen.calls.emplace_back("OpenProcessToken");
    seen.process = process;
    seen.access = access;
    if (seen.failing == Step::OpenProcessToken) {
        return FALSE;
    }
    const BOOL ok = ::OpenProcessToken(process, access, token);
    if (ok != FALSE) {
        seen.tokens.push_back(*token);
    }
    return ok;
}

BOOL WINAPI recordLookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid)
{
    seen.calls.emplace_back("LookupPrivilegeValueA");
    seen.systemNameNull = systemName == nullptr;
    seen.privilegeName = name;
    if (seen.failing == Step::LookupPrivilegeValueA) {
        return FALSE;
    }
    const BOOL ok = ::LookupPrivilegeValueA(systemName, name, luid);
    seen.luid = *luid;
    return ok;
}

BOOL WINAPI recordAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD bufferLength,
                                        PTOKEN_PRIVILEGES previous, PDWORD returnLength)
{
    seen.calls.emplace_back("AdjustTokenPrivileges");
    seen.adjustedToken = token;
    seen.disableAll = disableAll;
    std::memcpy(seen.record, state, sizeof seen.record);
    seen.bufferLength = bufferLength;
    seen.previousStateGiven = previous != nullptr;
    seen.returnLengthBefore = *returnLength;
    if (seen.failing == Step::AdjustTokenPrivileges) {
        return FALSE;
    }
    seen.adjustResult = ::AdjustTokenPrivileges(token, disableAll, state, bufferLength, previous, returnLength);
    return seen.adjustResult;
}

BOOL WINAPI recordExitWindowsEx(UINT flags, DWORD reason)
{
    seen.calls.emplace_back("ExitWindowsEx");
    seen.exitFlags.push_back(flags);
    seen.exitReasons.push_back(reason);
    return TRUE;
}

constexpr Win32PowerCalls kRecordingCalls{&recordOpenProcessToken, &recordLookupPrivilegeValueA,
                                          &recordAdjustTokenPrivileges, &recordExitWindowsEx};

const Calls kWholeSequence{"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges", "ExitWindowsEx"};

std::uint32_t u32At(const unsigned char *bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

LUID shutdownLuid()
{
    LUID luid{};
    EXPECT_NE(::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid), FALSE);
    return luid;
}

bool sameLuid(const LUID &a, const LUID &b)
{
    return a.LowPart == b.LowPart && a.HighPart == b.HighPart;
}

bool isOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

// The shutdown privilege's attributes in this process's token, read by the system.
DWORD shutdownPrivilegeAttributes()
{
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
        ADD_FAILURE() << "cannot open the own token: " << ::GetLastError();
        return 0;
    }
    DWORD size = 0;
    ::GetTokenInformation(token, ::TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const BOOL ok = ::GetTokenInformation(token, ::TokenPrivileges, buffer.data(), size, &size);
    ::CloseHandle(token);
    if (ok == FALSE) {
        ADD_FAILURE() << "cannot read the token's privileges: " << ::GetLastError();
        return 0;
    }
    const auto *privileges = reinterpret_cast<const TOKEN_PRIVILEGES *>(buffer.data());
    const LUID wanted = shutdownLuid();
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        if (sameLuid(privileges->Privileges[i].Luid, wanted)) {
            return privileges->Privileges[i].Attributes;
        }
    }
    ADD_FAILURE() << "the token holds no shutdown privilege";
    return 0;
}

// Each test starts from a token whose shutdown privilege is present but not enabled.
void disableShutdownPrivilege()
{
    HANDLE token = nullptr;
    ASSERT_NE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token), FALSE);
    TOKEN_PRIVILEGES state{};
    state.PrivilegeCount = 1;
    state.Privileges[0].Luid = shutdownLuid();
    state.Privileges[0].Attributes = 0;
    const BOOL ok = ::AdjustTokenPrivileges(token, FALSE, &state, 0, nullptr, nullptr);
    ::CloseHandle(token);
    ASSERT_NE(ok, FALSE);
    ASSERT_EQ(shutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0U);
}

class WinPowerPlatformTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        seen = Seen{};
        disableShutdownPrivilege();
    }
};

TEST_F(WinPowerPlatformTest, TheSystemReportsTheNtFamily)
{
    EXPECT_EQ(WinPowerPlatform(kRecordingCalls).platformCode(), 2);
}

struct ActionCase
{
    const char *name;
    void (PowerRequests::*request)();
    UINT flags;
};

void PrintTo(const ActionCase &c, std::ostream *os)
{
    *os << c.name;
}

class WinPowerAction : public WinPowerPlatformTest, public ::testing::WithParamInterface<ActionCase>
{
};

TEST_P(WinPowerAction, EnablesTheShutdownPrivilegeThenAsksToEndTheSession)
{
    WinPowerPlatform platform(kRecordingCalls);
    PowerControl control(platform);
    (control.*GetParam().request)();

    EXPECT_EQ(seen.calls, kWholeSequence);

    EXPECT_EQ(seen.process, ::GetCurrentProcess());
    EXPECT_EQ(seen.access, 0x28U);
    ASSERT_EQ(seen.tokens.size(), 1U);

    EXPECT_TRUE(seen.systemNameNull);
    EXPECT_EQ(seen.privilegeName, "SeShutdownPrivilege");
    EXPECT_TRUE(sameLuid(seen.luid, shutdownLuid()));

    // The record as the system read it: count, LUID low, LUID high, attributes.
    EXPECT_EQ(seen.adjustedToken, seen.tokens[0]);
    EXPECT_EQ(seen.disableAll, FALSE);
    EXPECT_EQ(seen.bufferLength, 16U);
    EXPECT_TRUE(seen.previousStateGiven);
    EXPECT_EQ(seen.returnLengthBefore, 0U);
    EXPECT_EQ(u32At(seen.record, 0), 1U);
    EXPECT_EQ(u32At(seen.record, 4), seen.luid.LowPart);
    EXPECT_EQ(static_cast<LONG>(u32At(seen.record, 8)), seen.luid.HighPart);
    EXPECT_EQ(u32At(seen.record, 12), 2U);
    EXPECT_NE(seen.adjustResult, FALSE);

    // Exactly the action's flags (no EWX_FORCE) and reason 0, once.
    EXPECT_EQ(seen.exitFlags, std::vector<UINT>{GetParam().flags});
    EXPECT_EQ(seen.exitReasons, std::vector<DWORD>{0});

    // The system now holds the privilege enabled, and the token handle is gone.
    EXPECT_NE(shutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0U);
    EXPECT_FALSE(isOpenHandle(seen.tokens[0]));
}

TEST_P(WinPowerAction, TwoRequestsInARowEachRepeatTheWholeSequence)
{
    WinPowerPlatform platform(kRecordingCalls);
    PowerControl control(platform);
    (control.*GetParam().request)();
    // The second time the privilege is already enabled; that is still a success.
    (control.*GetParam().request)();

    Calls twice = kWholeSequence;
    twice.insert(twice.end(), kWholeSequence.begin(), kWholeSequence.end());
    EXPECT_EQ(seen.calls, twice);
    EXPECT_EQ(seen.exitFlags, (std::vector<UINT>{GetParam().flags, GetParam().flags}));
    ASSERT_EQ(seen.tokens.size(), 2U);
    EXPECT_FALSE(isOpenHandle(seen.tokens[0]));
    EXPECT_FALSE(isOpenHandle(seen.tokens[1]));
}

INSTANTIATE_TEST_SUITE_P(Requests, WinPowerAction,
                         ::testing::Values(ActionCase{"ShutNow", &PowerRequests::ShutNow, EWX_POWEROFF},
                                           ActionCase{"RebootNow", &PowerRequests::RebootNow, EWX_REBOOT}),
                         [](const auto &info) { return std::string(info.param.name); });

struct StopCase
{
    const char *name;
    Step failing;
    Calls expected;
    bool tokenOpened;
};

void PrintTo(const StopCase &c, std::ostream *os)
{
    *os << c.name;
}

class WinPowerActionStops : public WinPowerPlatformTest, public ::testing::WithParamInterface<StopCase>
{
};

TEST_P(WinPowerActionStops, SilentlyAtARefusedStep)
{
    seen.failing = GetParam().failing;
    WinPowerPlatform platform(kRecordingCalls);
    PowerControl(platform).ShutNow();

    EXPECT_EQ(seen.calls, GetParam().expected);
    EXPECT_TRUE(seen.exitFlags.empty());
    EXPECT_EQ(shutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0U);
    ASSERT_EQ(seen.tokens.size(), GetParam().tokenOpened ? 1U : 0U);
    if (GetParam().tokenOpened) {
        EXPECT_FALSE(isOpenHandle(seen.tokens[0])) << "the token stays open after a refused step";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WinPowerActionStops,
    ::testing::Values(StopCase{"OpenProcessToken", Step::OpenProcessToken, {"OpenProcessToken"}, false},
                      StopCase{"LookupPrivilegeValueA",
                               Step::LookupPrivilegeValueA,
                               {"OpenProcessToken", "LookupPrivilegeValueA"},
                               true},
                      StopCase{"AdjustTokenPrivileges",
                               Step::AdjustTokenPrivileges,
                               {"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"},
                               true}),
    [](const auto &info) { return std::string(info.param.name); });

// The platform the program itself gets: its table holds the real functions. Everything
// but the session end is called here; the previous state comes back into the record.
TEST_F(WinPowerPlatformTest, TheProgramsTableMakesTheRealCalls)
{
    const std::unique_ptr<PowerPlatform> platform = createPowerPlatform();
    EXPECT_EQ(platform->platformCode(), 2);

    const std::optional<TokenHandle> token = platform->openProcessToken(kTokenAdjustPrivileges | kTokenQuery);
    ASSERT_TRUE(token.has_value());
    const HANDLE handle = reinterpret_cast<HANDLE>(*token);
    EXPECT_TRUE(isOpenHandle(handle));

    const std::optional<Luid> luid = platform->lookupPrivilegeValue(kShutdownPrivilege);
    ASSERT_TRUE(luid.has_value());
    const LUID expected = shutdownLuid();
    EXPECT_EQ(luid->lowPart, expected.LowPart);
    EXPECT_EQ(luid->highPart, expected.HighPart);

    TokenPrivileges previous{};
    std::uint32_t returnLength = 0;
    EXPECT_TRUE(
        platform->adjustTokenPrivileges(*token, TokenPrivileges{1, *luid, kPrivilegeEnabled}, previous, returnLength));
    EXPECT_NE(shutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0U);
    EXPECT_EQ(returnLength, 16U);
    EXPECT_EQ(previous.privilegeCount, 1U);
    EXPECT_EQ(previous.luid.lowPart, expected.LowPart);
    EXPECT_EQ(previous.attributes, 0U) << "the privilege was disabled before";

    // An unknown name is a refusal, not a crash.
    EXPECT_FALSE(platform->lookupPrivilegeValue("SeNoSuchPrivilege").has_value());

    platform->closeHandle(*token);
    EXPECT_FALSE(isOpenHandle(handle));
}

} // namespace
} // namespace quietwatch
