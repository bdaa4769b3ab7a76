#pragma once

// The time query's exchange without a socket: the front end owns the socket, the name
// lookup and the silence timer, feeds each of their events in, and carries out the step
// it gets back. Every line the window logs comes from here.

#include "sntp.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quietwatch {

// Where a query goes and where its socket listens. The program always uses the SNTP port
// and local port 1024; tests point the server port at a peer of their own.
struct TimeQueryPorts
{
    std::uint16_t server = kSntpServerPort;
    std::uint16_t local = kSntpLocalPort;
};

// How long the query waits before it says, once, that no answer has come.
inline constexpr int kTimeQuerySilenceMilliseconds = 5000;

struct TimeQueryStep
{
    enum class Next
    {
        Wait,    // nothing to start; keep the socket as it is
        Bind,    // open a UDP socket on ports.local (any address), then bound() or bindFailed()
        Resolve, // look up host (without freezing the window), then resolved() or notFound()
        Send,    // send request() to address, port ports.server, then sent()
    };
    Next next = Next::Wait;
    // Before anything else: close the socket, stop the silence timer and forget any lookup.
    bool endQuery = false;
    bool startSilence = false;      // after a send: start the one-shot silence timer
    std::string host{};             // for Resolve: the name as typed, trimmed
    std::string address{};          // for Send: the address resolved
    std::vector<std::string> log{}; // lines to append, each ending in CR LF
};

class TimeQuery
{
public:
    explicit TimeQuery(TimeQueryPorts ports = {}) : m_ports(ports) {}

    const TimeQueryPorts &ports() const { return m_ports; }
    const std::array<std::uint8_t, kSntpRequestSize> &request() const { return m_request; }

    // cmdGetTime: an earlier query is given up (its socket, port and awaited answer).
    TimeQueryStep press(std::string_view serverText);
    TimeQueryStep bound();
    TimeQueryStep bindFailed(bool portInUse);
    // An address, as text, that the lookup found (IPv4 preferred by the front end).
    TimeQueryStep resolved(std::string_view address);
    TimeQueryStep notFound();
    TimeQueryStep sent(bool whole);
    // A datagram that arrived on the socket, with the sender's address as text.
    TimeQueryStep datagram(std::span<const std::uint8_t> bytes, std::string_view fromAddress, std::uint16_t fromPort);
    TimeQueryStep silence();
    // The window closes: whatever is open goes.
    TimeQueryStep close();

    // Whether a query waits for its answer (its socket open and its request sent).
    bool waiting() const { return m_state == State::Waiting; }

private:
    enum class State
    {
        Idle,
        Binding,
        Resolving,
        Sending,
        Waiting,
    };
    TimeQueryStep fail(std::string text);
    TimeQueryStep notFoundNow();

    TimeQueryPorts m_ports;
    std::array<std::uint8_t, kSntpRequestSize> m_request = makeSntpRequest();
    State m_state = State::Idle;
    std::string m_server;  // as typed, for the messages
    std::string m_address; // where the request went: only its answers are taken
    bool m_silenceReported = false;
};

// Names under .invalid can never resolve (RFC 6761).
bool isReservedInvalidName(std::string_view name);

// The same address whatever its spelling: an IPv4 address mapped into IPv6 is the IPv4 one.
bool sameAddress(std::string_view a, std::string_view b);

} // namespace quietwatch
