#pragma once
#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkReply;

namespace records {

/// Fetches the space-weather bulletin by HTTP GET without blocking or nesting the event loop.
/// Every fetch ends within the time-out (10 s at most); bodies larger than kMaxBodyBytes
/// and HTTP error statuses (404...) count as failures.
class SpaceWeatherFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTimeoutMs = 10000;
    /// A real bulletin is under 1 KiB.
    static constexpr qint64 kMaxBodyBytes = 256 * 1024;

    explicit SpaceWeatherFetcher(QObject* parent = nullptr);
    ~SpaceWeatherFetcher() override;

    /// https://services.swpc.noaa.gov/text/wwv.txt
    static QUrl defaultUrl();

    void setUrl(const QUrl& url) { m_url = url; }
    QUrl url() const { return m_url; }
    /// Whole-transfer time-out in ms, clamped to 1..kMaxTimeoutMs.
    void setTimeoutMs(int ms);
    int timeoutMs() const { return m_timeoutMs; }

    /// Starts a fetch; finished() follows once. Does nothing while one is running.
    void start();
    bool isRunning() const { return !m_reply.isNull(); }
    /// Ends a running fetch (at shutdown): finished(empty, false) follows.
    void abort();

signals:
    void finished(const QByteArray& body, bool ok);

private:
    QNetworkReply* launch();
    static QByteArray takeResult(QNetworkReply* reply, bool* ok);

    QNetworkAccessManager m_manager;
    QUrl m_url;
    int m_timeoutMs = kMaxTimeoutMs;
    QPointer<QNetworkReply> m_reply;
};

} // namespace records
