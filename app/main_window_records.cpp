// The main window's space-weather button and the RAYNET sheet.
#include "app/main_window.h"

#include "app/widget_helpers.h"

#include "platform/dialog_service.h"
#include "platform/url_opener.h"
#include "records/raynet_sheet.h"
#include "records/space_weather_fetcher.h"
#include "records/space_weather_schedule.h"
#include "station/station_state.h"

#include <QPushButton>

namespace app {

namespace {
constexpr int SpaceWeatherTimeoutMs = 10000;
} // namespace

void MainWindow::wireRecords()
{
    m_spaceWeatherFetcher = std::make_unique<records::SpaceWeatherFetcher>();
    m_spaceWeatherFetcher->setTimeoutMs(SpaceWeatherTimeoutMs);
    connect(control<QPushButton>("spaceWeatherButton"), &QPushButton::clicked, this,
            &MainWindow::spaceWeatherClicked);
    m_spaceWeatherSchedule = std::make_unique<records::SpaceWeatherSchedule>(this);
    connect(m_spaceWeatherSchedule.get(), &records::SpaceWeatherSchedule::fetchDue, this,
            &MainWindow::fetchSpaceWeather);
    connect(m_spaceWeatherFetcher.get(), &records::SpaceWeatherFetcher::finished, this,
            &MainWindow::showSpaceWeather);
}

void MainWindow::setSpaceWeatherUrl(const QUrl& url)
{
    if (url.isValid())
        m_spaceWeatherFetcher->setUrl(url);
}

void MainWindow::showSpaceWeather(const QByteArray& body, bool ok)
{
    if (m_closing) // the close ended the fetch
        return;
    m_spaceWeather.update(body, ok);
    control<QPushButton>("spaceWeatherButton")->setText(m_spaceWeather.caption());
    if (!m_showBulletinWhenFetched)
        return;
    m_showBulletinWhenFetched = false;
    auto& dialogs = platform::DialogService::instance();
    if (m_spaceWeather.hasBulletin())
        dialogs.showMessage(platform::DialogService::Icon::None, QString(),
                            textOf(m_spaceWeather.bulletinCopy()));
    else
        dialogs.showMessage(platform::DialogService::Icon::None, QString(),
                            QStringLiteral("No WWV data available"));
}

void MainWindow::spaceWeatherClicked()
{
    m_showBulletinWhenFetched = true;
    fetchSpaceWeather();
}

void MainWindow::openRaynetSheet()
{
    const QString path = records::RaynetSheet::pathIn(m_state.stationDir);
    records::RaynetSheet::createIfMissing(path);
    platform::UrlOpener::instance().open(QUrl::fromLocalFile(path));
}

} // namespace app
