#pragma once

// The audio ends chosen on the command line: "udp:PORT" (input only), "wav:FILE", "null";
// nothing chosen means the sound devices of the station's settings.

#include "hf/radio/audio_end.h"

#include <QString>

#include <optional>

namespace hf::radio {

struct AudioEndChoice {
    enum class Kind { SoundDevice, Null, Wav, Udp };
    Kind kind = Kind::SoundDevice;
    QString path;     ///< Wav
    quint16 port = 0; ///< Udp, 1..65535
};

/// Parses an --audio-in (input true) or --audio-out value; nothing when it is not understood
/// (an unknown kind, an empty file name, a port out of range, UDP as an output).
std::optional<AudioEndChoice> parseAudioEnd(const QString& text, bool input);

InputFactory makeInputFactory(const AudioEndChoice& choice);
OutputFactory makeOutputFactory(const AudioEndChoice& choice);

} // namespace hf::radio
