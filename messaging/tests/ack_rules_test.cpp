#include "messaging/ack_rules.h"

#include <gtest/gtest.h>

using namespace messaging;

TEST(AckRules, AckNumberFromReceivedText)
{
    const std::pair<QByteArray, int> cases[] = {
        {":M0SKY    :ack5", 5},
        {":M0SKY    :ack05", 5},
        {":M0SKY    :ack", 0},
        {":M0SKY    :ack12}", 12},
        {":M0SKY    :ack 5", 0},
        {"no acknowledgement", 0},
        {":M0SKY    :ack999999", 0},
        {":M0SKY    :ackX7", 0},
        {":M0SKY    :ack32767", 32767},
        // Only a text that is an acknowledgement counts: "ack" and a number at its start.
        {":M0SKY    :on track5 now{9", 0},
        {":M0SKY    :back5", 0},
        {"ack7", 7},
        {":M0SKY    :hello ack5", 0},
    };
    for (const auto& [text, number] : cases)
        EXPECT_EQ(ackNumberFrom(text), number) << text.constData();
    EXPECT_TRUE(ackMatches(5, 5));
    EXPECT_FALSE(ackMatches(0, 0)) << "no pending message";
    EXPECT_FALSE(ackMatches(4, 5));
    EXPECT_TRUE(isAcknowledgement(":M0SKY    :ackAB"));
    EXPECT_FALSE(isAcknowledgement(":M0SKY    :acknowledged"));
}

TEST(AckRules, ReplyNumber)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"12", "12"}, {"07", "7"}, {"0", "0"}, {"AB}CD", "AB}CD"}, {"", ""}, {"3a", "3"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ackReplyNumber(in), out) << in.constData();
}

TEST(AckRules, PayloadsPerBearer)
{
    EXPECT_EQ(ackPayload("G4ABC", "12"), ":G4ABC    :ack12");
    EXPECT_EQ(vhfAckPayload("G4ABC", "07"), ":G4ABC    :ack7\r");
    EXPECT_EQ(vhfAckPayload("G4ABC", "AB"), ":G4ABC    :ackAB\r");
    EXPECT_EQ(hfAckPayload("G4ABC", "07"), ":G4ABC    :ack7\r");
    EXPECT_EQ(hfAckPayload("G4ABC", "AB"), ":G4ABC    :ackAB");
    EXPECT_EQ(aprsIsAckLine("CALL", "SRC", "12"), "CALL>APSK63::SRC      :ack12");
    EXPECT_EQ(aprsIsAckLine("CALL", "SRC", "07"), "CALL>APSK63::SRC      :ack07");
}

TEST(AckRules, OnlyMessageNumbersAprsAllowsAreAcknowledged)
{
    const std::pair<QByteArray, bool> cases[] = {
        {"1", true},          {"12345", true},
        {"AbC9z", true},      {"12}", true},
        {"12}AB", true},      {"12}ABCDE", true},
        {"", false},          {"123456", false},
        {"12}ABCDEF", false}, {"12}}", false},
        {"}12", false},       {"1 2", false},
        {"12 ", false},       {"\x03MYCALL EVIL", false},
        {"1\x03", false},     {QByteArray("1\0", 2), false},
        {"1\rEVIL", false},   {"12}A\n", false},
        {"\xe9", false},      {"{12", false},
    };
    for (const auto& [number, valid] : cases)
        EXPECT_EQ(isValidMessageNumber(number), valid) << number.toHex(' ').constData();
}

TEST(AckRules, OnlyAStationCallIsAnswered)
{
    for (const char* call : {"G4ABC", "G4ABC-15", "M0SKY-1", "WIDE1-1", "abc"})
        EXPECT_TRUE(isAcknowledgeableCall(call)) << call;
    for (const QByteArray& call : {QByteArray(), QByteArray("G4ABC-1234"), QByteArray("G4 ABC"),
                                   QByteArray("G4\x03"), QByteArray("G4ABC*"), QByteArray("G4ABC>APRS")})
        EXPECT_FALSE(isAcknowledgeableCall(call)) << call.constData();
}
