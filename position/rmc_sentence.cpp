#include "position/rmc_sentence.h"

#include <QList>

namespace position {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool nmeaChecksumValid(const QByteArray& sentence)
{
    const qsizetype n = sentence.size();
    if (n < 4 || sentence[0] != '$' || sentence[n - 3] != '*')
        return false;
    const int high = hexValue(sentence[n - 2]);
    const int low = hexValue(sentence[n - 1]);
    if (high < 0 || low < 0)
        return false;
    unsigned sum = 0;
    for (qsizetype i = 1; i < n - 3; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    return sum == static_cast<unsigned>(high * 16 + low);
}

std::optional<RmcSentence> parseRmc(const QByteArray& sentence)
{
    if (!sentence.startsWith("$GPRMC,") && !sentence.startsWith("$GNRMC,"))
        return std::nullopt;
    if (!nmeaChecksumValid(sentence))
        return std::nullopt;
    // Fields: 0 name, 1 time, 2 status, 3 latitude, 4 N/S, 5 longitude, 6 E/W, ...
    const QList<QByteArray> fields = sentence.left(sentence.size() - 3).split(',');
    if (fields.size() < 7)
        return std::nullopt;
    RmcSentence rmc;
    rmc.text = sentence;
    rmc.status = fields[2].isEmpty() ? char(0) : fields[2][0];
    rmc.latitude = fields[3];
    rmc.northSouth = fields[4];
    rmc.longitude = fields[5];
    rmc.eastWest = fields[6];
    return rmc;
}

} // namespace position
