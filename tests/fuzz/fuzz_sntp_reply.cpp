// libFuzzer target: any datagram that reaches the time query's socket goes through here.

#include "sntp.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const quietwatch::SntpReply reply = quietwatch::decodeSntpReply({data, size});
    if (reply.rejection == quietwatch::SntpRejection::None) {
        // Every accepted reply lies between 1970 and 2106 and gives two well-formed lines.
        if (reply.unixSeconds < 0 || reply.unixSeconds > 4294967295LL) {
            std::abort();
        }
        for (const std::string &line : quietwatch::sntpLogLines(reply.unixSeconds)) {
            if (line.size() != 21 || line[4] != '/' || line[7] != '/' || line[10] != ' ' || line[13] != ':' ||
                line[16] != ':' || line.substr(19) != "\r\n") {
                std::abort();
            }
        }
    } else if (size >= 44 && reply.rejection == quietwatch::SntpRejection::TooShort) {
        std::abort();
    }
    return 0;
}
