// The GPS receiver on its serial port (`gpsPort`) or through gpsd: its sentence label and the
// status display.
#include "app/main_window.h"

#include "app/widget_helpers.h"

#include "platform/clock.h"
#include "links/gps_link.h"
#include "station/station_state.h"

#include <QLabel>
#include <QPushButton>

namespace app {

void MainWindow::wireGps()
{
    m_gpsReceiver = std::make_unique<position::GpsReceiver>(this);
    connect(m_gpsLink.get(), &links::GpsLink::dataReceived, m_gpsReceiver.get(),
            &position::GpsReceiver::feed);
    connect(m_gpsReceiver.get(), &position::GpsReceiver::sentenceShown, this,
            [this](const QByteArray& text) { control<QLabel>("gpsSentenceLabel")->setText(textOf(text)); });
    connect(m_gpsReceiver.get(), &position::GpsReceiver::stateChanged, this, &MainWindow::showGpsState);
}

void MainWindow::openGpsPort()
{
    m_gpsReceiver->reset();
    const settings::DeviceSettings& devices = m_state.devices;
    if (devices.gpsFromGpsd)
        m_gpsLink->openGpsd(QString::fromLatin1(devices.gpsdHost), devices.gpsdPort);
    else if (m_state.gpsPort != 0)
        m_gpsLink->openSerial(m_state.gpsPort); // reopened by its watch timer when unplugged
    else
        m_gpsLink->close();
}

void MainWindow::showGpsState(position::GpsState gpsState)
{
    const position::GpsDisplay d = position::gpsDisplay(gpsState, m_state.gpsBeacon);
    auto* label = control<QLabel>("gpsStatusLabel");
    label->setText(QString::fromLatin1(d.labelText));
    setBackColour(label, position::bgrOf(d.labelColour));
    setBackColour(control<QPushButton>("gpsBeaconButton"), position::bgrOf(d.gpsButton));
    if (d.fixedButton)
        setBackColour(control<QPushButton>("fixedBeaconButton"), position::bgrOf(*d.fixedButton));
}

} // namespace app
