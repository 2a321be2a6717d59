// The main window's wiring of the VHF links: the serial TNC (MSComm1), KISS over TCP
// (Winsock4), AGWPE (Winsock6) and the local service ports (Winsock1, 3, 5).
#include "main_window.h"

#include "widget_helpers.h"

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
    m_serialTnc = std::make_unique<links::SerialTncLink>(m_state, m_waits, m_links,
                                                         [this](int n) { return m_ports.presentDevice(n); });
    m_serialTnc->attachTimers(timer(2), timer(18), timer(19), timer(22));
    m_kissTcp =
        std::make_unique<links::KissTcpLink>(m_serialTnc->lineHandler(), [this](const QByteArray& frame) {
            return m_serialTnc->decodeKissFrame(frame);
        });
    m_kissTcp->attachTimer(timer(23));
    m_serialTnc->setKissTcp(m_kissTcp.get());
    m_kissTcp->setPeer(QStringLiteral("127.0.0.1"), m_state.tcpPorts.kiss);
    m_agwpe = std::make_unique<links::AgwpeLink>(m_serialTnc->lineHandler());
    m_agwpe->setPeer(QStringLiteral("127.0.0.1"), m_state.tcpPorts.agwpe);
    m_localPorts = std::make_unique<links::LocalServicePorts>(m_state, m_waits);
    m_links.tnc = m_serialTnc.get();
    m_links.local = m_localPorts.get();

    links::TncLineHandler& lines = m_serialTnc->lineHandler();
    connect(&lines, &links::TncLineHandler::monitorText, this, &MainWindow::appendTncTraffic);
    connect(&lines, &links::TncLineHandler::stationHeard, this,
            [this](const QByteArray& call) { addStationHeard(m_tncHeard, "List2", call); });
    // The igate (igatedLine) and the received-packet classification (packetLine) connect
    // to the line handler in their own wiring.

    auto* label26 = control<QLabel>("Label26");
    auto* label28 = control<QLabel>("Label28");
    connect(m_serialTnc.get(), &links::SerialTncLink::portStatus, label26, &QLabel::setText);
    connect(m_kissTcp.get(), &links::KissTcpLink::labelText, label28, &QLabel::setText);
    connect(m_localPorts.get(), &links::LocalServicePorts::label23Text, control<QLabel>("Label23"),
            &QLabel::setText);
    connect(m_localPorts.get(), &links::LocalServicePorts::label27Text, control<QLabel>("Label27"),
            &QLabel::setText);

    auto* command5 = control<QPushButton>("Command5");
    auto* command9 = control<QPushButton>("Command9");
    auto showButton = [](QPushButton* b) {
        return [b](const QString& caption, unsigned colour) {
            b->setText(caption);
            setBackColour(b, colour);
        };
    };
    connect(m_kissTcp.get(), &links::KissTcpLink::buttonCaption, command5, showButton(command5));
    connect(m_kissTcp.get(), &links::KissTcpLink::buttonEnabled, command5, &QPushButton::setEnabled);
    connect(m_agwpe.get(), &links::AgwpeLink::buttonCaption, command9, showButton(command9));
    connect(m_agwpe.get(), &links::AgwpeLink::buttonEnabled, command9, &QPushButton::setEnabled);
    // Command5 is connected to connectKissTcp() with the other buttons.
    connect(command9, &QPushButton::clicked, this, [this] { m_agwpe->Command9_Click(); });

    // Timer6: this is the TNC sockets' half; the APRS-IS half is connected with its link.
    connect(&timer(6), &QTimer::timeout, this, [this] {
        m_kissTcp->statusTick();
        m_agwpe->statusTick();
    });
}

void MainWindow::appendTncTraffic(const QByteArray& text)
{
    messaging::appendDisplayText(m_tncTraffic, text);
    QByteArray shown = m_tncTraffic;
    shown.replace("\r\n", "\n");
    shown.replace('\r', '\n');
    auto* monitor = control<QPlainTextEdit>("Text1");
    monitor->setPlainText(textOf(shown));
    monitor->moveCursor(QTextCursor::End);
    monitor->ensureCursorVisible();
}

} // namespace app
