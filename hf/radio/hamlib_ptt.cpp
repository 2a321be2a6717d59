#include "hf/radio/hamlib_ptt.h"

#include <hamlib/rig.h>

#include <clocale>
#include <mutex>

namespace hf::radio {

namespace {

void setConf(RIG* rig, const char* name, const QByteArray& value)
{
    const token_t token = rig_token_lookup(rig, name);
    if (token != RIG_CONF_END)
        rig_set_conf(rig, token, value.constData());
}

} // namespace

HamlibPtt::HamlibPtt(int model, QString device, int speed)
    : m_model(model), m_device(std::move(device)), m_speed(speed)
{
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        rig_set_debug(RIG_DEBUG_NONE);
        // hamlib switches LC_NUMERIC to "C" around rig_open and back through the name
        // setlocale returned before the switch, which the switch has already freed unless the
        // name was "C". With "C" in force (hamlib's numbers want it anyway, and the program
        // formats its own numbers without the C locale) nothing is freed under it.
        std::setlocale(LC_NUMERIC, "C");
    });
}

HamlibPtt::~HamlibPtt()
{
    if (m_keyed)
        set(false);
    closeRig();
}

QString HamlibPtt::describe() const
{
    return QStringLiteral("PTT through hamlib (rig model %1, %2)")
        .arg(m_model)
        .arg(m_device.isEmpty() ? QStringLiteral("default device") : m_device);
}

bool HamlibPtt::openRig()
{
    if (m_rig != nullptr)
        return true;
    m_rig = rig_init(static_cast<rig_model_t>(m_model));
    if (m_rig == nullptr)
        return fail(describe() + QStringLiteral(": hamlib knows no such rig model"));
    if (!m_device.isEmpty())
        setConf(m_rig, "rig_pathname", m_device.toLocal8Bit());
    if (m_speed > 0)
        setConf(m_rig, "serial_speed", QByteArray::number(m_speed));
    setConf(m_rig, "timeout", QByteArray::number(kTimeoutMs));
    setConf(m_rig, "retry", "0");
    const int result = rig_open(m_rig);
    if (result != RIG_OK) {
        const QString reason = QString::fromLocal8Bit(rigerror2(result)).trimmed();
        closeRig();
        return fail(describe() + QStringLiteral(": the rig does not answer (%1)").arg(reason));
    }
    return true;
}

void HamlibPtt::closeRig()
{
    if (m_rig == nullptr)
        return;
    rig_close(m_rig);
    rig_cleanup(m_rig);
    m_rig = nullptr;
}

bool HamlibPtt::set(bool keyed)
{
    const bool wasKeyed = m_keyed;
    m_keyed = keyed;
    if (!keyed && !wasKeyed && m_rig == nullptr)
        return true;
    if (!openRig())
        return false;
    const int result = rig_set_ptt(m_rig, RIG_VFO_CURR, keyed ? RIG_PTT_ON : RIG_PTT_OFF);
    if (result != RIG_OK) {
        const QString reason = QString::fromLocal8Bit(rigerror2(result)).trimmed();
        closeRig(); // opened again at the next key-down
        return fail(describe() + QStringLiteral(": PTT cannot be set (%1)").arg(reason));
    }
    return true;
}

} // namespace hf::radio
