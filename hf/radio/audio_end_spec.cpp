#include "audio_end_spec.h"

#include "paced_ends.h"
#include "sound_device_ends.h"
#include "udp_input.h"
#include "wav_ends.h"

namespace hf::radio
{

std::optional<AudioEndSpec> parseAudioEnd(const QString& text, bool input)
{
    AudioEndSpec spec;
    if (text == QLatin1String("null")) {
        spec.kind = AudioEndSpec::Kind::Null;
        return spec;
    }
    if (text.startsWith(QLatin1String("wav:")) && text.size() > 4) {
        spec.kind = AudioEndSpec::Kind::Wav;
        spec.path = text.mid(4);
        return spec;
    }
    if (input && text.startsWith(QLatin1String("udp:"))) {
        bool ok = false;
        const uint port = text.mid(4).toUInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return std::nullopt;
        spec.kind = AudioEndSpec::Kind::Udp;
        spec.port = static_cast<quint16>(port);
        return spec;
    }
    return std::nullopt;
}

InputFactory makeInputFactory(const AudioEndSpec& spec)
{
    switch (spec.kind) {
    case AudioEndSpec::Kind::Null:
        return [] { return std::make_unique<NullInput>(); };
    case AudioEndSpec::Kind::Wav:
        return [path = spec.path] { return std::make_unique<WavInput>(path); };
    case AudioEndSpec::Kind::Udp:
        return [port = spec.port] { return std::make_unique<UdpInput>(port); };
    case AudioEndSpec::Kind::SoundDevice:
        break;
    }
    return [] { return std::make_unique<SoundDeviceInput>(); };
}

OutputFactory makeOutputFactory(const AudioEndSpec& spec)
{
    switch (spec.kind) {
    case AudioEndSpec::Kind::Null:
        return [] { return std::make_unique<NullOutput>(); };
    case AudioEndSpec::Kind::Wav:
        return [path = spec.path] { return std::make_unique<WavOutput>(path); };
    case AudioEndSpec::Kind::Udp:
    case AudioEndSpec::Kind::SoundDevice:
        break;
    }
    return [] { return std::make_unique<SoundDeviceOutput>(); };
}

} // namespace hf::radio
