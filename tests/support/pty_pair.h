#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <memory>

namespace testsupport {

/// A pseudo-terminal pair made by socat: the program under test opens programEnd(),
/// the test plays the device on the peer end (write() / readAll()).
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isReady() const { return m_ready; }
    QString programEnd() const { return m_programEnd; }
    QString peerEnd() const { return m_peerEnd; }

    /// Writes bytes into the peer end (they arrive at the program end).
    bool write(const QByteArray& bytes);
    /// Reads what the program wrote so far (non-blocking).
    QByteArray readAvailable();
    /// Ends socat: both ends disappear, as when a USB adapter is unplugged.
    void kill();
    /// Starts a new socat with the same link names (the device comes back).
    bool restart();

private:
    bool start();
    void closePeer();

    std::unique_ptr<QProcess> m_socat;
    QString m_dir;
    QString m_programEnd;
    QString m_peerEnd;
    int m_peerFd = -1;
    bool m_ready = false;
};

} // namespace testsupport
