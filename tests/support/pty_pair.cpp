#include "tests/support/pty_pair.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace testsupport {

PtyPair::PtyPair()
{
    m_dir = QDir::tempPath() + "/skylark-pty-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    QDir().mkpath(m_dir);
    m_programEnd = m_dir + "/program";
    m_peerEnd = m_dir + "/peer";
    m_ready = start();
}

PtyPair::~PtyPair()
{
    kill();
    QDir(m_dir).removeRecursively();
}

bool PtyPair::start()
{
    m_socat = std::make_unique<QProcess>();
    m_socat->setProgram("socat");
    m_socat->setArguments({"pty,raw,echo=0,link=" + m_programEnd, "pty,raw,echo=0,link=" + m_peerEnd});
    m_socat->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat->start();
    if (!m_socat->waitForStarted(5000))
        return false;
    for (int i = 0; i < 500; ++i) {
        if (QFileInfo::exists(m_programEnd) && QFileInfo::exists(m_peerEnd))
            break;
        QThread::msleep(10);
    }
    m_peerFd = ::open(m_peerEnd.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    return m_peerFd >= 0;
}

void PtyPair::closePeer()
{
    if (m_peerFd >= 0)
        ::close(m_peerFd);
    m_peerFd = -1;
}

bool PtyPair::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (m_peerFd >= 0 && done < bytes.size()) {
        ssize_t n = ::write(m_peerFd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EAGAIN) {
            QThread::msleep(1);
            continue;
        }
        if (n <= 0)
            return false;
        done += n;
    }
    return done == bytes.size();
}

QByteArray PtyPair::readAvailable()
{
    QByteArray out;
    char buf[4096];
    while (m_peerFd >= 0) {
        ssize_t n = ::read(m_peerFd, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

void PtyPair::kill()
{
    closePeer();
    if (m_socat && m_socat->state() != QProcess::NotRunning) {
        m_socat->terminate();
        if (!m_socat->waitForFinished(3000)) {
            m_socat->kill();
            m_socat->waitForFinished(3000);
        }
    }
    m_ready = false;
}

bool PtyPair::restart()
{
    kill();
    m_ready = start();
    return m_ready;
}

} // namespace testsupport
