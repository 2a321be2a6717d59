#pragma once

// PTT through a rig's CAT interface with hamlib: any rig model hamlib knows, on a serial
// device, or a rig server at host:port ("NET rigctl", model 2) or FLRig (model 4). The rig is
// opened at the first key-down and kept open; when it stops answering it is closed and opened
// again at the next key-down.

#include "hf/radio/ptt_switch.h"

struct s_rig;

namespace hf::radio {

class HamlibPtt final : public PttSwitch {
public:
    /// Short waits: the modem's thread keys the rig, and a dead rig must not hold it long.
    static constexpr int kTimeoutMs = 400;

    HamlibPtt(int model, QString device, int speed);
    ~HamlibPtt() override;
    bool set(bool keyed) override;

private:
    bool openRig();
    void closeRig();
    QString describe() const;

    int m_model;
    QString m_device;
    int m_speed;
    s_rig* m_rig = nullptr;
};

} // namespace hf::radio
