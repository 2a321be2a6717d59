#include "hf/radio/audio_end_choice.h"

#include "hf/radio/paced_ends.h"
#include "hf/radio/sound_device_ends.h"
#include "hf/radio/udp_input.h"
#include "hf/radio/wav_ends.h"

namespace hf::radio {

std::optional<AudioEndChoice> parseAudioEnd(const QString& text, bool input)
{
    AudioEndChoice choice;
    if (text == QLatin1String("null")) {
        choice.kind = AudioEndChoice::Kind::Null;
        return choice;
    }
    if (text.startsWith(QLatin1String("wav:")) && text.size() > 4) {
        choice.kind = AudioEndChoice::Kind::Wav;
        choice.path = text.mid(4);
        return choice;
    }
    if (input && text.startsWith(QLatin1String("udp:"))) {
        bool ok = false;
        const uint port = text.mid(4).toUInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return std::nullopt;
        choice.kind = AudioEndChoice::Kind::Udp;
        choice.port = static_cast<quint16>(port);
        return choice;
    }
    return std::nullopt;
}

InputFactory makeInputFactory(const AudioEndChoice& choice)
{
    switch (choice.kind) {
    case AudioEndChoice::Kind::Null:
        return [] { return std::make_unique<NullInput>(); };
    case AudioEndChoice::Kind::Wav:
        return [path = choice.path] { return std::make_unique<WavInput>(path); };
    case AudioEndChoice::Kind::Udp:
        return [port = choice.port] { return std::make_unique<UdpInput>(port); };
    case AudioEndChoice::Kind::SoundDevice:
        break;
    }
    return [] { return std::make_unique<SoundDeviceInput>(); };
}

OutputFactory makeOutputFactory(const AudioEndChoice& choice)
{
    switch (choice.kind) {
    case AudioEndChoice::Kind::Null:
        return [] { return std::make_unique<NullOutput>(); };
    case AudioEndChoice::Kind::Wav:
        return [path = choice.path] { return std::make_unique<WavOutput>(path); };
    case AudioEndChoice::Kind::Udp:
    case AudioEndChoice::Kind::SoundDevice:
        break;
    }
    return [] { return std::make_unique<SoundDeviceOutput>(); };
}

} // namespace hf::radio
