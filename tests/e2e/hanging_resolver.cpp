// Preloaded into a program under test: a resolver that never answers. Every name lookup
// of the process blocks for good.

#include <netdb.h>
#include <unistd.h>

extern "C" int getaddrinfo(const char * /*node*/, const char * /*service*/, const addrinfo * /*hints*/,
                           addrinfo ** /*result*/)
{
    for (;;) {
        pause();
    }
}
