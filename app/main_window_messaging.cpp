// The main window's wiring of messaging and APRS-IS: the "Connect to Server" button and its
// status, the server-data label, "Send" and "Cancel send", the messages box and its flashing,
// the APRS-IS and TNC receive steps, the receive log and "TNC stations heard".
#include "main_window.h"

#include "widget_helpers.h"

#include "aprsis/aprs_is_client.h"
#include "display_text.h"
#include "messaging/message_receiver.h"
#include "messaging/message_sender.h"
#include "records/receive_log.h"
#include "station/station_state.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace app {

void MainWindow::wireMessaging()
{
    m_aprsIs = std::make_unique<aprsis::AprsIsClient>(m_state);
    m_receiveLog = std::make_unique<records::ReceiveLog>(m_state, m_links);
    m_sender = std::make_unique<messaging::MessageSender>(m_state, m_waits, m_links);
    m_receiver = std::make_unique<messaging::MessageReceiver>(m_state, m_links, *m_sender);
    m_links.aprsIs = m_aprsIs.get();
    m_links.receiveLog = m_receiveLog.get();

    // APRS-IS connection.
    aprsis::AprsIsClient* client = m_aprsIs.get();
    auto* server = control<QLineEdit>("Text10");
    auto* passcode = control<QLineEdit>("Text11");
    client->setPort(m_state.tcpPorts.aprsIs);
    client->setHost(server->text());
    client->setPasscode(bytesOf(passcode->text()));
    connect(server, &QLineEdit::textChanged, client, &aprsis::AprsIsClient::setHost);
    connect(passcode, &QLineEdit::textChanged, client,
            [client](const QString& t) { client->setPasscode(bytesOf(t)); });
    auto* button = control<QPushButton>("Connect");
    auto* status = control<QLabel>("Label13");
    auto* serverData = control<QLabel>("Label16");
    connect(client, &aprsis::AprsIsClient::statusText, status, &QLabel::setText);
    connect(client, &aprsis::AprsIsClient::buttonColour, button,
            [button](unsigned c) { setBackColour(button, c); });
    connect(client, &aprsis::AprsIsClient::buttonCaption, button, &QPushButton::setText);
    connect(client, &aprsis::AprsIsClient::buttonEnabled, button, &QPushButton::setEnabled);
    connect(client, &aprsis::AprsIsClient::dataShown, serverData,
            [serverData](const QByteArray& d) { serverData->setText(textOf(d)); });
    connect(client, &aprsis::AprsIsClient::reconnectTimer, this,
            [this](bool run) { run ? timer(7).start() : timer(7).stop(); });
    connect(&timer(6), &QTimer::timeout, client, &aprsis::AprsIsClient::statusTick);
    connect(&timer(7), &QTimer::timeout, client, &aprsis::AprsIsClient::Timer7_Timer);

    // APRS-IS receive step: every server line waits for the next Timer11 tick.
    messaging::MessageReceiver* receiver = m_receiver.get();
    connect(client, &aprsis::AprsIsClient::lineReceived, receiver,
            &messaging::MessageReceiver::queueAprsIsLine);
    connect(receiver, &messaging::MessageReceiver::receiveTimer, this,
            [this](bool run) { run ? timer(11).start() : timer(11).stop(); });
    connect(&timer(11), &QTimer::timeout, receiver, &messaging::MessageReceiver::Timer11_Timer);

    // The messages box.
    auto* messages = control<QPlainTextEdit>("Text8");
    auto showMessages = [this, messages] {
        messages->setPlainText(textOf(m_state.messagesText));
        messages->verticalScrollBar()->setValue(messages->verticalScrollBar()->maximum());
    };
    auto colourMessages = [messages](unsigned c) { setBackColour(messages, c); };
    connect(receiver, &messaging::MessageReceiver::messagesTextChanged, this, showMessages);
    connect(receiver, &messaging::MessageReceiver::messagesBoxColour, this, colourMessages);
    connect(receiver, &messaging::MessageReceiver::tncStationHeard, this,
            [this](const QByteArray& call) { addStationHeard(m_tncHeard, "List2", call); });

    // Send and its fields.
    messaging::MessageSender* sender = m_sender.get();
    connect(sender, &messaging::MessageSender::messagesTextChanged, this, showMessages);
    connect(sender, &messaging::MessageSender::messagesBoxColour, this, colourMessages);
    auto controlsOf = [this](messaging::SendControl c) -> QList<QWidget*> {
        switch (c) {
        case messaging::SendControl::MessageBox:
            return {control<QLineEdit>("Text2")};
        case messaging::SendControl::DataBoxes:
            return {control<QLineEdit>("Text5"), control<QLineEdit>("Text6"), control<QLineEdit>("Text7")};
        case messaging::SendControl::SendButton:
            return {control<QPushButton>("Command1")};
        case messaging::SendControl::CancelButton:
            return {control<QPushButton>("Command2")};
        }
        return {};
    };
    connect(sender, &messaging::MessageSender::controlEnabled, this,
            [controlsOf](messaging::SendControl c, bool on) {
                for (QWidget* w : controlsOf(c))
                    w->setEnabled(on);
            });
    connect(sender, &messaging::MessageSender::controlColour, this,
            [controlsOf](messaging::SendControl c, unsigned bgr) {
                for (QWidget* w : controlsOf(c))
                    setBackColour(w, bgr);
            });
    auto* input = control<QLineEdit>("Text2");
    connect(sender, &messaging::MessageSender::messageTextCleaned, input,
            [input](const QByteArray& t) { input->setText(textOf(t)); });
    connect(sender, &messaging::MessageSender::focusMessageBox, input, [input] {
        input->setFocus();
        input->selectAll();
    });
    connect(sender, &messaging::MessageSender::flashTimer, this,
            [this](bool run) { run ? timer(14).start() : timer(14).stop(); });
    connect(sender, &messaging::MessageSender::portWatch, this,
            [this](bool run) { run ? timer(19).start() : timer(19).stop(); });
    connect(&timer(14), &QTimer::timeout, sender, [this, sender] {
        sender->Timer14_Timer();
        if (m_state.shuttingDown)
            close();
    });
    connect(control<QPushButton>("Command1"), &QPushButton::clicked, this, [this, sender] {
        control<QPushButton>("Command3")->setEnabled(false);
        sender->Command1_Click(sendFields());
    });
    connect(control<QPushButton>("Command2"), &QPushButton::clicked, this, [this, sender] {
        timer(5).stop(); // ends "HF TUNE (5 sec)" too
        sender->Command2_Click();
    });

    // The receive log flashes the messages box for news.
    connect(m_receiveLog.get(), &records::ReceiveLog::startFlashing, this, [this] { timer(14).start(); });
    connect(m_receiveLog.get(), &records::ReceiveLog::stopFlashing, this, [this] { timer(14).stop(); });
}

messaging::SendFields MainWindow::sendFields() const
{
    messaging::SendFields f;
    f.addressee = bytesOf(control<QLineEdit>("Text3")->text());
    f.text = bytesOf(control<QLineEdit>("Text2")->text());
    f.raynet = {bytesOf(control<QLineEdit>("Text5")->text()), bytesOf(control<QLineEdit>("Text6")->text()),
                bytesOf(control<QLineEdit>("Text7")->text())};
    f.tncOptionEnabled = control<QRadioButton>("Option8")->isEnabled();
    f.ax25OptionEnabled = control<QRadioButton>("Option31")->isEnabled();
    f.packetConverseEnabled = control<QRadioButton>("Option3")->isEnabled();
    return f;
}

void MainWindow::receivePacketLine(const QByteArray& line)
{
    m_receiver->tncLine(line);
}

void MainWindow::connectAprsIsServerClicked()
{
    m_aprsIs->Connect_Click();
}

void MainWindow::closeAprsIsSocket()
{
    m_aprsIs->close();
}

} // namespace app
