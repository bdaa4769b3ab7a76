#include "form2_win32.h"

#include <memory>
#include <thread>
#include <vector>
#include <ws2tcpip.h>

namespace quietwatch {

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kLookupMessage = WM_APP + 2;
constexpr UINT_PTR kSilenceTimer = 1;

// What a lookup thread hands back to the window.
struct LookupResult
{
    unsigned id = 0;
    std::string address; // empty: not found
};

std::string addressText(const sockaddr_in &address)
{
    char text[INET_ADDRSTRLEN] = {};
    InetNtopA(AF_INET, &address.sin_addr, text, sizeof(text));
    return text;
}

} // namespace

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
        const std::unique_ptr<LookupResult> result(reinterpret_cast<LookupResult *>(lParam));
        if (result->id != m_lookup) {
            return 0; // a lookup of a query given up since
        }
        m_lookup = 0;
        carryOut(result->address.empty() ? m_query.notFound() : m_query.resolved(result->address));
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
        case TimeQueryStep::Next::Bind: {
            m_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
            const BOOL exclusive = TRUE;
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_port = htons(m_query.ports().local);
            local.sin_addr.s_addr = htonl(INADDR_ANY);
            // Arriving datagrams come to the window as messages: nothing here ever blocks.
            if (m_socket != INVALID_SOCKET &&
                setsockopt(m_socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&exclusive),
                           sizeof(exclusive)) == 0 &&
                bind(m_socket, reinterpret_cast<const sockaddr *>(&local), sizeof(local)) == 0 &&
                WSAAsyncSelect(m_socket, hwnd(), kSocketMessage, FD_READ) == 0) {
                step = m_query.bound();
            } else {
                const int error = WSAGetLastError();
                closeSocket();
                step = m_query.bindFailed(error == WSAEADDRINUSE || error == WSAEACCES);
            }
            break;
        }
        case TimeQueryStep::Next::Resolve:
            startLookup(step.host);
            return;
        case TimeQueryStep::Next::Send: {
            sockaddr_in server{};
            server.sin_family = AF_INET;
            server.sin_port = htons(m_query.ports().server);
            InetPtonA(AF_INET, step.address.c_str(), &server.sin_addr);
            const auto &request = m_query.request();
            const int sent =
                sendto(m_socket, reinterpret_cast<const char *>(request.data()), static_cast<int>(request.size()), 0,
                       reinterpret_cast<const sockaddr *>(&server), sizeof(server));
            step = m_query.sent(sent == static_cast<int>(request.size()));
            break;
        }
        }
    }
}

void Form2::startLookup(const std::string &host)
{
    // The resolver may take long; it runs on a thread of its own and posts its answer. A
    // window gone by then drops it (the post fails and the thread frees it).
    static unsigned lastId = 0;
    m_lookup = ++lastId;
    std::thread([window = hwnd(), id = m_lookup, host] {
        auto result = std::make_unique<LookupResult>();
        result->id = id;
        addrinfo hints{};
        hints.ai_family = AF_INET; // the socket is IPv4
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo *found = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
            result->address = addressText(*reinterpret_cast<const sockaddr_in *>(found->ai_addr));
            freeaddrinfo(found);
        }
        if (PostMessageW(window, kLookupMessage, 0, reinterpret_cast<LPARAM>(result.get())) != 0) {
            result.release();
        }
    }).detach();
}

void Form2::readDatagrams()
{
    std::vector<std::uint8_t> buffer(65536);
    while (m_socket != INVALID_SOCKET) {
        sockaddr_in from{};
        int fromLength = sizeof(from);
        const int size = recvfrom(m_socket, reinterpret_cast<char *>(buffer.data()), static_cast<int>(buffer.size()), 0,
                                  reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (size < 0) {
            return; // nothing more for now (WSAEWOULDBLOCK) or an error report of an earlier send
        }
        carryOut(m_query.datagram(std::span(buffer.data(), static_cast<std::size_t>(size)), addressText(from),
                                  ntohs(from.sin_port)));
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
