#include "timequery.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quietwatch {
namespace {

using Next = TimeQueryStep::Next;
using Bytes = std::vector<std::uint8_t>;

Bytes reply(std::uint32_t seconds, std::size_t size = 48)
{
    Bytes bytes(size, 0);
    for (std::size_t i = 0; i < 4 && 40 + i < size; ++i) {
        bytes[40 + i] = static_cast<std::uint8_t>(seconds >> (24 - 8 * i));
    }
    return bytes;
}

const std::vector<std::string> kNewYear{"2023/12/31 20:15:07\r\n", "2024/01/01 05:15:07\r\n"};

// A query to 127.0.0.1 that has been sent and waits for its answer.
TimeQuery waitingQuery(TimeQuery query = TimeQuery())
{
    query.press(" 127.0.0.1 ");
    query.bound();
    query.resolved("127.0.0.1");
    query.sent(true);
    return query;
}

TEST(TimeQuery, GoesFromPressToAnAnswerAndClosesAfterIt)
{
    TimeQuery query;
    const TimeQueryStep press = query.press("  ntp.example ");
    EXPECT_EQ(press.next, Next::Bind);
    EXPECT_TRUE(press.endQuery); // an earlier query goes first
    const TimeQueryStep bound = query.bound();
    EXPECT_EQ(bound.next, Next::Resolve);
    EXPECT_EQ(bound.host, "ntp.example");
    const TimeQueryStep resolved = query.resolved("192.0.2.1");
    EXPECT_EQ(resolved.next, Next::Send);
    EXPECT_EQ(resolved.address, "192.0.2.1");
    const TimeQueryStep sent = query.sent(true);
    EXPECT_TRUE(sent.startSilence);
    EXPECT_FALSE(sent.endQuery);
    EXPECT_TRUE(query.waiting());

    const TimeQueryStep answer = query.datagram(reply(0xE93C4A4B), "::FFFF:192.0.2.1", 123);
    EXPECT_EQ(answer.log, kNewYear);
    EXPECT_TRUE(answer.endQuery);
    EXPECT_FALSE(query.waiting());
    EXPECT_TRUE(query.datagram(reply(0xE93C4A4B), "192.0.2.1", 123).log.empty()); // one answer per query
}

struct FailureCase
{
    const char *name;
    std::function<TimeQueryStep(TimeQuery &)> events;
    std::string line;
    bool endQuery;
};

class TimeQueryFailure : public testing::TestWithParam<FailureCase>
{
};

TEST_P(TimeQueryFailure, LogsOneLine)
{
    TimeQuery query;
    const TimeQueryStep step = GetParam().events(query);
    EXPECT_EQ(step.log, std::vector<std::string>{GetParam().line + "\r\n"});
    EXPECT_EQ(step.endQuery, GetParam().endQuery);
    EXPECT_EQ(step.next, Next::Wait);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TimeQueryFailure,
    testing::Values(FailureCase{"empty", [](TimeQuery &q) { return q.press(" \t\r\n\v\f "); },
                                "サーバーが入力されていません", true},
                    FailureCase{"portInUse",
                                [](TimeQuery &q) {
                                    q.press("ntp.example");
                                    return q.bindFailed(true);
                                },
                                "ローカルポート 1024 がほかのプログラムに使われていて、問い合わせできません", true},
                    FailureCase{"portNotOpened",
                                [](TimeQuery &q) {
                                    q.press("ntp.example");
                                    return q.bindFailed(false);
                                },
                                "ローカルポート 1024 を開けないため、問い合わせできません", true},
                    // Names under .invalid are refused without asking the resolver, however spelled.
                    FailureCase{"reservedAbsolute",
                                [](TimeQuery &q) {
                                    q.press(" Time.INVALID. ");
                                    return q.bound();
                                },
                                "サーバー「Time.INVALID.」が見つかりません", true},
                    FailureCase{"reservedItself",
                                [](TimeQuery &q) {
                                    q.press("invalid");
                                    return q.bound();
                                },
                                "サーバー「invalid」が見つかりません", true},
                    FailureCase{"notFound",
                                [](TimeQuery &q) {
                                    q.press("nowhere.example");
                                    q.bound();
                                    return q.notFound();
                                },
                                "サーバー「nowhere.example」が見つかりません", true},
                    FailureCase{"sendFailed",
                                [](TimeQuery &q) {
                                    q.press("127.0.0.1");
                                    q.bound();
                                    q.resolved("127.0.0.1");
                                    return q.sent(false);
                                },
                                "サーバー「127.0.0.1」への送信に失敗しました", true},
                    // Rejected answers keep the socket open for a later one.
                    FailureCase{"emptyAnswer",
                                [](TimeQuery &q) {
                                    q = waitingQuery();
                                    return q.datagram({}, "127.0.0.1", 123);
                                },
                                "応答が短すぎます（0 バイト）", false},
                    FailureCase{"zeroSeconds",
                                [](TimeQuery &q) {
                                    q = waitingQuery();
                                    return q.datagram(reply(0), "127.0.0.1", 123);
                                },
                                "時刻が未設定の応答です", false}),
    [](const testing::TestParamInfo<FailureCase> &info) { return info.param.name; });

TEST(TimeQuery, OnlyTheServerAskedAnswersAndSilenceIsSaidOnce)
{
    TimeQuery query = waitingQuery();
    EXPECT_TRUE(query.datagram(reply(0xE93C4A4B), "127.0.0.1", 124).log.empty());
    EXPECT_TRUE(query.datagram(reply(0xE93C4A4B), "127.0.0.2", 123).log.empty());
    EXPECT_EQ(query.silence().log,
              std::vector<std::string>{"サーバー「127.0.0.1」から 5 秒たっても応答がありません\r\n"});
    EXPECT_TRUE(query.silence().log.empty());
    EXPECT_EQ(query.datagram(reply(0xE93C4A4B), "127.0.0.1", 123).log, kNewYear); // late, still taken
    EXPECT_TRUE(query.silence().log.empty());
    query = waitingQuery(query); // a new query to the same server says it again
    EXPECT_EQ(query.silence().log.size(), 1U);
    query.press(" "); // and one given up for an empty server no longer waits
    EXPECT_FALSE(query.waiting());
}

TEST(TimeQuery, EventsOfAQueryGivenUpAreIgnored)
{
    TimeQuery query;
    query.press("first.example");
    query.bound();
    query.press("second.example"); // the first lookup is still out
    EXPECT_EQ(query.resolved("192.0.2.1").next, Next::Wait);
    EXPECT_TRUE(query.close().endQuery);
    EXPECT_TRUE(query.bound().host.empty());
    EXPECT_TRUE(query.datagram(reply(0xE93C4A4B), "192.0.2.1", 123).log.empty());
}

} // namespace
} // namespace quietwatch
