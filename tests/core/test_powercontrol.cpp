#include "fakes.h"
#include "powercontrol.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quietwatch {
namespace {

using testing::RecordingPlatform;
using Calls = std::vector<std::string>;

TEST(PowerAction, OnNtEnablesThePrivilegeThenEndsTheSession)
{
    RecordingPlatform platform;
    PowerControl(platform).ShutNow();
    EXPECT_EQ(platform.calls, (Calls{"platformCode", "openProcessToken", "lookupPrivilegeValue",
                                     "adjustTokenPrivileges", "closeHandle", "exitWindows"}));
    EXPECT_EQ(platform.access, 0x28U);
    EXPECT_EQ(platform.privilegeName, "SeShutdownPrivilege");
    EXPECT_EQ(platform.adjustedToken, RecordingPlatform::kToken);
    EXPECT_EQ(platform.closedToken, RecordingPlatform::kToken);
    EXPECT_EQ(platform.returnLengthBefore, 0U);
    EXPECT_EQ(platform.record.privilegeCount, 1U);
    EXPECT_EQ(platform.record.luid.lowPart, platform.luid.lowPart);
    EXPECT_EQ(platform.record.luid.highPart, platform.luid.highPart);
    EXPECT_EQ(platform.record.attributes, 2U);
    EXPECT_EQ(platform.exitReason, 0U);
}

TEST(PowerAction, TheRecordHasTheSystemLayout)
{
    const TokenPrivileges record{1, Luid{0x11223344, -2}, 2};
    unsigned char bytes[16];
    std::memcpy(bytes, &record, sizeof bytes);
    std::uint32_t count = 0, low = 0, attributes = 0;
    std::int32_t high = 0;
    std::memcpy(&count, bytes + 0, 4);
    std::memcpy(&low, bytes + 4, 4);
    std::memcpy(&high, bytes + 8, 4);
    std::memcpy(&attributes, bytes + 12, 4);
    EXPECT_EQ(count, 1U);
    EXPECT_EQ(low, 0x11223344U);
    EXPECT_EQ(high, -2);
    EXPECT_EQ(attributes, 2U);
}

TEST(PowerAction, OffNtSkipsThePrivilegeStep)
{
    for (int code : {0, 1, 3}) {
        RecordingPlatform platform;
        platform.code = code;
        PowerControl(platform).RebootNow();
        EXPECT_EQ(platform.calls, (Calls{"platformCode", "exitWindows"})) << "platform " << code;
        EXPECT_EQ(platform.exitFlags, std::vector<ExitFlags>{2});
    }
}

struct StopCase
{
    const char *failingStep;
    Calls expected;
};

class PowerActionStops : public ::testing::TestWithParam<StopCase>
{
};

TEST_P(PowerActionStops, AtTheFirstRefusedStepWithNothingAfterIt)
{
    const StopCase &c = GetParam();
    RecordingPlatform platform;
    platform.openSucceeds = std::strcmp(c.failingStep, "open") != 0;
    platform.lookupSucceeds = std::strcmp(c.failingStep, "lookup") != 0;
    platform.adjustSucceeds = std::strcmp(c.failingStep, "adjust") != 0;
    PowerControl(platform).ShutNow();
    EXPECT_EQ(platform.calls, c.expected);
    EXPECT_TRUE(platform.exitFlags.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PowerActionStops,
    ::testing::Values(StopCase{"open", {"platformCode", "openProcessToken"}},
                      StopCase{"lookup", {"platformCode", "openProcessToken", "lookupPrivilegeValue", "closeHandle"}},
                      StopCase{"adjust",
                               {"platformCode", "openProcessToken", "lookupPrivilegeValue", "adjustTokenPrivileges",
                                "closeHandle"}}));

TEST(PowerAction, PassesExactlyEightOrTwoAndRepeatsTheWholeSequence)
{
    RecordingPlatform platform;
    PowerControl control(platform);
    control.ShutNow();
    control.RebootNow();
    control.ShutNow();
    EXPECT_EQ(platform.exitFlags, (std::vector<ExitFlags>{8, 2, 8}));
    for (ExitFlags flags : platform.exitFlags) {
        EXPECT_EQ(flags & 4U, 0U) << "never forced";
    }
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "platformCode"), 3);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "openProcessToken"), 3);
}

} // namespace
} // namespace quietwatch
