#include "messaging/message_composer.h"

#include <gtest/gtest.h>

using namespace messaging;

TEST(MessageComposer, AddresseePadding)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"A", "A"},
        {"AB", "AB       "},
        {"G4ABC-12", "G4ABC-12 "},
        {"G4ABCD-12", "G4ABCD-12"},
        {"G4ABCDE-12", "G4ABCDE-12"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(padAddressee(in), out) << in.constData();
}

TEST(MessageComposer, CleaningRemovesFramingCharacters)
{
    EXPECT_EQ(cleanMessageText("a~b{c|d"), "abcd");
    EXPECT_EQ(cleanMessageText("~{|"), "");
    EXPECT_EQ(cleanMessageText("plain text: 1,2"), "plain text: 1,2");
}

TEST(MessageComposer, MessageNumbers)
{
    // 0 at load: the first message is 1; a TNC command before it uses 1, the message gets 2.
    EXPECT_EQ(nextMessageNumber(0), 1);
    EXPECT_EQ(nextMessageNumber(nextMessageNumber(0)), 2);
    EXPECT_EQ(nextMessageNumber(32766), 32767);
    EXPECT_EQ(nextMessageNumber(32767), 1);
    EXPECT_EQ(nextMessageNumber(-5), 1);
}

TEST(MessageComposer, VhfPayloadByModeAndAckSetting)
{
    const RaynetFields raynet{"d1", "d2", "d3"};
    struct Case {
        OperatingMode mode;
        std::optional<int> number;
        QByteArray payload;
    };
    // Text "te~xt" everywhere: it is cleaned in every mode; the Data fields are not.
    const Case cases[] = {
        {OperatingMode::TncCommand, std::nullopt, "text\r"},
        {OperatingMode::TncCommand, 3, "text\r"},
        {OperatingMode::PacketConverse, 3, "text\r"},
        {OperatingMode::AprsMessaging, std::nullopt, ":G4ABC    :text\r"},
        {OperatingMode::AprsMessaging, 27, ":G4ABC    :text{27\r"},
        {OperatingMode::Raynet, std::nullopt, ":G4ABC    :d1,d2,d3,\r"},
        {OperatingMode::Raynet, 5, ":G4ABC    :d1,d2,d3,{5\r"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(composeVhfPayload(c.mode, "G4ABC", "te~xt", raynet, c.number), c.payload);
}

TEST(MessageComposer, RaynetWithEmptyFields)
{
    EXPECT_EQ(composePayload(OperatingMode::Raynet, "RAYNET", "", {}, std::nullopt), ":RAYNET   :,,,");
}

TEST(MessageComposer, AprsIsLineAndHead)
{
    EXPECT_EQ(composeAprsIsLine("M0SKY-10", OperatingMode::AprsMessaging, "G4ABC", "hi|there", {}, 1),
              "M0SKY-10>APSK63::G4ABC    :hithere{1");
    EXPECT_TRUE(composeAprsIsLine("M0SKY", OperatingMode::PacketConverse, "G4ABC", "x", {}, 1).isEmpty());
    EXPECT_EQ(aprsIsSendHead("M0SKY-10", "G4ABC", "hithere", 1),
              "  From: M0SKY-10  To :G4ABC  hithere{1\r\n");
    EXPECT_EQ(aprsIsSendHead("M0SKY-10", "G4ABC", "hithere", std::nullopt),
              "  From: M0SKY-10  To :G4ABC  hithere\r\n");
}

TEST(MessageComposer, VhfHeadKeepsPayloadCr)
{
    EXPECT_EQ(vhfSendHead("M0SKY", ":G4ABC    :hi{2\r"), " From: M0SKY  To :G4ABC    :hi{2\r\r\n");
}

TEST(MessageComposer, HfBody)
{
    EXPECT_EQ(hfUnproto("APSK63", false), ">APSK63:");
    EXPECT_EQ(hfUnproto("APSK26", true), ">APSK26,WIDE2-1:");
    EXPECT_EQ(composeHfBody("M0SKY", hfUnproto("APSK63", false), OperatingMode::AprsMessaging, "G4ABC",
                            "hello~", {}, std::nullopt),
              "M0SKY>APSK63::G4ABC    :hello");
}

TEST(MessageComposer, TransmitLogText)
{
    const RaynetFields raynet{"a", "", "c"};
    EXPECT_EQ(transmitLogText(OperatingMode::AprsMessaging, "x{y", raynet), "xy\r");
    EXPECT_EQ(transmitLogText(OperatingMode::Raynet, "ignored", raynet), "a,,c,\r");
    EXPECT_FALSE(transmitLogText(OperatingMode::TncCommand, "x", raynet).has_value());
    EXPECT_FALSE(transmitLogText(OperatingMode::PacketConverse, "x", raynet).has_value());
}

TEST(MessageComposer, RemoteConfirmation)
{
    const RemoteConfirmation off = remoteConfirmation("M0SKY-10", "G4REM", false, 14);
    EXPECT_EQ(off.line, "M0SKY-10>APSK63::G4REM    :Confirm Relay keying close{14");
    EXPECT_EQ(off.head, "  From: M0SKY-10  To :G4REM  Confirm Relay keying close{14\r\n");
    EXPECT_EQ(remoteConfirmation("M0SKY-10", "G4REM", true, 15).text, "Confirm Relay keying open");
}
