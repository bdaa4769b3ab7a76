#pragma once

// The SNTP client exchange (RFC 4330) reduced to what the time query needs: the one
// request it sends, and the server's transmit time read from whatever comes back,
// as two log lines, UTC and then Japan Standard Time (UTC+9).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quietwatch {

inline constexpr std::size_t kSntpRequestSize = 48;
inline constexpr std::uint16_t kSntpServerPort = 123;
inline constexpr std::uint16_t kSntpLocalPort = 1024;

// 48 zero bytes with the first set to 0x0B: leap indicator 0, version 1, mode 3 (client).
std::array<std::uint8_t, kSntpRequestSize> makeSntpRequest();

enum class SntpRejection
{
    None,
    TooShort,         // the transmit seconds (offsets 40 to 43) are missing
    NeverSynchronised // transmit seconds of zero: the server has no time to give
};

struct SntpReply
{
    SntpRejection rejection = SntpRejection::None;
    std::size_t size = 0;         // bytes in the datagram, for the rejection message
    std::int64_t unixSeconds = 0; // the transmit time, whole seconds since 1970; only when accepted

    bool accepted() const { return rejection == SntpRejection::None; }
};

// Reads the integer seconds of the transmit timestamp; nothing else in the datagram is
// looked at. Seconds below 2208988800 (before 1970 in era 0) belong to the next NTP era,
// which starts at 2036-02-07 06:28:16 UTC, so every accepted reply lies in 1970 to 2106.
// Safe for any length, including an empty datagram.
SntpReply decodeSntpReply(std::span<const std::uint8_t> datagram);

// "yyyy/mm/dd hh:nn:ss" for whole seconds since 1970-01-01 00:00:00 UTC.
std::string sntpTimestampText(std::int64_t unixSeconds);

// The two log lines for one reply, each ending in CR LF: the time in UTC, then in UTC+9.
std::array<std::string, 2> sntpLogLines(std::int64_t unixSeconds);

} // namespace quietwatch
