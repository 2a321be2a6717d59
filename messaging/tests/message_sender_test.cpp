// Send on the VHF bearer through a recording TNC: composition through the send procedure, the
// VHF retry schedule, the acknowledgement of a received message and the ack receiver.
#include "messaging/message_receiver.h"
#include "messaging/message_sender.h"

#include "platform/clock.h"
#include "station/station_state.h"
#include "station/waits.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Sent {
    QByteArray kind; ///< "text" or the KISS destination
    QByteArray bytes;
    bool operator==(const Sent&) const = default;
};

class RecordingTnc : public station::TncTransmitter {
public:
    void writeTnc(const QByteArray& bytes) override { sent.append({"text", bytes}); }
    void sendKissFrame(const QByteArray& destination, const QByteArray&, const QByteArray&,
                       const QByteArray& info) override
    {
        if (!textMode)
            sent.append({destination, info});
    }
    void clearMessageHeading() override {}
    bool isTextModeTnc() const override { return textMode; }
    bool textMode = true;
    QList<Sent> sent;
};

class VhfSendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        state.stationDir = dir.path();
        state.myCall = "M0SKY";
        state.choices.transmitMode = station::TransmitMode::Tnc;
        state.choices.operatingMode = station::OperatingMode::AprsMessaging;
        links.tnc = &tnc;
    }
    testsupport::TempStationDir dir;
    station::StationState state;
    station::Waits waits{state};
    station::StationLinks links;
    RecordingTnc tnc;
    messaging::MessageSender sender{state, waits, links};
    messaging::MessageReceiver receiver{state, links, sender};
};

TEST_F(VhfSendTest, ComposedPayloadsByModeAndAckSetting)
{
    struct Case {
        station::OperatingMode mode;
        bool normal;
        messaging::SendFields fields;
        QByteArray first;
    };
    const Case cases[] = {
        {station::OperatingMode::TncCommand, true, {"G4DST", "mycall x", {}}, "mycall x\r"},
        {station::OperatingMode::AprsMessaging, false, {"AB", "a~b{c|d", {}}, ":AB       :abcd\r"},
        {station::OperatingMode::PacketConverse, true, {"G4DST", "chat", {}}, "chat\r"},
        {station::OperatingMode::Raynet, false, {"G4ABCDE-12", "", {"", "", ""}}, ":G4ABCDE-12:,,,\r"},
    };
    for (const Case& c : cases) {
        tnc.sent.clear();
        state.choices.operatingMode = c.mode;
        state.choices.acksNormal = c.normal;
        sender.send(c.fields);
        ASSERT_FALSE(tnc.sent.isEmpty());
        EXPECT_EQ(tnc.sent.first(), (Sent{"text", c.first}));
        EXPECT_EQ(tnc.sent.size(), 1);
    }
    // Every VHF send used a number, the TNC command too.
    EXPECT_EQ(state.messageNumber, 4);
    EXPECT_FALSE(state.sendInProgress);
}

TEST_F(VhfSendTest, WithoutAckThreeTransmissionsKissDestinationsChange)
{
    tnc.textMode = false;
    sender.send({"G4DST", "hi", {}});
    const QList<Sent> expected{
        {"APSK20", ":G4DST    :hi{1\r"}, {"APSK63", ":G4DST    :hi{1\r"}, {"APSK63", ":G4DST    :hi{1\r"}};
    EXPECT_EQ(tnc.sent, expected);
    EXPECT_FALSE(state.transmitBusy);
    EXPECT_EQ(dir.read(QStringLiteral("skylark_transmit.log")).count("\"G4DST\",\"hi\r\"\r\n"), 1);
}

TEST_F(VhfSendTest, EveryTransmitOptionSendsOnItsBearer)
{
    using station::TransmitMode;
    enum class Bearer { Hf, Vhf, None };
    const std::pair<TransmitMode, Bearer> rows[] = {
        {TransmitMode::Psk63, Bearer::Hf},     {TransmitMode::Mfsk16, Bearer::Hf},
        {TransmitMode::Qpsk125, Bearer::Hf},   {TransmitMode::Psk250, Bearer::Hf},
        {TransmitMode::Qpsk250, Bearer::Hf},   {TransmitMode::Gmsk63, Bearer::Hf},
        {TransmitMode::Gmsk250, Bearer::Hf},   {TransmitMode::Ax25Mfsk, Bearer::Hf},
        {TransmitMode::Ax25Psk63, Bearer::Hf}, {TransmitMode::Ax25Gmsk, Bearer::Hf},
        {TransmitMode::Tnc, Bearer::Vhf},      {TransmitMode::Ax25, Bearer::Vhf},
        {TransmitMode::AprsIs, Bearer::None}, // no server link here: shown and logged only
    };
    state.choices.acksNormal = false;
    int hfSends = 0;
    sender.setHfSend([&](const messaging::SendFields&) { ++hfSends; });
    for (const auto& [mode, bearer] : rows) {
        SCOPED_TRACE(static_cast<int>(mode));
        hfSends = 0;
        tnc.sent.clear();
        state.choices.transmitMode = mode;
        sender.send({"G4DST", "hi", {}});
        EXPECT_EQ(hfSends, bearer == Bearer::Hf ? 1 : 0);
        EXPECT_EQ(!tnc.sent.isEmpty(), bearer == Bearer::Vhf);
    }
}

TEST_F(VhfSendTest, AckFromTheAddresseeEndsTheWait)
{
    // The ack arrives as a monitored line while the retry procedure waits.
    QObject::connect(&sender, &messaging::MessageSender::messagesTextChanged, [&] {
        if (tnc.sent.isEmpty())
            QTimer::singleShot(platform::Clock::scaled(2000),
                               [&] { receiver.tncLine("G4DST>APRS,WIDE2-1::M0SKY    :ack01\r\n"); });
    });
    sender.send({"G4DST", "hi", {}});
    EXPECT_EQ(tnc.sent.size(), 1);
    EXPECT_EQ(state.lastAckNumber, 1);
}

TEST_F(VhfSendTest, ReceivedNumberedMessageIsAnsweredTwice)
{
    tnc.textMode = false;
    state.messageNumber = 5;
    receiver.tncLine("G4SRC>APRS::M0SKY    :hello{05\r\n");
    ASSERT_TRUE(testsupport::waitUntil([&] { return tnc.sent.size() == 2; }));
    EXPECT_EQ(tnc.sent[0], (Sent{"APSK63", ":G4SRC    :ack5\r"}));
    EXPECT_EQ(tnc.sent[1], tnc.sent[0]);
    // A message's own number is no acknowledgement of our message 5.
    EXPECT_NE(state.lastAckNumber, 5);
    EXPECT_TRUE(state.messagesText.contains(" From: G4SRC  To: :M0SKY    :hello{05\r\n"));
}

TEST_F(VhfSendTest, TncCommandModeLinesAreNotClassified)
{
    state.choices.operatingMode = station::OperatingMode::TncCommand;
    receiver.tncLine("G4SRC>APRS::M0SKY    :hello{05\r\n");
    EXPECT_TRUE(state.messagesText.isEmpty());
}

} // namespace
