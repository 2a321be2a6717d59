#pragma once
// Header only: the targets that use it link the station and packet libraries, the shared
// test support does not.
#include "packet/kiss_codec.h"
#include "station/station_links.h"

#include <QTcpSocket>

namespace testsupport {

/// A KISS link over TCP to a KISS peer: the codec's frames go out on a socket.
class TcpKissTnc : public station::TncTransmitter {
public:
    explicit TcpKissTnc(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        m_socket.waitForConnected(3000);
    }
    void writeTnc(const QByteArray&) override {}
    void sendKissFrame(const QByteArray& destination, const QByteArray& source, const QByteArray& path,
                       const QByteArray& info) override
    {
        const packet::KissEncodeResult r = packet::Kiss::encode(destination, source, path, info);
        if (r.ok())
            m_socket.write(r.frame);
    }
    void clearMessageHeading() override {}
    bool isTextModeTnc() const override { return false; }

private:
    QTcpSocket m_socket;
};

} // namespace testsupport
