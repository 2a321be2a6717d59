#include "stored_choice.h"

#include "record_file.h"

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

} // namespace settings
