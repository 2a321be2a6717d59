#include "tests/support/nmea_sentence.h"

namespace testsupport {

QByteArray nmeaSentence(const QByteArray& body)
{
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    return '$' + body + '*' + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

} // namespace testsupport
