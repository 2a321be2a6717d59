#include "records/space_weather.h"
#include "records/space_weather_fetcher.h"

#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

using namespace records;

namespace {

/// A loopback HTTP/1.0 server answering every request with one canned response, or never
/// answering at all.
class LoopbackHttpServer : public QObject {
public:
    enum class Mode { Answer, Silent };

    LoopbackHttpServer(Mode mode, QByteArray response) : m_mode(mode), m_response(response)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onRead(s); });
            }
        });
    }

    static QByteArray response(const char* status, const QByteArray& body)
    {
        return QByteArray("HTTP/1.0 ") + status +
               "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\n\r\n" + body;
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/text/wwv.txt").arg(m_server.serverPort()));
    }
    QByteArray request() const { return m_request; }

private:
    void onRead(QTcpSocket* s)
    {
        m_request += s->readAll();
        if (m_mode == Mode::Silent || !m_request.contains("\r\n\r\n"))
            return;
        s->write(m_response);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    Mode m_mode;
    QByteArray m_response;
    QByteArray m_request;
};

QByteArray realBulletin()
{
    QFile f(testsupport::testDataPath("wwv.txt"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct FetchCase {
    const char* name;
    LoopbackHttpServer::Mode mode;
    QByteArray response;
    bool ok;
    QByteArray body;
    QString caption;
};

std::vector<FetchCase> fetchCases()
{
    using M = LoopbackHttpServer::Mode;
    const QByteArray real = realBulletin();
    const QString none = QString::fromLatin1(kNoWwvData);
    return {
        {"real bulletin", M::Answer, LoopbackHttpServer::response("200 OK", real), true, real,
         QStringLiteral("Space Weather: SF:132  A:5  K: 2")},
        {"empty document", M::Answer, LoopbackHttpServer::response("200 OK", ""), true, "", none},
        {"no Solar flux", M::Answer, LoopbackHttpServer::response("200 OK", "Maintenance\r\n"), true,
         "Maintenance\r\n", none},
        {"404", M::Answer, LoopbackHttpServer::response("404 Not Found", real), false, "", none},
        {"never answers", M::Silent, QByteArray(), false, "", none},
    };
}

} // namespace

TEST(SpaceWeatherFetcher, DefaultsToThePublicServiceWithTenSecondLimit)
{
    SpaceWeatherFetcher fetcher;
    EXPECT_EQ(fetcher.url().toString(), QStringLiteral("https://services.swpc.noaa.gov/text/wwv.txt"));
    EXPECT_EQ(fetcher.timeoutMs(), 10000);
    fetcher.setTimeoutMs(60000);
    EXPECT_EQ(fetcher.timeoutMs(), 10000);
    fetcher.setTimeoutMs(0);
    EXPECT_EQ(fetcher.timeoutMs(), 1);
}

TEST(SpaceWeatherFetcher, AsynchronousFetchSignalsOnce)
{
    for (const auto& c : fetchCases()) {
        LoopbackHttpServer server(c.mode, c.response);
        SpaceWeatherFetcher fetcher;
        fetcher.setUrl(server.url());
        fetcher.setTimeoutMs(300);
        QSignalSpy spy(&fetcher, &SpaceWeatherFetcher::finished);
        fetcher.start();
        EXPECT_TRUE(fetcher.isRunning());
        fetcher.start(); // ignored while running
        ASSERT_TRUE(testsupport::waitUntil([&] { return spy.count() > 0; }, 5000)) << c.name;
        testsupport::spinFor(20);
        ASSERT_EQ(spy.count(), 1) << c.name;
        EXPECT_EQ(spy[0][0].toByteArray(), c.body) << c.name;
        EXPECT_EQ(spy[0][1].toBool(), c.ok) << c.name;
        EXPECT_FALSE(fetcher.isRunning());
        EXPECT_TRUE(server.request().startsWith("GET /text/wwv.txt HTTP/1.1\r\n")) << c.name;

        SpaceWeatherReport report;
        report.update(spy[0][0].toByteArray(), spy[0][1].toBool());
        EXPECT_EQ(report.caption(), c.caption) << c.name;
    }
}

TEST(SpaceWeatherFetcher, AbortEndsARunningFetch)
{
    LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent, {});
    SpaceWeatherFetcher fetcher;
    fetcher.setUrl(server.url());
    QSignalSpy spy(&fetcher, &SpaceWeatherFetcher::finished);
    fetcher.start();
    fetcher.abort();
    ASSERT_TRUE(testsupport::waitUntil([&] { return spy.count() > 0; }, 5000));
    EXPECT_FALSE(spy[0][1].toBool());
}

TEST(SpaceWeatherFetcher, OversizedBodyIsAFailure)
{
    const QByteArray big(SpaceWeatherFetcher::kMaxBodyBytes + 10, 'x');
    LoopbackHttpServer server(LoopbackHttpServer::Mode::Answer,
                              LoopbackHttpServer::response("200 OK", "Solar flux " + big));
    SpaceWeatherFetcher fetcher;
    fetcher.setUrl(server.url());
    QSignalSpy spy(&fetcher, &SpaceWeatherFetcher::finished);
    fetcher.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return spy.count() > 0; }, 5000));
    EXPECT_TRUE(spy[0][0].toByteArray().isEmpty());
    EXPECT_FALSE(spy[0][1].toBool());
}
