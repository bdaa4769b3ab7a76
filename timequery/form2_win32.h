#pragma once

// The time query window on Win32: its table from the core, the exchange from the core,
// and the socket (Winsock, datagrams delivered as window messages) and the name lookup
// (on a thread of its own) here.

#include "timequery.h"
#include "winui.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace quietwatch {

// What the lookup threads found, by lookup, until the window takes it: the message that tells
// the window carries only the lookup's id, as any program can post it one.
class LookupResults
{
public:
    void put(unsigned id, std::string address);
    // The address found (empty: not found), or nothing for an id without an answer.
    std::optional<std::string> take(unsigned id);

private:
    std::mutex m_mutex;
    std::map<unsigned, std::string> m_found;
};

class Form2 final : public win32::Window
{
public:
    explicit Form2(TimeQueryPorts ports = {}) : m_query(ports) {}
    ~Form2() override;
    bool show(int showCommand);

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    SIZE layout(int dpi) override;
    void carryOut(TimeQueryStep step);
    // Opens the query's socket; false with m_bindError set where it cannot.
    bool bindSocket();
    // The server's address for sendto(), in the socket's family; its length, 0 for none.
    int serverAddress(const std::string &address, sockaddr_storage &server) const;
    void startLookup(const std::string &host);
    void readDatagrams();
    void closeSocket();
    void appendLog(const std::string &line);

    TimeQuery m_query;
    const win32::Controls *designedControls() const override { return &m_controls; }
    win32::Controls m_controls;
    SOCKET m_socket = INVALID_SOCKET;
    bool m_dualStack = false; // an IPv6 socket that takes IPv4 too
    int m_bindError = 0;
    unsigned m_lookup = 0; // the lookup whose answer is awaited; 0 for none
    // Shared with the lookup threads, which may outlive the window.
    std::shared_ptr<LookupResults> m_lookupResults = std::make_shared<LookupResults>();
};

} // namespace quietwatch
