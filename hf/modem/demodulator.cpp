#include "hf/modem/demodulator.h"

namespace hf::modem {

Demodulator::Demodulator(double sampleRate, ModeConfig mode, double carrier, int squelch)
    : m_frontEnd(sampleRate), m_channel(m_frontEnd.workRate(), FrontEnd::centre(), mode, carrier)
{
    m_channel.setSquelch(squelch);
}

void Demodulator::process(const float* samples, std::size_t count, std::string& out)
{
    m_work.clear();
    m_frontEnd.process(samples, count, m_work);
    m_channel.process(m_work.data(), m_work.size(), out);
}

void Demodulator::reset()
{
    m_frontEnd.reset();
    m_channel.reset();
}

} // namespace hf::modem
