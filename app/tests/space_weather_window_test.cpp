#include "app/tests/window_fixture.h"

#include "tests/support/wait_until.h"

#include "hf/scripted_modem.h"

#include <QFile>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

namespace {
/// A loopback HTTP/1.0 server answering every request with one fixed response, or never.
class BulletinServer {
public:
    explicit BulletinServer(QByteArray response) : m_response(std::move(response))
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket* s = m_server.nextPendingConnection();
            ++m_requests;
            if (m_response.isNull())
                return; // never answers
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                if (!s->readAll().contains("\r\n\r\n"))
                    return;
                s->write(m_response);
                s->disconnectFromHost();
            });
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/text/wwv.txt").arg(m_server.serverPort()));
    }
    int requests() const { return m_requests; }

private:
    QTcpServer m_server;
    QByteArray m_response;
    int m_requests = 0;
};

QByteArray ok(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}
} // namespace

TEST_F(WindowTest, SpaceWeatherButtonShowsTheFiguresAndTheBulletin)
{
    QFile f(testsupport::testDataPath("wwv.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bulletin = f.readAll();
    BulletinServer server(ok(bulletin));
    spaceWeatherUrl = server.url();
    app::MainWindow& w = makeMain();
    auto* button = in<QPushButton>(w, "spaceWeatherButton");
    ASSERT_TRUE(testsupport::waitUntil([&] { return button->text().startsWith("Space Weather: SF:"); }))
        << button->text().toStdString();
    EXPECT_EQ(server.requests(), 1);
    button->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return dialogs.messages().size() == 1; }));
    EXPECT_EQ(server.requests(), 2) << "the click fetches again";
    EXPECT_EQ(dialogs.messages()[0].text, QString::fromLatin1(bulletin));

    // Every 30th minute tick fetches again, without showing the bulletin.
    for (int i = 0; i < 29; ++i)
        fire(*in<QTimer>(w, "minuteTimer"));
    testsupport::spinFor(20);
    EXPECT_EQ(server.requests(), 2);
    fire(*in<QTimer>(w, "minuteTimer"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requests() == 3; }));
    testsupport::spinFor(20);
    EXPECT_EQ(dialogs.messages().size(), 1);
}

TEST_F(WindowTest, SpaceWeatherFailuresSayNoData)
{
    BulletinServer notFound("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    spaceWeatherUrl = notFound.url();
    app::MainWindow& w = makeMain();
    auto* button = in<QPushButton>(w, "spaceWeatherButton");
    ASSERT_TRUE(testsupport::waitUntil([&] { return button->text() == "No WWV data available"; }));
    button->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return dialogs.messages().size() == 1; }));
    EXPECT_EQ(dialogs.messages()[0].text, "No WWV data available");
}

TEST_F(WindowTest, SlowSpaceWeatherServerDelaysNeitherLoadingNorTheStartUpBeacon)
{
    BulletinServer silent{QByteArray()}; // accepts and never answers
    spaceWeatherUrl = silent.url();
    state.noTnc = false;
    startupBeacon = true;
    app::MainWindow& w = makeMain();
    EXPECT_TRUE(w.beacons().scheduleTimer().isActive()) << "loading ran to its end while the fetch waits";
    EXPECT_EQ(in<QPushButton>(w, "spaceWeatherButton")->text(), "") << "no answer yet";
    auto* modem = qobject_cast<hf::ScriptedModem*>(w.modem());
    ASSERT_NE(modem, nullptr);
    EXPECT_TRUE(modem->queued().isEmpty()) << "the start-up beacon waits for its timer";
    ASSERT_TRUE(testsupport::waitUntil([&] { return !modem->queued().isEmpty(); }));
    EXPECT_TRUE(modem->queued()[0].contains(">APSK26")) << "a GMSK-250 beacon";
    EXPECT_EQ(silent.requests(), 1);

    w.close(); // during the fetch: it ends, and nothing is shown for it
    testsupport::spinFor(20);
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(in<QPushButton>(w, "spaceWeatherButton")->text(), "");
}

TEST_F(WindowTest, RaynetSheetIsCreatedAndOpenedAtStart)
{
    state.raynetEnabled = true;
    makeMain();
    EXPECT_TRUE(dir.exists("raynet.csv"));
    ASSERT_FALSE(opener.opened().isEmpty());
    EXPECT_EQ(opener.opened()[0].toLocalFile(), dir.file("raynet.csv"));
}
