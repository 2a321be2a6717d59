// The main window's wiring of the beacon schedule and senders: the beacon on/off button, the
// beacon text field, the start-up beacon and the HF step of a beacon.
#include "app/main_window.h"

#include "app/widget_helpers.h"

#include "hf/hf_frame.h"
#include "hf/hf_link.h"
#include "links/serial_tnc_link.h"
#include "platform/comm_port.h"
#include "messaging/message_sender.h"
#include "position/beacon_station.h"
#include "position/gps_position.h"
#include "station/station_state.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace app {

void MainWindow::wireBeacons()
{
    m_beacons =
        std::make_unique<position::BeaconStation>(m_state, m_waits, m_links, m_gpsReceiver->input(), this);
    position::BeaconStation* b = m_beacons.get();
    b->setHfSend([this](const QByteArray& info) { sendHfBeacon(info); });
    connect(b, &position::BeaconStation::aprsIsBeaconNotSent, this, [this](const QByteArray& line) {
        if (m_sender)
            m_sender->noteNotSentToAprsIs("Beacon", line);
    });

    connect(b, &position::BeaconStation::startupBeaconDue, this,
            [this] { control<QPushButton>("sendBeaconButton")->click(); });
    connect(control<QPushButton>("beaconButton"), &QPushButton::clicked, b,
            &position::BeaconStation::beaconButtonClicked);

    auto* field = control<QLineEdit>("beaconTextField");
    b->setBeaconText(bytesOf(field->text()));
    connect(field, &QLineEdit::textChanged, b, [b](const QString& text) { b->setBeaconText(bytesOf(text)); });
    connect(b, &position::BeaconStation::beaconTextCleaned, field,
            [field](const QByteArray& text) { field->setText(textOf(text)); });

    connect(b, &position::BeaconStation::countdownTextChanged, this,
            [this](const QString& text) { control<QLabel>("beaconCountdownLabel")->setText(text); });
    connect(b, &position::BeaconStation::beaconButtonChanged, this,
            [this](const QString& caption, position::StatusColour colour) {
                auto* button = control<QPushButton>("beaconButton");
                button->setText(caption);
                setBackColour(button, position::bgrOf(colour));
            });
    connect(b, &position::BeaconStation::titleChanged, this,
            [this](const QString& text, position::StatusColour colour) {
                auto* title = control<QLabel>("titleLabel");
                title->setText(text);
                setBackColour(title, position::bgrOf(colour));
            });
    // The TNC port's second modem-control line follows the remote transmit switch.
    connect(b, &position::BeaconStation::tncSecondLineRequested, this, [this](bool on) {
        if (m_serialTnc->port().isOpen())
            m_serialTnc->port().setSecondLine(on);
    });
    connect(b, &position::BeaconStation::gpsFixChecked, this, [this](bool fix) {
        if (!fix) {
            showGpsState(position::GpsState::NoFix);
            return;
        }
        auto* label = control<QLabel>("gpsStatusLabel");
        label->setText(QString::fromLatin1(position::kGpsFixOk));
        setBackColour(label, Green);
    });
}

void MainWindow::sendHfBeacon(const QByteArray& info)
{
    if (!m_hfLink)
        return;
    switch (m_state.choices.transmitMode) {
    case station::TransmitMode::Ax25Psk63:
    case station::TransmitMode::Ax25Gmsk:
    case station::TransmitMode::Ax25Mfsk:
        // The AX.25 modes that also reach the modem: same frame, in the mode's HF setting.
        m_hfLink->transmitFrame(
            hf::buildFrame(m_state.hfCall + m_hfLink->unproto() + info, hf::FrameSender::Beacon), 0.0);
        break;
    default:
        m_hfLink->sendBeaconFrame(info);
        break;
    }
}

} // namespace app
