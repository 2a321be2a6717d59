#include "position/gps_input.h"

namespace position {

bool GpsInput::feed(const QByteArray& bytes)
{
    bool fresh = false;
    for (const QByteArray& sentence : m_reader.feed(bytes)) {
        if (auto rmc = parseRmc(sentence)) {
            m_latest = std::move(rmc);
            fresh = true;
        }
    }
    return fresh;
}

void GpsInput::reset()
{
    m_reader.reset();
    m_latest.reset();
}

} // namespace position
