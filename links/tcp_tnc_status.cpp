#include "station/status_colours.h"
#include "links/tcp_tnc_status.h"

namespace links {

namespace {
using namespace station::colours;

struct Row {
    const char* kiss;
    const char* agwpe;
    unsigned colour;
};

constexpr Row Rows[10] = {
    {"Connect to Ferrox SoundModem by KISS over port 4000 for AX.25", "Connect to Ferrox/AGWPE TNC",
     LightGrey},
    {"Ferrox SoundModem Open", "Ferrox/AGWPE Open", Yellow},
    {"Listening for Ferrox SoundModem", "Listening for Ferrox/AGWPE", Yellow},
    {"Connection Pending", "Connection Pending", Yellow},
    {"Resolving Host", "Resolving Host", Yellow},
    {"Host Resolved", "Host Resolved", Yellow},
    {"Connecting", "Connecting", Yellow},
    {"Connected to Ferrox SoundModem via KISS on port 4000", "Connected to Ferrox/AGWPE", Green},
    {"Closing", "Closing", Yellow},
    {"Connection lost", "Connection lost", Red},
};
} // namespace

TcpTncButton tcpTncButton(TcpTnc which, int state)
{
    if (state < 0 || state > 9)
        state = 0;
    const Row& r = Rows[state];
    TcpTncButton b;
    b.caption = QString::fromLatin1(which == TcpTnc::KissOverTcp ? r.kiss : r.agwpe);
    b.colour = r.colour;
    if (state == 0)
        b.enabled = true;
    else if (state == 9)
        b.enabled = false;
    return b;
}

} // namespace links
