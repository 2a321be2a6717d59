#pragma once
#include <QString>

#include <optional>

namespace links {

/// How a TCP TNC button (`kissTcpButton` for KISS over TCP, `agwpeButton` for AGWPE) shows its
/// socket's state number (0..9) on each tick of its status timer.
struct TcpTncButton {
    QString caption;
    unsigned colour = 0;         ///< back colour, blue-green-red
    std::optional<bool> enabled; ///< set: enable/disable the button; unset: leave it
};

enum class TcpTnc { KissOverTcp, Agwpe };

/// The caption, colour and enabling for `state` (0..9; other values are shown as 0).
TcpTncButton tcpTncButton(TcpTnc which, int state);

} // namespace links
