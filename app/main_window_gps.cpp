// The GPS receiver on its serial port (`Comm2`) or through gpsd: sentence handling and the
// status display.
#include "main_window.h"

#include "widget_helpers.h"

#include "platform/clock.h"
#include "links/gps_link.h"
#include "station/station_state.h"

#include <QLabel>
#include <QPushButton>

namespace app {

void MainWindow::wireGps()
{
    timer(27).setSingleShot(false);
    connect(m_gpsLink.get(), &links::GpsLink::dataReceived, this, &MainWindow::gpsDataReceived);
    connect(&timer(27), &QTimer::timeout, this, &MainWindow::gpsSentenceTick);
    connect(&timer(28), &QTimer::timeout, this, &MainWindow::gpsWatchTick);
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
    timer(27).start();
}

void MainWindow::gpsSentenceTick()
{
    timer(27).stop();
    if (!m_gpsSentencePending || !m_gps.latest())
        return; // the next receive event starts the timer again
    m_gpsSentencePending = false;
    control<QLabel>("Label18")->setText(textOf(m_gps.latest()->text));
    timer(28).stop();
    showGpsState(m_gps.latest()->hasFix() ? position::GpsState::FixOk : position::GpsState::NoFix);
    timer(28).start(); // fires 30 s after the last complete sentence
}

void MainWindow::gpsWatchTick()
{
    showGpsState(position::GpsState::NoInput);
    timer(28).stop();
}

void MainWindow::showGpsState(position::GpsState gpsState)
{
    const position::GpsDisplay d = position::gpsDisplay(gpsState, m_state.gpsBeacon);
    auto* label = control<QLabel>("Label30");
    label->setText(QString::fromLatin1(d.labelText));
    setBackColour(label, position::bgrOf(d.labelColour));
    setBackColour(control<QPushButton>("Command6"), position::bgrOf(d.gpsButton));
    if (d.fixedButton)
        setBackColour(control<QPushButton>("Command7"), position::bgrOf(*d.fixedButton));
}

} // namespace app
