#include "messaging/received_message.h"

#include <gtest/gtest.h>

using namespace messaging;

namespace {

StationIdentity station(const QByteArray& call)
{
    return StationIdentity{call, "SKYGRP", "G4REM", "Relay keying open", "Relay keying close"};
}

ReceivedMessage aprsIs(const QByteArray& line, const QByteArray& call = "M0SKY")
{
    return classifyLine(Bearer::AprsIs, line, station(call), "12:00:00");
}

} // namespace

TEST(ReceivedMessage, MessageToUsOverAprsIs)
{
    const auto m = aprsIs("SRC>APRS,TCPIP*,qAC,T2TEST::M0SKY    :hello{12\r\n");
    EXPECT_EQ(m.source, "SRC");
    EXPECT_TRUE(m.toUs);
    EXPECT_EQ(m.addressedText, ":M0SKY    :hello{12");
    EXPECT_EQ(m.addressee, "M0SKY");
    EXPECT_EQ(m.messageText, "hello");
    EXPECT_EQ(m.messageNumber, "12");
    EXPECT_EQ(m.messageHead, "12:00:00 From: SRC  To: :M0SKY    :hello{12\r\n");
    EXPECT_EQ(m.background, MessagesBackground::Yellow);
    EXPECT_TRUE(m.receiveLog);
    EXPECT_TRUE(m.sendAck);
    EXPECT_EQ(m.ackToSend, "M0SKY>APSK63::SRC      :ack12");
    EXPECT_FALSE(m.isAck);
    EXPECT_TRUE(m.bulletinEntry.isEmpty());
}

TEST(ReceivedMessage, MessageNumberWithControlBytesGetsNoAck)
{
    // Echoed in the ack, Ctrl-C would put a text-mode TNC in command mode and run the rest.
    for (const Bearer bearer : {Bearer::Tnc, Bearer::Hf, Bearer::AprsIs}) {
        const auto m = classifyLine(bearer, "G4XYZ>APRS::M0SKY    :hi{\x03M0SKY EVIL",
                                    {"M0SKY", {}, {}, {}, {}}, "12:00:00");
        EXPECT_TRUE(m.toUs);
        EXPECT_TRUE(m.receiveLog) << "still shown and logged";
        EXPECT_FALSE(m.sendAck);
        EXPECT_TRUE(m.ackToSend.isEmpty());
    }
    // Found by fuzzing the VHF receive path: a valid number, but a "sender" (a line without
    // ">") holding Ctrl-C, which the ack would carry in its addressee field.
    for (const QByteArray& line :
         {QByteArray("G4SR\x03X::M0SKY    :hello{0k1"), QByteArray("G4XYZ-1234>APRS::M0SKY    :hi{1"),
          QByteArray(">APRS::M0SKY    :hi{1")}) {
        const auto m = classifyLine(Bearer::Tnc, line, {"M0SKY", {}, {}, {}, {}}, "12:00:00");
        EXPECT_TRUE(m.toUs) << line.constData();
        EXPECT_FALSE(m.sendAck) << line.constData();
    }
    const auto replyAck =
        classifyLine(Bearer::Tnc, "G4XYZ>APRS::M0SKY    :hi{7}AB", {"M0SKY", {}, {}, {}, {}}, "12:00:00");
    EXPECT_TRUE(replyAck.sendAck);
    EXPECT_EQ(replyAck.ackToSend, ":G4XYZ    :ack7\r");
}

TEST(ReceivedMessage, AckToUsShowsNothing)
{
    const auto m = aprsIs("G4ABC>APSK63,TCPIP*::M0SKY    :ack05");
    EXPECT_TRUE(m.isAck);
    EXPECT_EQ(m.ackNumber, 5);
    EXPECT_TRUE(m.messageHead.isEmpty());
    EXPECT_EQ(m.background, MessagesBackground::Unchanged);
    EXPECT_FALSE(m.sendAck);
    EXPECT_TRUE(m.receiveLog);
}

TEST(ReceivedMessage, AckInsideAMessageTextIsNoAcknowledgement)
{
    const auto m = aprsIs("G4ABC>APSK63,TCPIP*::M0SKY    :on track5 now{9");
    EXPECT_FALSE(m.isAck);
    EXPECT_EQ(m.ackNumber, 0);
    EXPECT_TRUE(m.sendAck) << "it is a message, and is acknowledged as one";
    EXPECT_FALSE(m.messageHead.isEmpty());
}

TEST(ReceivedMessage, OtherStationsTraffic)
{
    struct Case {
        const char* name;
        QByteArray line;
    };
    const Case cases[] = {
        {"other addressee", "SRC>APRS::G4XYZ    :hello{3"},
        {"longer call with our call as prefix", "SRC>APRS::M0SKYA   :hello{3"},
        {"position report", "SRC>APRS,WIDE2-1:!5130.00N/00010.00W-"},
    };
    for (const auto& c : cases) {
        const auto m = aprsIs(c.line, "M0SKY-1");
        EXPECT_FALSE(m.toUs) << c.name;
        EXPECT_EQ(m.background, MessagesBackground::White) << c.name;
        EXPECT_FALSE(m.sendAck) << c.name;
        EXPECT_FALSE(m.receiveLog) << c.name;
        EXPECT_TRUE(m.messageHead.isEmpty()) << c.name;
    }
}

TEST(ReceivedMessage, OtherSsidOfOurCallIsShownButNotAcknowledged)
{
    const auto m = aprsIs("SRC>APRS::M0SKY-5  :for the portable{4", "M0SKY-1");
    EXPECT_FALSE(m.toUs);
    EXPECT_FALSE(m.sendAck);
    EXPECT_EQ(m.messageHead, "12:00:00 From: SRC  To: SRC>APRS::M0SKY-5  :for the portable{4\r\n");
}

TEST(ReceivedMessage, BulletinsAndWeather)
{
    const auto b = aprsIs("SRC>APRS,TCPIP*::BLN1     :Net tonight at 8");
    EXPECT_EQ(b.bulletinEntry, "12:00:00 From: SRC  :BLN1     :Net tonight at 8\r\n");
    EXPECT_TRUE(b.nwsEntry.isEmpty());
    EXPECT_TRUE(b.messageHead.isEmpty());
    const auto w = aprsIs("SRC>APRS::NWS-WARN :Gale warning");
    EXPECT_EQ(w.nwsEntry, "12:00:00 From: SRC  :NWS-WARN :Gale warning\r\n");
    EXPECT_TRUE(w.bulletinEntry.isEmpty());
}

TEST(ReceivedMessage, GroupNormalisation)
{
    const auto m = aprsIs("SRC>APSK63,TCPIP*,qAC,T2::SKYGRP   :hello all{7");
    EXPECT_EQ(m.groupEntry, "12:00:00 SRC    T2::SKYGRP   :hello all\r\n");
    EXPECT_TRUE(aprsIs("SRC>APSK63::SKYGRP   :ack7").groupEntry.isEmpty());
    // TNC and HF keep the server path parts.
    EXPECT_EQ(groupListEntry("T", "SRC>APSK25,TCPIP*,X:SKYGRP hi", false), "T SRC  ,TCPIP*,X:SKYGRP hi\r\n");
    StationIdentity noGroup = station("M0SKY");
    noGroup.groupCall.clear();
    const auto cleared = classifyLine(Bearer::AprsIs, "SRC>APRS::X        :y", noGroup, "T");
    EXPECT_TRUE(cleared.clearGroupList);
    EXPECT_TRUE(cleared.groupEntry.isEmpty());
}

TEST(ReceivedMessage, TncMessageToUs)
{
    const auto m = classifyLine(Bearer::Tnc, " G4ABC>APSK20,WIDE2-1::M0SKY-1  :hi there{07\r\n",
                                station("M0SKY-1"), "T");
    EXPECT_EQ(m.source, "G4ABC");
    EXPECT_TRUE(m.toUs);
    EXPECT_EQ(m.messageHead, "T From: G4ABC  To: :M0SKY-1  :hi there{07\r\n");
    EXPECT_EQ(m.ackToSend, ":G4ABC    :ack7\r");
}

TEST(ReceivedMessage, HfMessageAndSource)
{
    const auto m = classifyLine(Bearer::Hf, "G4ABC*>APSK63::M0SKY-1  :hf text{3", station("M0SKY-1"), "T");
    EXPECT_EQ(m.source, "G4ABC");
    EXPECT_EQ(m.messageHead, "  From: G4ABC To: :M0SKY-1  :hf text{3\r\n");
    EXPECT_EQ(m.ackToSend, ":G4ABC    :ack3\r");

    const auto relayed =
        classifyLine(Bearer::Hf, "IGATE>APSK20,M0SKY*:}G4XYZ>APRS::M0SKY-1  :x", station("M0SKY-1"), "T");
    EXPECT_EQ(relayed.source, "G4XYZ");
    EXPECT_EQ(classifyLine(Bearer::Hf, "no packet", station("M0SKY-1"), "T").source, "");
}

TEST(ReceivedMessage, HfCallsignWithoutSsidShowsEveryMessage)
{
    const auto m = classifyLine(Bearer::Hf, "G4ABC>APSK63::G4XYZ    :not for us", station("M0SKY"), "T");
    EXPECT_FALSE(m.toUs);
    EXPECT_EQ(m.messageHead, "  From: G4ABC To: G4ABC>APSK63::G4XYZ    :not for us\r\n");
    EXPECT_EQ(baseCallsign("M0SKY", Bearer::Hf), "");
    EXPECT_EQ(baseCallsign("M0SKY", Bearer::AprsIs), "M0SKY");
    EXPECT_EQ(baseCallsign("M0SKY-3", Bearer::Tnc), "M0SKY");
}

TEST(ReceivedMessage, RemoteControl)
{
    struct Case {
        const char* name;
        QByteArray line;
        StationIdentity who;
        bool on;
        bool off;
    };
    StationIdentity disabled = station("M0SKY");
    disabled.remoteCall = "NOCALL";
    StationIdentity noCode = station("M0SKY");
    noCode.remoteOnCode.clear();
    const Case cases[] = {
        {"off code", "G4REM>APRS::M0SKY    :Relay keying close{4", station("M0SKY"), false, true},
        {"on code", "G4REM>APRS::M0SKY    :Relay keying open{5", station("M0SKY"), true, false},
        {"other sender naming the remote call", "G4BAD>APRS::M0SKY    :G4REM Relay keying close",
         station("M0SKY"), false, false},
        {"remote control disabled", "NOCALL>APRS::M0SKY    :Relay keying close", disabled, false, false},
        {"empty code never matches", "G4REM>APRS::M0SKY    :hello", noCode, false, false},
        {"not addressed to us", "G4REM>APRS::G4XYZ    :Relay keying close", station("M0SKY"), false, false},
    };
    for (const auto& c : cases) {
        const auto m = classifyLine(Bearer::AprsIs, c.line, c.who, "T");
        EXPECT_EQ(m.remote.transmitOn, c.on) << c.name;
        EXPECT_EQ(m.remote.transmitOff, c.off) << c.name;
    }
}

TEST(ReceivedMessage, EmptyCallsignIsNeverAddressed)
{
    const auto m = classifyLine(Bearer::AprsIs, "SRC>APRS::G4XYZ    :hi{1", station(""), "T");
    EXPECT_FALSE(m.toUs);
    EXPECT_FALSE(m.sendAck);
    EXPECT_TRUE(m.messageHead.isEmpty());
}

TEST(ReceivedMessage, InnerSource)
{
    EXPECT_EQ(innerSource("IG>APSK20:} G4XYZ >APRS:x"), "G4XYZ");
    EXPECT_EQ(innerSource("IG>APSK20:x"), "");
    EXPECT_EQ(innerSource("IG>APSK20:}tail"), "tail");
}
