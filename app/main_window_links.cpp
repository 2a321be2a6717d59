// The main window's wiring of the VHF links: the serial TNC (tncPort), KISS over TCP
// (kissTcpSocket), AGWPE (agwpeSocket) and the local service ports (localProgramSocket, pttSocket,
// receiveLogSocket).
#include "app/main_window.h"

#include "app/widget_helpers.h"

#include "links/agwpe_link.h"
#include "links/kiss_tcp_link.h"
#include "links/local_service_ports.h"
#include "links/serial_tnc_link.h"
#include "messaging/display_text.h"
#include "platform/comm_port_map.h"
#include "station/station_state.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

namespace app {

void MainWindow::wireLinks()
{
    // The links are the window's children, so its closing finds every timer they run.
    m_serialTnc = std::make_unique<links::SerialTncLink>(
        m_state, m_waits, m_links, [this](int n) { return m_ports.presentDevice(n); }, this);
    m_kissTcp = std::make_unique<links::KissTcpLink>(
        m_serialTnc->lineHandler(),
        [this](const QByteArray& frame) { return m_serialTnc->decodeKissFrame(frame); }, this);
    m_serialTnc->setKissTcp(m_kissTcp.get());
    m_kissTcp->setPeer(QStringLiteral("127.0.0.1"), m_state.tcpPorts.kiss);
    m_agwpe = std::make_unique<links::AgwpeLink>(m_serialTnc->lineHandler(), this);
    m_agwpe->setPeer(QStringLiteral("127.0.0.1"), m_state.tcpPorts.agwpe);
    m_localPorts = std::make_unique<links::LocalServicePorts>(m_state, m_waits);
    m_links.tnc = m_serialTnc.get();
    m_links.local = m_localPorts.get();

    links::TncLineHandler& lines = m_serialTnc->lineHandler();
    connect(&lines, &links::TncLineHandler::monitorText, this, &MainWindow::appendTncTraffic);
    connect(&lines, &links::TncLineHandler::stationHeard, this,
            [this](const QByteArray& call) { addStationHeard(m_tncHeard, "tncHeardList", call); });
    // The igate (igatedLine) and the received-packet classification (packetLine) connect
    // to the line handler in their own wiring.

    auto* tncPortStatusLabel = control<QLabel>("tncPortStatusLabel");
    auto* kissTcpStatusLabel = control<QLabel>("kissTcpStatusLabel");
    connect(m_serialTnc.get(), &links::SerialTncLink::portStatus, tncPortStatusLabel, &QLabel::setText);
    connect(m_kissTcp.get(), &links::KissTcpLink::labelText, kissTcpStatusLabel, &QLabel::setText);
    connect(m_localPorts.get(), &links::LocalServicePorts::localProgramPortStatus,
            control<QLabel>("localProgramPortLabel"), &QLabel::setText);
    connect(m_localPorts.get(), &links::LocalServicePorts::pttPortStatus, control<QLabel>("pttPortLabel"),
            &QLabel::setText);

    auto* kissTcpButton = control<QPushButton>("kissTcpButton");
    auto* agwpeButton = control<QPushButton>("agwpeButton");
    auto showButton = [](QPushButton* b) {
        return [b](const QString& caption, unsigned colour) {
            b->setText(caption);
            setBackColour(b, colour);
        };
    };
    connect(m_kissTcp.get(), &links::KissTcpLink::buttonCaption, kissTcpButton, showButton(kissTcpButton));
    connect(m_kissTcp.get(), &links::KissTcpLink::buttonEnabled, kissTcpButton, &QPushButton::setEnabled);
    connect(m_agwpe.get(), &links::AgwpeLink::buttonCaption, agwpeButton, showButton(agwpeButton));
    connect(m_agwpe.get(), &links::AgwpeLink::buttonEnabled, agwpeButton, &QPushButton::setEnabled);
    // kissTcpButton is connected to connectKissTcp() with the other buttons.
    connect(agwpeButton, &QPushButton::clicked, this, [this] { m_agwpe->connectClicked(); });
}

void MainWindow::appendTncTraffic(const QByteArray& text)
{
    messaging::appendDisplayText(m_tncTraffic, text);
    QByteArray shown = m_tncTraffic;
    shown.replace("\r\n", "\n");
    shown.replace('\r', '\n');
    auto* monitor = control<QPlainTextEdit>("tncTrafficDisplay");
    monitor->setPlainText(textOf(shown));
    monitor->moveCursor(QTextCursor::End);
    monitor->ensureCursorVisible();
}

} // namespace app
