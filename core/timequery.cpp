#include "timequery.h"

#include <algorithm>
#include <cctype>

namespace quietwatch {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lower(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view unmapped(std::string_view address)
{
    constexpr std::string_view kMapped = "::ffff:";
    if (address.size() > kMapped.size() && lower(address.substr(0, kMapped.size())) == kMapped &&
        address.find('.') != std::string_view::npos) {
        address.remove_prefix(kMapped.size());
    }
    return address;
}

std::string line(std::string_view a, std::string_view b = {}, std::string_view c = {})
{
    std::string out;
    out.append(a).append(b).append(c).append(kCrLf);
    return out;
}

} // namespace

bool isReservedInvalidName(std::string_view name)
{
    std::string host = lower(name);
    if (!host.empty() && host.back() == '.') {
        host.pop_back();
    }
    return host == "invalid" || host.ends_with(".invalid");
}

bool sameAddress(std::string_view a, std::string_view b)
{
    return lower(unmapped(a)) == lower(unmapped(b));
}

TimeQueryStep TimeQuery::fail(std::string text)
{
    m_state = State::Idle;
    TimeQueryStep step;
    step.endQuery = true;
    step.log.push_back(std::move(text));
    return step;
}

TimeQueryStep TimeQuery::press(std::string_view serverText)
{
    m_server = trimmed(serverText);
    m_address.clear();
    m_silenceReported = false;
    if (m_server.empty()) {
        return fail(line("サーバーが入力されていません"));
    }
    m_state = State::Binding;
    return {.next = TimeQueryStep::Next::Bind, .endQuery = true};
}

TimeQueryStep TimeQuery::bound()
{
    if (m_state != State::Binding) {
        return {};
    }
    if (isReservedInvalidName(m_server)) {
        return notFoundNow();
    }
    m_state = State::Resolving;
    return {.next = TimeQueryStep::Next::Resolve, .host = m_server};
}

TimeQueryStep TimeQuery::bindFailed(bool portInUse)
{
    const std::string port = std::to_string(m_ports.local);
    return fail(portInUse ? line("ローカルポート ", port, " がほかのプログラムに使われていて、問い合わせできません")
                          : line("ローカルポート ", port, " を開けないため、問い合わせできません"));
}

TimeQueryStep TimeQuery::resolved(std::string_view address)
{
    if (m_state != State::Resolving) {
        return {}; // a lookup of a query given up since
    }
    m_state = State::Sending;
    m_address = address;
    return {.next = TimeQueryStep::Next::Send, .address = m_address};
}

TimeQueryStep TimeQuery::notFound()
{
    if (m_state != State::Resolving) {
        return {};
    }
    return notFoundNow();
}

TimeQueryStep TimeQuery::notFoundNow()
{
    return fail(line("サーバー「", m_server, "」が見つかりません"));
}

TimeQueryStep TimeQuery::sent(bool whole)
{
    if (m_state != State::Sending) {
        return {};
    }
    if (!whole) {
        return fail(line("サーバー「", m_server, "」への送信に失敗しました"));
    }
    // The socket stays open until an answer, the next press or closing; silence is only reported.
    m_state = State::Waiting;
    return {.startSilence = true};
}

TimeQueryStep TimeQuery::datagram(std::span<const std::uint8_t> bytes, std::string_view fromAddress,
                                  std::uint16_t fromPort)
{
    // Anyone on the network could send a datagram here; only the server asked may answer.
    // Others are dropped unseen, and the real answer can still come.
    if (m_state != State::Waiting || fromPort != m_ports.server || !sameAddress(fromAddress, m_address)) {
        return {};
    }
    const SntpReply reply = decodeSntpReply(bytes);
    switch (reply.rejection) {
    case SntpRejection::None: {
        m_state = State::Idle; // one answer per query
        const auto lines = sntpLogLines(reply.unixSeconds);
        return {.endQuery = true, .log = std::vector<std::string>(lines.begin(), lines.end())};
    }
    case SntpRejection::TooShort:
        // Kept open: a later datagram is still taken as the answer.
        return {.log = {line("応答が短すぎます（", std::to_string(reply.size), " バイト）")}};
    case SntpRejection::NeverSynchronised:
        return {.log = {line("時刻が未設定の応答です")}};
    }
    return {};
}

TimeQueryStep TimeQuery::silence()
{
    if (m_state != State::Waiting || m_silenceReported) {
        return {};
    }
    m_silenceReported = true;
    return {.log = {line("サーバー「", m_server,
                         "」から " + std::to_string(kTimeQuerySilenceMilliseconds / 1000) +
                             " 秒たっても応答がありません")}};
}

TimeQueryStep TimeQuery::close()
{
    m_state = State::Idle;
    return {.endQuery = true};
}

} // namespace quietwatch
