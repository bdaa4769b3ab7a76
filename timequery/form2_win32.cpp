#include "form2_win32.h"

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include <ws2tcpip.h>

namespace quietwatch {

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kLookupMessage = WM_APP + 2;
constexpr UINT_PTR kSilenceTimer = 1;

// An address as text, either family; an IPv4 address mapped into IPv6 (as the dual-stack
// socket reports IPv4 senders) as the IPv4 one.
std::string addressText(const sockaddr *address)
{
    wchar_t text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&v6)) {
            InetNtopW(AF_INET, &v6.s6_addr[12], text, INET6_ADDRSTRLEN);
        } else {
            InetNtopW(AF_INET6, &v6, text, INET6_ADDRSTRLEN);
            if (const ULONG zone = reinterpret_cast<const sockaddr_in6 *>(address)->sin6_scope_id; zone != 0) {
                return win32::utf8(text) + '%' + std::to_string(zone);
            }
        }
    } else if (address->sa_family == AF_INET) {
        InetNtopW(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, INET6_ADDRSTRLEN);
    }
    return win32::utf8(text);
}

std::uint16_t port(const sockaddr_storage &address)
{
    return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6 &>(address).sin6_port
                                               : reinterpret_cast<const sockaddr_in &>(address).sin_port);
}

// The first IPv4 address found, otherwise the first address: a name with both kinds of
// address is more often reachable over IPv4.
const ADDRINFOW *preferred(const ADDRINFOW *found)
{
    for (const ADDRINFOW *each = found; each != nullptr; each = each->ai_next) {
        if (each->ai_family == AF_INET) {
            return each;
        }
    }
    return found;
}

} // namespace

void LookupResults::put(unsigned id, std::string address)
{
    const std::lock_guard lock(m_mutex);
    m_found[id] = std::move(address);
}

std::optional<std::string> LookupResults::take(unsigned id)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_found.find(id);
    if (found == m_found.end()) {
        return std::nullopt;
    }
    std::string address = std::move(found->second);
    m_found.erase(found);
    return address;
}

Form2::~Form2()
{
    closeSocket();
}

bool Form2::show(int showCommand)
{
    const design::Window &design = design::kForm2;
    if (!create(design, L"QuietwatchForm2", nullptr, nullptr)) {
        return false;
    }
    m_controls.create(hwnd(), design);
    // The log is never trimmed: no limit below the edit control's own (its default is 30 000).
    SendMessageW(m_controls["txtlog"], EM_SETLIMITTEXT, 0, 0);
    const SIZE outer = layout(static_cast<int>(GetDpiForWindow(hwnd())));
    SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd(), showCommand);
    SetFocus(m_controls[design::tabChain(design).front()->name]);
    return true;
}

SIZE Form2::layout(int dpi)
{
    const design::Window &design = design::kForm2;
    m_controls.layout(dpi);
    // The server's label and box sit in the band above the log, together as wide as it.
    const RECT log = m_controls.rect(*design.control("txtlog"));
    HWND label = m_controls["lblServer"];
    HWND field = m_controls["txtServer"];
    RECT labelRect{};
    GetWindowRect(label, &labelRect);
    const int labelWidth = labelRect.right - labelRect.left;
    const int labelHeight = labelRect.bottom - labelRect.top;
    const int fieldHeight = labelHeight + MulDiv(10, dpi, 96);
    const int fieldTop = log.top - MulDiv(8, dpi, 96) - fieldHeight;
    const int fieldLeft = log.left + labelWidth + MulDiv(4, dpi, 96);
    SetWindowPos(field, nullptr, fieldLeft, fieldTop, log.right - fieldLeft, fieldHeight, SWP_NOZORDER);
    SetWindowPos(label, nullptr, log.left, fieldTop + (fieldHeight - labelHeight) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return win32::outerSize(hwnd(), design.clientWidth, design.clientHeight, dpi);
}

LRESULT Form2::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) { // cmdGetTime, or Enter
            carryOut(m_query.press(win32::windowText(m_controls["txtServer"])));
        } else if (LOWORD(wParam) == IDCANCEL) { // cmdCancel, or Esc
            DestroyWindow(hwnd());
        }
        return 0;
    case kSocketMessage:
        if (static_cast<SOCKET>(wParam) == m_socket && WSAGETSELECTEVENT(lParam) == FD_READ) {
            readDatagrams();
        }
        return 0;
    case kLookupMessage: {
        // Only an answer the window's own lookup left counts; lParam is never read.
        const std::optional<std::string> address = m_lookupResults->take(static_cast<unsigned>(wParam));
        if (!address || wParam != m_lookup) {
            return 0; // not a lookup's answer, or one of a query given up since
        }
        m_lookup = 0;
        carryOut(address->empty() ? m_query.notFound() : m_query.resolved(*address));
        return 0;
    }
    case WM_TIMER:
        if (wParam == kSilenceTimer) {
            KillTimer(hwnd(), kSilenceTimer); // once
            carryOut(m_query.silence());
        }
        return 0;
    case WM_DESTROY:
        carryOut(m_query.close());
        return 0;
    default:
        return Window::handleMessage(message, wParam, lParam);
    }
}

void Form2::carryOut(TimeQueryStep step)
{
    for (;;) {
        if (step.endQuery) {
            KillTimer(hwnd(), kSilenceTimer);
            m_lookup = 0;
            closeSocket();
        }
        for (const std::string &line : step.log) {
            appendLog(line);
        }
        if (step.startSilence) {
            SetTimer(hwnd(), kSilenceTimer, kTimeQuerySilenceMilliseconds, nullptr);
        }
        switch (step.next) {
        case TimeQueryStep::Next::Wait:
            return;
        case TimeQueryStep::Next::Bind:
            step = bindSocket() ? m_query.bound()
                                : m_query.bindFailed(m_bindError == WSAEADDRINUSE || m_bindError == WSAEACCES);
            break;
        case TimeQueryStep::Next::Resolve:
            startLookup(step.host);
            return;
        case TimeQueryStep::Next::Send: {
            const auto &request = m_query.request();
            sockaddr_storage server{};
            const int serverLength = serverAddress(step.address, server);
            const int sent = serverLength == 0 ? SOCKET_ERROR
                                               : sendto(m_socket, reinterpret_cast<const char *>(request.data()),
                                                        static_cast<int>(request.size()), 0,
                                                        reinterpret_cast<const sockaddr *>(&server), serverLength);
            step = m_query.sent(sent == static_cast<int>(request.size()));
            break;
        }
        }
    }
}

bool Form2::bindSocket()
{
    // One socket for both families where the system has IPv6 (IPv4 peers then appear as
    // mapped addresses), an IPv4 one where it has not. Either way on the local port of every
    // query, held exclusively.
    const BOOL on = TRUE;
    const DWORD v6Only = 0;
    m_socket = socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
    m_dualStack =
        m_socket != INVALID_SOCKET &&
        setsockopt(m_socket, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char *>(&v6Only), sizeof(v6Only)) == 0;
    sockaddr_storage local{};
    int localLength = 0;
    if (m_dualStack) {
        auto &v6 = reinterpret_cast<sockaddr_in6 &>(local);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(m_query.ports().local);
        v6.sin6_addr = in6addr_any;
        localLength = sizeof(v6);
    } else {
        closeSocket();
        m_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        auto &v4 = reinterpret_cast<sockaddr_in &>(local);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(m_query.ports().local);
        v4.sin_addr.s_addr = htonl(INADDR_ANY);
        localLength = sizeof(v4);
    }
    // Arriving datagrams come to the window as messages: nothing here ever blocks.
    if (m_socket != INVALID_SOCKET &&
        setsockopt(m_socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&on), sizeof(on)) == 0 &&
        bind(m_socket, reinterpret_cast<const sockaddr *>(&local), localLength) == 0 &&
        WSAAsyncSelect(m_socket, hwnd(), kSocketMessage, FD_READ) == 0) {
        return true;
    }
    m_bindError = WSAGetLastError();
    closeSocket();
    return false;
}

int Form2::serverAddress(const std::string &address, sockaddr_storage &server) const
{
    const std::wstring text = win32::wide(address);
    const u_short port = htons(m_query.ports().server);
    in_addr v4{};
    if (InetPtonW(AF_INET, text.c_str(), &v4) == 1) {
        if (!m_dualStack) {
            auto &to = reinterpret_cast<sockaddr_in &>(server);
            to.sin_family = AF_INET;
            to.sin_port = port;
            to.sin_addr = v4;
            return sizeof(to);
        }
        auto &to = reinterpret_cast<sockaddr_in6 &>(server); // ::ffff:a.b.c.d
        to.sin6_family = AF_INET6;
        to.sin6_port = port;
        to.sin6_addr.s6_addr[10] = 0xff;
        to.sin6_addr.s6_addr[11] = 0xff;
        std::memcpy(&to.sin6_addr.s6_addr[12], &v4, sizeof(v4));
        return sizeof(to);
    }
    // IPv6, with the zone of a link-local address ("fe80::1%2") where it has one.
    ADDRINFOW hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    ADDRINFOW *found = nullptr;
    int length = 0;
    if (m_dualStack && GetAddrInfoW(text.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
        auto &to = reinterpret_cast<sockaddr_in6 &>(server);
        to = *reinterpret_cast<const sockaddr_in6 *>(found->ai_addr);
        to.sin6_port = port;
        length = sizeof(to);
    }
    if (found != nullptr) {
        FreeAddrInfoW(found);
    }
    return length; // 0: an IPv6 address without IPv6
}

void Form2::startLookup(const std::string &host)
{
    // The resolver may take long; it runs on a thread of its own, leaves its answer with the
    // window's results and posts the lookup's id. A window gone by then takes nothing (the post
    // fails and the thread takes its answer back; the results go with the last thread).
    static unsigned lastId = 0;
    m_lookup = ++lastId;
    // The wide lookup, so a name in any script reaches the resolver as typed (the ANSI one
    // would read it in the system's code page).
    std::thread([window = hwnd(), id = m_lookup, host = win32::wide(host), results = m_lookupResults] {
        std::string address; // empty: not found
        ADDRINFOW hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        ADDRINFOW *found = nullptr;
        if (GetAddrInfoW(host.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
            address = addressText(preferred(found)->ai_addr);
            FreeAddrInfoW(found);
        }
        results->put(id, std::move(address));
        if (PostMessageW(window, kLookupMessage, id, 0) == 0) {
            results->take(id);
        }
    }).detach();
}

void Form2::readDatagrams()
{
    std::vector<std::uint8_t> buffer(65536);
    while (m_socket != INVALID_SOCKET) {
        sockaddr_storage from{};
        int fromLength = sizeof(from);
        const int size = recvfrom(m_socket, reinterpret_cast<char *>(buffer.data()), static_cast<int>(buffer.size()), 0,
                                  reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (size < 0) {
            return; // nothing more for now (WSAEWOULDBLOCK) or an error report of an earlier send
        }
        carryOut(m_query.datagram(std::span(buffer.data(), static_cast<std::size_t>(size)),
                                  addressText(reinterpret_cast<const sockaddr *>(&from)), port(from)));
    }
}

void Form2::closeSocket()
{
    if (m_socket != INVALID_SOCKET) {
        closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

void Form2::appendLog(const std::string &line)
{
    // At the end, whatever the user has selected; the text already there stays as it is.
    HWND log = m_controls["txtlog"];
    const int end = GetWindowTextLengthW(log);
    SendMessageW(log, EM_SETSEL, end, end);
    SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(win32::wide(line).c_str()));
}

} // namespace quietwatch
