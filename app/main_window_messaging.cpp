// The main window's wiring of messaging and APRS-IS: the "Connect to Server" button and its
// status, the server-data label, "Send" and "Cancel send", the messages box and its flashing,
// the APRS-IS and TNC receive steps, the receive log and "TNC stations heard".
#include "app/main_window.h"

#include "app/widget_helpers.h"

#include "aprsis/aprs_is_client.h"
#include "hf/modem_control.h"
#include "links/serial_tnc_link.h"
#include "messaging/display_text.h"
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
    // Children of the window, so its closing finds every timer they run.
    m_aprsIs = std::make_unique<aprsis::AprsIsClient>(m_state, this);
    m_receiveLog = std::make_unique<records::ReceiveLog>(m_state, m_links);
    m_sender = std::make_unique<messaging::MessageSender>(m_state, m_waits, m_links, this);
    m_receiver = std::make_unique<messaging::MessageReceiver>(m_state, m_links, *m_sender, this);
    m_links.aprsIs = m_aprsIs.get();
    m_links.receiveLog = m_receiveLog.get();

    wireAprsIsClient();
    wireMessageReceiver();
    wireMessageSender();

    // The receive log flashes the messages box for news.
    connect(m_receiveLog.get(), &records::ReceiveLog::startFlashing, m_sender.get(),
            &messaging::MessageSender::startFlashing);
    connect(m_receiveLog.get(), &records::ReceiveLog::stopFlashing, m_sender.get(),
            &messaging::MessageSender::stopFlashing);
}

void MainWindow::wireAprsIsClient()
{
    aprsis::AprsIsClient* client = m_aprsIs.get();
    auto* server = control<QLineEdit>("aprsIsServerField");
    auto* passcode = control<QLineEdit>("passcodeField");
    client->setPort(m_state.tcpPorts.aprsIs);
    client->setHost(server->text());
    client->setPasscode(bytesOf(passcode->text()));
    connect(server, &QLineEdit::textChanged, client, &aprsis::AprsIsClient::setHost);
    connect(passcode, &QLineEdit::textChanged, client,
            [client](const QString& t) { client->setPasscode(bytesOf(t)); });
    auto* button = control<QPushButton>("aprsIsConnectButton");
    auto* status = control<QLabel>("serverStatusLabel");
    auto* serverData = control<QLabel>("serverDataLabel");
    connect(client, &aprsis::AprsIsClient::statusText, status, &QLabel::setText);
    connect(client, &aprsis::AprsIsClient::buttonColour, button,
            [button](unsigned c) { setBackColour(button, c); });
    connect(client, &aprsis::AprsIsClient::buttonCaption, button, &QPushButton::setText);
    connect(client, &aprsis::AprsIsClient::buttonEnabled, button, &QPushButton::setEnabled);
    connect(client, &aprsis::AprsIsClient::dataShown, serverData,
            [serverData](const QByteArray& d) { serverData->setText(textOf(d)); });
}

void MainWindow::showMessagesBox()
{
    auto* messages = control<QPlainTextEdit>("messagesDisplay");
    messages->setPlainText(textOf(m_state.messagesText));
    messages->verticalScrollBar()->setValue(messages->verticalScrollBar()->maximum());
}

void MainWindow::colourMessagesBox(unsigned bgr)
{
    setBackColour(control<QPlainTextEdit>("messagesDisplay"), bgr);
}

void MainWindow::wireMessageReceiver()
{
    // APRS-IS receive step: every server line waits for the receiver's next tick.
    messaging::MessageReceiver* receiver = m_receiver.get();
    connect(m_aprsIs.get(), &aprsis::AprsIsClient::lineReceived, receiver,
            &messaging::MessageReceiver::queueAprsIsLine);

    connect(receiver, &messaging::MessageReceiver::messagesTextChanged, this, &MainWindow::showMessagesBox);
    connect(receiver, &messaging::MessageReceiver::messagesBoxColour, this, &MainWindow::colourMessagesBox);
    connect(receiver, &messaging::MessageReceiver::tncStationHeard, this,
            [this](const QByteArray& call) { addStationHeard(m_tncHeard, "tncHeardList", call); });
}

QList<QWidget*> MainWindow::sendControls(messaging::SendControl c) const
{
    switch (c) {
    case messaging::SendControl::MessageBox:
        return {control<QLineEdit>("messageInput")};
    case messaging::SendControl::DataBoxes:
        return {control<QLineEdit>("data1Field"), control<QLineEdit>("data2Field"),
                control<QLineEdit>("data3Field")};
    case messaging::SendControl::SendButton:
        return {control<QPushButton>("sendButton")};
    case messaging::SendControl::CancelButton:
        return {control<QPushButton>("cancelSendButton")};
    }
    return {};
}

void MainWindow::wireMessageSender()
{
    messaging::MessageSender* sender = m_sender.get();
    connect(sender, &messaging::MessageSender::messagesTextChanged, this, &MainWindow::showMessagesBox);
    connect(sender, &messaging::MessageSender::messagesBoxColour, this, &MainWindow::colourMessagesBox);
    connect(sender, &messaging::MessageSender::controlEnabled, this,
            [this](messaging::SendControl c, bool on) {
                for (QWidget* w : sendControls(c))
                    w->setEnabled(on);
            });
    connect(sender, &messaging::MessageSender::controlColour, this,
            [this](messaging::SendControl c, unsigned bgr) {
                for (QWidget* w : sendControls(c))
                    setBackColour(w, bgr);
            });
    auto* input = control<QLineEdit>("messageInput");
    connect(sender, &messaging::MessageSender::messageTextCleaned, input,
            [input](const QByteArray& t) { input->setText(textOf(t)); });
    connect(sender, &messaging::MessageSender::focusMessageBox, input, [input] {
        input->setFocus();
        input->selectAll();
    });
    connect(sender, &messaging::MessageSender::portWatch, this,
            [this](bool run) { m_serialTnc->setPortWatched(run); }); // the link exists by the first send
    connect(sender, &messaging::MessageSender::flashTicked, this, [this] {
        if (m_state.shuttingDown)
            close();
    });
    connect(control<QPushButton>("sendButton"), &QPushButton::clicked, this, [this, sender] {
        control<QPushButton>("tuneButton")->setEnabled(false);
        sender->send(sendFields());
    });
    connect(control<QPushButton>("cancelSendButton"), &QPushButton::clicked, this, [this, sender] {
        if (m_modemControl)
            m_modemControl->stopTuneTimer(); // ends "HF TUNE (5 sec)" too
        sender->cancelSend();
    });
}

messaging::SendFields MainWindow::sendFields() const
{
    messaging::SendFields f;
    f.addressee = bytesOf(control<QLineEdit>("sendToField")->text());
    f.text = bytesOf(control<QLineEdit>("messageInput")->text());
    f.raynet = {bytesOf(control<QLineEdit>("data1Field")->text()),
                bytesOf(control<QLineEdit>("data2Field")->text()),
                bytesOf(control<QLineEdit>("data3Field")->text())};
    f.tncOptionEnabled = control<QRadioButton>("tncOption")->isEnabled();
    f.ax25OptionEnabled = control<QRadioButton>("ax25Option")->isEnabled();
    f.packetConverseEnabled = control<QRadioButton>("packetConverseOption")->isEnabled();
    return f;
}

void MainWindow::receivePacketLine(const QByteArray& line)
{
    m_receiver->tncLine(line);
}

void MainWindow::connectAprsIsServerClicked()
{
    m_aprsIs->connectClicked();
}

void MainWindow::closeAprsIsSocket()
{
    m_aprsIs->close();
}

} // namespace app
