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
        // The nine hours roll the date over at midnight, at a month's end and into a leap day.
        ReplyCase{"EndOfMonthInJapan", reply(0x83D34EF0), "1970/01/31 23:00:00", "1970/02/01 08:00:00"},
        ReplyCase{"LeapDayInJapan", reply(0xE989C8F0), "2024/02/28 15:00:00", "2024/02/29 00:00:00"},
        ReplyCase{"LastSecondBeforeJapanMidnight", reply(0xE93C006F), "2023/12/31 14:59:59", "2023/12/31 23:59:59"},
        ReplyCase{"JapanMidnight", reply(0xE93C0070), "2023/12/31 15:00:00", "2024/01/01 00:00:00"},
        // The next era begins at 2036-02-07 06:28:16 and runs past the signed 32-bit end of 2038.
        ReplyCase{"SecondSecondOfEraOne", reply(0x00000001), "2036/02/07 06:28:17", "2036/02/07 15:28:17"},
        ReplyCase{"Last32BitUnixSecond", reply(0x03AA7E7F), "2038/01/19 03:14:07", "2038/01/19 12:14:07"},
        ReplyCase{"First64BitUnixSecond", reply(0x03AA7E80), "2038/01/19 03:14:08", "2038/01/19 12:14:08"},
        ReplyCase{"LargestWithHighBitClear", reply(0x7FFFFFFF), "2104/02/26 09:42:23", "2104/02/26 18:42:23"},
        ReplyCase{"LastBeforeEraZero1970", reply(0x83AA7E7F), "2106/02/07 06:28:15", "2106/02/07 15:28:15"}),
    [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

struct RejectCase
{
    const char *name;
    Bytes datagram;
    SntpRejection why;
};

class SntpRejectedReply : public ::testing::TestWithParam<RejectCase>
{
};

TEST_P(SntpRejectedReply, SaysWhyAndGivesNoTime)
{
    const RejectCase &c = GetParam();
    const SntpReply decoded = decodeSntpReply(c.datagram);
    EXPECT_FALSE(decoded.accepted());
    EXPECT_EQ(decoded.rejection, c.why);
    EXPECT_EQ(decoded.size, c.datagram.size());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SntpRejectedReply,
    ::testing::Values(RejectCase{"Empty", Bytes{}, SntpRejection::TooShort},
                      RejectCase{"OneByte", Bytes{0x1C}, SntpRejection::TooShort},
                      RejectCase{"FortyBytes", reply(0, 40, 0xFF), SntpRejection::TooShort},
                      RejectCase{"FortyThreeBytes", reply(0xE93C4A4B, 43, 0xFF), SntpRejection::TooShort},
                      RejectCase{"ZeroSeconds", reply(0, 48, 0xFF), SntpRejection::NeverSynchronised},
                      RejectCase{"ZeroSecondsInFortyFour", reply(0, 44), SntpRejection::NeverSynchronised}),
    [](const ::testing::TestParamInfo<RejectCase> &info) { return std::string(info.param.name); });

TEST(SntpReplyDecoding, NeverReadsPastTheDatagram)
{
    // The bytes after a short datagram hold a valid time; a decoder that read them would accept it.
    const Bytes storage = reply(0xE93C4A4B, 48);
    for (std::size_t size = 0; size < 44; ++size) {
        EXPECT_EQ(decodeSntpReply(std::span(storage.data(), size)).rejection, SntpRejection::TooShort) << size;
    }
}

} // namespace
} // namespace quietwatch
