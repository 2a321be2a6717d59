// Writes that wait for a TNC device that has gone: order, the bound in bytes, the age limit.
#include "links/waiting_writes.h"

#include <gtest/gtest.h>

namespace {

using links::WaitingWrites;

TEST(WaitingWrites, KeptInOrderBoundedInBytesAndAge)
{
    const QByteArray big(WaitingWrites::kMaxBytes / 2, 'x');
    struct Write {
        QByteArray bytes;
        qint64 atMs;
    };
    struct Case {
        const char* what;
        QList<Write> writes;
        qint64 takeAtMs;
        QByteArray expected;
    };
    const Case cases[] = {
        {"in the order written", {{"one\r", 0}, {"two\r", 5}}, 10, "one\rtwo\r"},
        {"stale ones left out", {{"old\r", 0}, {"new\r", 900}}, 1000, "new\r"},
        {"exactly at the age limit still goes", {{"edge\r", 500}}, 1000, "edge\r"},
        {"the oldest whole writes give way", {{"a", 0}, {big, 1}, {big, 2}}, 3, big + big},
        {"a write bigger than the bound is not kept",
         {{"a", 0}, {QByteArray(WaitingWrites::kMaxBytes + 1, 'y'), 1}},
         2,
         "a"},
        {"nothing", {}, 0, ""},
    };
    for (const Case& c : cases) {
        WaitingWrites waiting;
        for (const Write& w : c.writes)
            waiting.add(w.bytes, w.atMs);
        EXPECT_LE(waiting.size(), WaitingWrites::kMaxBytes) << c.what;
        EXPECT_EQ(waiting.take(c.takeAtMs, 500), c.expected) << c.what;
        EXPECT_TRUE(waiting.isEmpty()) << c.what;
        EXPECT_EQ(waiting.take(c.takeAtMs, 500), "") << c.what << ": taken once";
    }
}

} // namespace
