#include "sntp.h"

#include "datetext.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace quietwatch {

namespace {
constexpr std::size_t kTransmitSecondsOffset = 40;
constexpr std::int64_t kSecondsFrom1900To1970 = 2208988800;
constexpr std::int64_t kSecondsPerEra = std::int64_t{1} << 32;
constexpr std::int64_t kJapanOffsetSeconds = std::int64_t{9} * 3600;
} // namespace

std::array<std::uint8_t, kSntpRequestSize> makeSntpRequest()
{
    std::array<std::uint8_t, kSntpRequestSize> request{};
    request[0] = 0x0B;
    return request;
}

SntpReply decodeSntpReply(std::span<const std::uint8_t> datagram)
{
    SntpReply reply;
    reply.size = datagram.size();
    if (datagram.size() < kTransmitSecondsOffset + 4) {
        reply.rejection = SntpRejection::TooShort;
        return reply;
    }
    const auto seconds = datagram.subspan(kTransmitSecondsOffset, 4);
    const std::int64_t transmit = (std::int64_t{seconds[0]} << 24) | (std::int64_t{seconds[1]} << 16) |
                                  (std::int64_t{seconds[2]} << 8) | std::int64_t{seconds[3]};
    if (transmit == 0) {
        reply.rejection = SntpRejection::NeverSynchronised;
        return reply;
    }
    // Era 0 ends at 2036-02-07 06:28:15; smaller values can only be the era after it.
    const std::int64_t era = transmit < kSecondsFrom1900To1970 ? kSecondsPerEra : 0;
    reply.unixSeconds = transmit + era - kSecondsFrom1900To1970;
    return reply;
}

std::string sntpTimestampText(std::int64_t unixSeconds)
{
    using namespace std::chrono;
    const sys_seconds moment{seconds{unixSeconds}};
    const sys_days day = floor<days>(moment);
    const hh_mm_ss<seconds> time{moment - day};
    std::array<char, 16> clock{};
    std::snprintf(clock.data(), clock.size(), " %02d:%02d:%02d", static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return dateText(year_month_day{day}) + clock.data();
}

std::array<std::string, 2> sntpLogLines(std::int64_t unixSeconds)
{
    return {sntpTimestampText(unixSeconds) + "\r\n", sntpTimestampText(unixSeconds + kJapanOffsetSeconds) + "\r\n"};
}

} // namespace quietwatch
