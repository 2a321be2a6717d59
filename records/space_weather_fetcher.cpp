#include "records/space_weather_fetcher.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace records {

SpaceWeatherFetcher::SpaceWeatherFetcher(QObject* parent) : QObject(parent), m_url(defaultUrl()) {}

SpaceWeatherFetcher::~SpaceWeatherFetcher()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl SpaceWeatherFetcher::defaultUrl()
{
    return QUrl(QStringLiteral("https://services.swpc.noaa.gov/text/wwv.txt"));
}

void SpaceWeatherFetcher::setTimeoutMs(int ms)
{
    m_timeoutMs = qBound(1, ms, kMaxTimeoutMs);
}

QNetworkReply* SpaceWeatherFetcher::launch()
{
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply = m_manager.get(request);

    // The transfer time-out only counts silence; this one bounds the whole transfer.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(m_timeoutMs);

    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxBodyBytes)
            reply->abort();
    });
    return reply;
}

QByteArray SpaceWeatherFetcher::takeResult(QNetworkReply* reply, bool* ok)
{
    bool good = reply->error() == QNetworkReply::NoError;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        good = good && code >= 200 && code < 300;
    }
    QByteArray body;
    if (good) {
        body = reply->read(kMaxBodyBytes + 1);
        if (body.size() > kMaxBodyBytes) {
            body.clear();
            good = false;
        }
    }
    if (ok)
        *ok = good;
    return body;
}

void SpaceWeatherFetcher::start()
{
    if (m_reply)
        return;
    QNetworkReply* reply = launch();
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        bool ok = false;
        const QByteArray body = takeResult(reply, &ok);
        if (m_reply == reply)
            m_reply.clear();
        reply->deleteLater();
        emit finished(body, ok);
    });
}

void SpaceWeatherFetcher::abort()
{
    if (m_reply)
        m_reply->abort();
}

} // namespace records
