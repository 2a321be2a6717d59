#pragma once

#include "hf/modem/channel_demodulator.h"
#include "hf/modem/front_end.h"

#include <string>
#include <vector>

namespace hf::modem {

/// A single receive channel on real audio: its own front end plus one ChannelDemodulator.
/// For many channels on the same audio use Receiver, which shares the front end.
class Demodulator {
public:
    /// `sampleRate` 8000..192000 Hz; `carrier` in Hz. Throws std::invalid_argument.
    Demodulator(double sampleRate, ModeConfig mode, double carrier, int squelch = 0);

    /// Feeds audio (-1..+1); appends decoded characters to `out`.
    void process(const float* samples, std::size_t count, std::string& out);
    void reset();

    ChannelDemodulator& channel() { return m_channel; }
    const ChannelDemodulator& channel() const { return m_channel; }

private:
    FrontEnd m_frontEnd;
    ChannelDemodulator m_channel;
    std::vector<Complex> m_work;
};

} // namespace hf::modem
