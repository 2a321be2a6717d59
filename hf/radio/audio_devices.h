#pragma once
#include <QStringList>

namespace hf::radio {

/// Names of the sound devices, in the system's order. Both lists are empty on a machine
/// without a sound device (never an error).
struct AudioDeviceLists {
    QStringList outputs;
    QStringList inputs;
};

AudioDeviceLists listAudioDevices();

} // namespace hf::radio
