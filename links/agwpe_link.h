#pragma once
#include "links/tcp_tnc_link.h"
#include "packet/agwpe_deframer.h"

namespace links {

class TncLineHandler;

/// Monitoring through an AGWPE-protocol TNC program (`agwpeSocket`, button `agwpeButton`). On
/// each connection one 'm' request switches monitoring on (the request toggles, and one
/// covers every radio port); each monitored UI packet becomes a line for the TNC line
/// handler. Frames are cut by their data-length field, so several frames in one read, or
/// one frame over several reads, are handled alike. Its timers: `agwpeStatusTimer` and
/// `agwpeReconnectTimer`.
class AgwpeLink : public TcpTncLink {
    Q_OBJECT
public:
    /// The peer is 127.0.0.1:8000 unless changed.
    explicit AgwpeLink(TncLineHandler& lines, QObject* parent = nullptr);

    /// Frames of any kind received on this connection (replies to requests included).
    int framesReceived() const { return m_frames; }

private:
    void startingConnection() override;
    void connectionAccepted() override { m_deframer.reset(); }
    void listeningAgain() override { m_deframer.reset(); }
    void onData();

    TncLineHandler& m_lines;
    packet::AgwpeDeframer m_deframer;
    int m_frames = 0;
};

} // namespace links
