#include "messaging/display_text.h"

#include <gtest/gtest.h>

using namespace messaging;

namespace {

/// Lines "NNNNN....\r\n" of 20 characters each.
QByteArray lines(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += QByteArray::number(i).rightJustified(5, '0') + QByteArray(13, '.') + "\r\n";
    return out;
}

} // namespace

TEST(DisplayText, BoundKeepsNewestTextFromALineStart)
{
    QByteArray box = lines(749) + QByteArray(10, 'x'); // 14990 characters
    ASSERT_EQ(box.size(), 14990);
    appendDisplayText(box, " From: SRC  To: hi\r\n"); // 20 more: 15010
    EXPECT_LE(box.size(), kDisplayTextKeep);
    EXPECT_TRUE(box.endsWith(" From: SRC  To: hi\r\n"));
    EXPECT_TRUE(box.startsWith("00"));
    EXPECT_GT(box.size(), kDisplayTextKeep - 20);
}

TEST(DisplayText, Boundaries)
{
    EXPECT_EQ(boundDisplayText(QByteArray(kDisplayTextLimit, 'a')).size(), kDisplayTextLimit);
    EXPECT_EQ(boundDisplayText(QByteArray(kDisplayTextLimit + 1, 'a')).size(), kDisplayTextKeep);
    // The kept part starts at the next line start...
    EXPECT_EQ(boundDisplayText(QByteArray(5001, 'a') + '\n' + QByteArray(9999, 'b')), QByteArray(9999, 'b'));
    // ...or where it is cut when the cut falls on a line start.
    EXPECT_EQ(boundDisplayText(QByteArray(5000, 'a') + '\n' + QByteArray(10000, 'b')),
              QByteArray(10000, 'b'));
    // One endless line is still bounded.
    EXPECT_EQ(boundDisplayText(QByteArray(20000, 'c')).size(), kDisplayTextKeep);
}
