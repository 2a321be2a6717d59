#include "settings/stored_choice.h"

#include "settings/record_file.h"

namespace settings {

void StoredChoice::read(const QByteArray& text, int optionValue)
{
    if (RecordFile::holdsOne(text)) {
        value = optionValue;
        clearedAfter = false;
    }
    if (RecordFile::holdsZero(text) && value == optionValue)
        clearedAfter = true;
}

void readFlag(const QByteArray& text, std::optional<bool>& flag)
{
    if (RecordFile::holdsOne(text))
        flag = true;
    if (RecordFile::holdsZero(text))
        flag = false;
}

} // namespace settings
