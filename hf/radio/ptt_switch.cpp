#include "hf/radio/ptt_switch.h"

#include "hf/radio/cm108_ptt.h"
#include "hf/radio/hamlib_ptt.h"
#include "hf/radio/ptt_line.h"

namespace hf::radio {

bool PttSwitch::takeFirstFailure()
{
    if (!m_failed || m_failureReported)
        return false;
    m_failureReported = true;
    return true;
}

bool PttSwitch::fail(const QString& error)
{
    m_error = error;
    m_failed = true;
    return false;
}

void PttSwitch::clearFailure()
{
    m_error.clear();
    m_failed = false;
    m_failureReported = false;
}

std::unique_ptr<PttSwitch> makePttSwitch(const PttChoice& choice)
{
    switch (choice.kind) {
    case PttChoice::Kind::Hamlib:
        return std::make_unique<HamlibPtt>(choice.hamlibModel, choice.hamlibDevice, choice.hamlibSpeed);
    case PttChoice::Kind::Cm108:
        return std::make_unique<Cm108Ptt>(choice.cm108Device, choice.cm108Gpio);
    case PttChoice::Kind::SerialLines:
        break;
    }
    auto line = std::make_unique<PttLine>();
    line->configure(choice.serialDevice, choice.rts, choice.dtr);
    return line;
}

} // namespace hf::radio
