#include "hf/radio/audio_devices.h"

#include <portaudio.h>

namespace hf::radio {

AudioDeviceLists listAudioDevices()
{
    AudioDeviceLists lists;
    if (Pa_Initialize() != paNoError)
        return lists;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info || !info->name)
            continue;
        const QString name = QString::fromLocal8Bit(info->name);
        if (info->maxOutputChannels > 0)
            lists.outputs.append(name);
        if (info->maxInputChannels > 0)
            lists.inputs.append(name);
    }
    Pa_Terminate();
    return lists;
}

} // namespace hf::radio
