// The GPS receiver on its serial port (`gpsPort`) or through gpsd: sentence handling and the
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
    gpsSentenceTimer().setSingleShot(false);
    connect(m_gpsLink.get(), &links::GpsLink::dataReceived, this, &MainWindow::gpsDataReceived);
    connect(&gpsSentenceTimer(), &QTimer::timeout, this, &MainWindow::gpsSentenceTick);
    connect(&gpsStatusTimer(), &QTimer::timeout, this, &MainWindow::gpsWatchTick);
}

void MainWindow::openGpsPort()
{
    m_gps.reset();
    const settings::DeviceSettings& devices = m_state.devices;
    if (devices.gpsFromGpsd)
        m_gpsLink->openGpsd(QString::fromLatin1(devices.gpsdHost), devices.gpsdPort);
    else if (m_state.gpsPort != 0)
        m_gpsLink->openSerial(m_state.gpsPort); // reopened by its watch timer when unplugged
    else
        m_gpsLink->close();
}

void MainWindow::gpsDataReceived(const QByteArray& bytes)
{
    if (m_gps.feed(bytes))
        m_gpsSentencePending = true;
    gpsSentenceTimer().start();
}

void MainWindow::gpsSentenceTick()
{
    gpsSentenceTimer().stop();
    if (!m_gpsSentencePending || !m_gps.latest())
        return; // the next receive event starts the timer again
    m_gpsSentencePending = false;
    control<QLabel>("gpsSentenceLabel")->setText(textOf(m_gps.latest()->text));
    gpsStatusTimer().stop();
    showGpsState(m_gps.latest()->hasFix() ? position::GpsState::FixOk : position::GpsState::NoFix);
    gpsStatusTimer().start(); // fires 30 s after the last complete sentence
}

void MainWindow::gpsWatchTick()
{
    showGpsState(position::GpsState::NoInput);
    gpsStatusTimer().stop();
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
