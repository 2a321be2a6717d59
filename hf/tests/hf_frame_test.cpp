#include "hf/hf_frame.h"

#include <gtest/gtest.h>

using namespace hf;

namespace {

const QByteArray kExampleBody = "NOCALL>APSK63:hello";

} // namespace

TEST(Crc16Modbus, KnownAnswers)
{
    struct Case {
        QByteArray body;
        QByteArray check;
    };
    const Case cases[] = {
        {"123456789", "4B37"},
        {"", "FFFF"},
        {kExampleBody, "5101"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkField(c.body), c.check) << c.body.constData();
    EXPECT_EQ(crc16Modbus("123456789"), 0x4B37);
}

TEST(Crc16Modbus, CheckFieldIsPaddedToFourDigits)
{
    // Search a body whose CRC is below 0x1000 so the leading zero must be written.
    for (int i = 0; i < 100000; ++i) {
        const QByteArray body = QByteArray::number(i);
        if (crc16Modbus(body) < 0x1000) {
            const QByteArray field = checkField(body);
            ASSERT_EQ(field.size(), 4);
            EXPECT_EQ(field.at(0), '0');
            EXPECT_EQ(field.toUInt(nullptr, 16), crc16Modbus(body));
            return;
        }
    }
    FAIL() << "no small CRC found";
}

TEST(HfFrame, WorkedExampleBytes)
{
    EXPECT_EQ(buildFrame(kExampleBody, FrameSender::Message),
              QByteArray("..........~NOCALL>APSK63:hello5101\t~   \r\n"));
    EXPECT_EQ(buildFrame(kExampleBody, FrameSender::Ack),
              QByteArray("..........~NOCALL>APSK63:hello5101\t~  \r\n"));
    // A "~" in the body would end it at every receiver: it never reaches the air.
    EXPECT_EQ(buildFrame("~NOCALL>APSK63:he~llo~~", FrameSender::Message),
              QByteArray("..........~NOCALL>APSK63:hello5101\t~   \r\n"));
}

TEST(HfFrame, EndFlagBySender)
{
    const std::pair<FrameSender, QByteArray> cases[] = {
        {FrameSender::Message, "~   "}, {FrameSender::LocalRelay, "~   "}, {FrameSender::AprsIsGate, "~   "},
        {FrameSender::Beacon, "~  "},   {FrameSender::GpsBeacon, "~  "},   {FrameSender::Ack, "~  "},
        {FrameSender::Digipeat, "~  "},
    };
    for (const auto& [sender, flag] : cases)
        EXPECT_EQ(endFlagFor(sender), flag);
}

TEST(HfFrame, RoundTripOverAllByteValues)
{
    QByteArray body;
    for (int b = 0; b < 256; ++b)
        if (b != '~' && b != '\t')
            body += static_cast<char>(b);
    const ParsedFrame p = parseFrame(buildFrame(body, FrameSender::Beacon));
    EXPECT_TRUE(p.good);
    EXPECT_EQ(p.body, body);
    EXPECT_EQ(p.receivedCheck, checkField(body));
}

TEST(HfFrame, ParseRules)
{
    struct Case {
        const char* name;
        QByteArray text;
        QByteArray body;
        bool good;
    };
    const Case cases[] = {
        {"worked example", "..........~NOCALL>APSK63:hello5101\t~   \r\n", kExampleBody, true},
        {"three dots", "...~NOCALL>APSK63:hello5101\t~ ", kExampleBody, true},
        {"empty body", "..........~FFFF\t~  \r\n", "", true},
        {"wrong check", "..........~NOCALL>APSK63:hello5102\t~   \r\n", kExampleBody, false},
        {"lower-case hex is bad", "...~1234567894b37\t~ ", "123456789", false},
        {"upper-case hex", "...~1234567894B37\t~ ", "123456789", true},
        {"body holding tilde cut there", "..........~A>B:x~y1234\t~   \r\n", "A", false},
        {"no tilde", "NOCALL>APSK63:hello5101", "", false},
        {"short R", "...~AB\t~ ", "", false},
        {"noise tilde before preamble", "x~q..........~NOCALL>APSK63:hello5101\t~ ", kExampleBody, true},
        {"no preamble falls back to first tilde", "~NOCALL>APSK63:hello5101\t~ ", kExampleBody, true},
    };
    for (const auto& c : cases) {
        const ParsedFrame p = parseFrame(c.text);
        EXPECT_EQ(p.body, c.body) << c.name;
        EXPECT_EQ(p.good, c.good) << c.name;
        EXPECT_EQ(p.computedCheck, checkField(p.body)) << c.name;
    }
}

TEST(HfFrame, EverySingleBitFlipOfTheBodyIsCaught)
{
    const QByteArray body = "SRC>APSK63,WIDE2-1::DEST     :hello there{42";
    const QByteArray frame = buildFrame(body, FrameSender::Message);
    const qsizetype bodyStart = frame.indexOf('~') + 1;
    int caught = 0;
    int flips = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray damaged = frame;
            damaged[bodyStart + i] = static_cast<char>(damaged[bodyStart + i] ^ (1 << bit));
            ++flips;
            if (!parseFrame(damaged).good)
                ++caught;
        }
    }
    EXPECT_EQ(caught, flips);
}
