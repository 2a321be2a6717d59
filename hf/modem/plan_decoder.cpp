#include "hf/modem/plan_decoder.h"

#include "hf/modem/channel_plan.h"
#include "hf/modem/receiver.h"

#include <algorithm>
#include <cmath>

namespace hf::modem {

int tableSquelch(const ModeConfig& mode)
{
    switch (mode.modulation) {
    case Modulation::Bpsk:
    case Modulation::Gmsk:
        return mode.baud > 100.0 ? 1500 : 500;
    case Modulation::Qpsk:
        return 1000;
    case Modulation::Mfsk:
        return 500;
    }
    return 1000;
}

std::string channelModeString(const ModeConfig& mode)
{
    switch (mode.modulation) {
    case Modulation::Bpsk:
        return "bpsk";
    case Modulation::Qpsk:
        return mode.reversed ? "qpsk-L" : "qpsk-U";
    case Modulation::Mfsk:
        return mode.reversed ? "mfsk-L" : "mfsk-U";
    case Modulation::Gmsk:
        return "GMSK";
    }
    return "bpsk";
}

std::vector<std::string> decodeWithPlan(const std::vector<float>& samples, double sampleRate,
                                        double hfAudioFrequency, std::optional<ModeConfig> channel0,
                                        std::optional<int> squelch)
{
    Receiver receiver(sampleRate);
    applyChannelPlan(receiver, std::nearbyint(hfAudioFrequency));
    if (channel0) {
        receiver.setMode(0, channelModeString(*channel0), channel0->baud);
        receiver.setSquelch(0, tableSquelch(*channel0));
    }
    if (squelch)
        for (int ch = 0; ch < Receiver::kChannels; ++ch)
            receiver.setSquelch(ch, *squelch);
    std::vector<std::string> texts(Receiver::kChannels);
    auto feed = [&](const float* data, std::size_t count) {
        constexpr std::size_t kBlock = 1024;
        for (std::size_t i = 0; i < count; i += kBlock) {
            receiver.process(data + i, std::min(kBlock, count - i));
            for (int ch = 0; ch < Receiver::kChannels; ++ch)
                texts[static_cast<std::size_t>(ch)] += receiver.takeText(ch);
        }
    };
    feed(samples.data(), samples.size());
    const std::vector<float> tail(static_cast<std::size_t>(sampleRate), 0.0f);
    feed(tail.data(), tail.size());
    return texts;
}

} // namespace hf::modem
