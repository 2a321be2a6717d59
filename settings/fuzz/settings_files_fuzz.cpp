// Settings files are read from disk at every start: any content must read back safely.
#include "settings/device_settings.h"
#include "settings/record_file.h"
#include "settings/value_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)settings::firstField(bytes);
    settings::RecordFile records = settings::RecordFile::fromBytes(bytes);
    for (int n = 1; n <= 100; ++n)
        (void)records.record(n);
    records.setRecord(84, bytes.left(200));
    // The devices file reads back to what it holds once written.
    const settings::DeviceSettings devices = settings::parseDeviceSettings(bytes);
    if (settings::parseDeviceSettings(settings::formatDeviceSettings(devices)) != devices)
        __builtin_trap();
    return 0;
}
