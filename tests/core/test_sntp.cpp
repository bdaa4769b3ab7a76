#include "sntp.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quietwatch {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A reply of `size` bytes whose transmit seconds are `seconds`, every other byte `filler`.
Bytes reply(std::uint32_t seconds, std::size_t size = 48, std::uint8_t filler = 0)
{
    Bytes bytes(size, filler);
    for (std::size_t i = 0; i < 4 && 40 + i < size; ++i) {
        bytes[40 + i] = static_cast<std::uint8_t>(seconds >> (24 - 8 * i));
    }
    return bytes;
}

TEST(SntpRequest, IsFortyEightBytesWithOnlyTheClientModeByteSet)
{
    const auto request = makeSntpRequest();
    ASSERT_EQ(request.size(), 48u);
    EXPECT_EQ(request[0], 0x0B);
    for (std::size_t i = 1; i < request.size(); ++i) {
        EXPECT_EQ(request[i], 0) << "byte " << i;
    }
}

struct ReplyCase
{
    const char *name;
    Bytes datagram;
    const char *utc;
    const char *japan;
};

class SntpAcceptedReply : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(SntpAcceptedReply, GivesTheUtcAndJapanLines)
{
    const ReplyCase &c = GetParam();
    const SntpReply decoded = decodeSntpReply(c.datagram);
    ASSERT_TRUE(decoded.accepted());
    const auto lines = sntpLogLines(decoded.unixSeconds);
    EXPECT_EQ(lines[0], std::string(c.utc) + "\r\n");
    EXPECT_EQ(lines[1], std::string(c.japan) + "\r\n");
}

Bytes withTail(Bytes bytes, std::size_t size, std::uint8_t value)
{
    bytes.resize(size, value);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SntpAcceptedReply,
    ::testing::Values(
        ReplyCase{"NewYearInJapan", reply(0xE93C4A4B), "2023/12/31 20:15:07", "2024/01/01 05:15:07"},
        ReplyCase{"UnixEpoch", reply(0x83AA7E80), "1970/01/01 00:00:00", "1970/01/01 09:00:00"},
        ReplyCase{"LastSecondOfEraZero", reply(0xFFFFFFFF), "2036/02/07 06:28:15", "2036/02/07 15:28:15"},
        // Nothing but offsets 40 to 43 counts: not the fraction, not the header, not a tail.
        ReplyCase{"FractionAndHeaderAllOnes", reply(0xE93C4A4B, 48, 0xFF), "2023/12/31 20:15:07",
                  "2024/01/01 05:15:07"},
        ReplyCase{"ExactlyFortyFourBytes", reply(0xE93C4A4B, 44), "2023/12/31 20:15:07", "2024/01/01 05:15:07"},
        ReplyCase{"SixtyEightBytes", withTail(reply(0xE93C4A4B), 68, 0xAB), "2023/12/31 20:15:07",
                  "2024/01/01 05:15:07"},
        ReplyCase{"EndOfMonthInJapan", reply(0x83AA7E80 + 2678400 - 3600), "1970/01/31 23:00:00",
                  "1970/02/01 08:00:00"},
        ReplyCase{"LeapDayInJapan", reply(0xE93C4A4B + 59 * 86400 - 20 * 3600 - 15 * 60 - 7 + 15 * 3600),
                  "2024/02/28 15:00:00", "2024/02/29 00:00:00"},
        // The next era begins at 2036-02-07 06:28:16 and runs past the signed 32-bit end of 2038.
        ReplyCase{"FirstSecondOfEraOne", reply(0x00000000 + 0), "", ""}, // replaced below
        ReplyCase{"SecondSecondOfEraOne", reply(0x00000001), "2036/02/07 06:28:17", "2036/02/07 15:28:17"},
        ReplyCase{"Last32BitUnixSecond", reply(0x03AA7E7F), "2038/01/19 03:14:07", "2038/01/19 12:14:07"},
        ReplyCase{"First64BitUnixSecond", reply(0x03AA7E80), "2038/01/19 03:14:08", "2038/01/19 12:14:08"},
        ReplyCase{"LargestWithHighBitClear", reply(0x7FFFFFFF), "2104/02/26 09:42:23", "2104/02/26 18:42:23"},
        ReplyCase{"LastBeforeEraZero1970", reply(0x83AA7E7F), "2106/02/07 06:28:15", "2106/02/07 15:28:15"}),
    [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace quietwatch
