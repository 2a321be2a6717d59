#pragma once

#include <array>

namespace hf::modem {

/// The MFSK16 interleaver: 10 cascaded 4x4 diagonal stages over groups of 4 coded bits
/// (element 0 is the first, most significant bit). Per stage every row shifts one column to the
/// left, the new bits go into the last column (row i gets bit i) and the output is read from the
/// diagonal: t[i][3-i] when sending, t[i][i] when receiving. The pair delays every bit by
/// 30 groups end to end. `T` is a bit (int) or a soft value (float).
template <typename T> class MfskInterleaver {
public:
    explicit MfskInterleaver(bool transmit) : m_transmit(transmit) { reset(); }

    std::array<T, 4> process(std::array<T, 4> group)
    {
        for (auto& stage : m_table) {
            for (int i = 0; i < 4; ++i) {
                auto& row = stage[static_cast<std::size_t>(i)];
                row[0] = row[1];
                row[1] = row[2];
                row[2] = row[3];
                row[3] = group[static_cast<std::size_t>(i)];
            }
            for (int i = 0; i < 4; ++i) {
                const int column = m_transmit ? 3 - i : i;
                group[static_cast<std::size_t>(i)] =
                    stage[static_cast<std::size_t>(i)][static_cast<std::size_t>(column)];
            }
        }
        return group;
    }

    void reset()
    {
        for (auto& stage : m_table)
            for (auto& row : stage)
                row.fill(T{});
    }

private:
    static constexpr int kStages = 10;
    bool m_transmit;
    std::array<std::array<std::array<T, 4>, 4>, kStages> m_table{};
};

} // namespace hf::modem
