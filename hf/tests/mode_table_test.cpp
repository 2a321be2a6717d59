#include "hf/mode_table.h"

#include <gtest/gtest.h>

using station::TransmitMode;

namespace {

struct SelectionRow {
    TransmitMode mode;
    bool lsb;
    const char* modemMode;
    double rate;
    int squelch; // -1: unchanged
    const char* tocall;
};

TEST(ModeTable, SelectingAnOptionWritesChannelZeroAndNamesItsTocall)
{
    const SelectionRow rows[] = {
        {TransmitMode::Psk63, false, "BPSK", 62.5, 500, "APSK63"},
        {TransmitMode::Psk250, false, "BPSK", 250, 1500, "APSK25"},
        {TransmitMode::Qpsk125, false, "qpsk-U", 125, 1000, "APSK14"},
        {TransmitMode::Qpsk250, false, "qpsk-U", 250, -1, "APSK27"},
        {TransmitMode::Mfsk16, false, "mfsk-U", 15.625, 500, "APSK16"},
        {TransmitMode::Mfsk16, true, "mfsk-L", 15.625, 500, "APSK16"},
        {TransmitMode::Gmsk63, false, "GMSK", 63, 500, "APSK64"},
        {TransmitMode::Gmsk250, false, "GMSK", 250, 1500, "APSK26"},
        {TransmitMode::Ax25Psk63, false, "BPSK", 62.5, 500, "APSK63"},
        {TransmitMode::Ax25Mfsk, true, "mfsk-L", 15.625, 1000, "APSK16"},
        {TransmitMode::Ax25Gmsk, false, "GMSK", 250, 500, "APSK26"},
    };
    for (const SelectionRow& r : rows) {
        const auto s = hf::selectionSetting(r.mode, r.lsb);
        ASSERT_TRUE(s) << r.tocall;
        EXPECT_EQ(s->mode, r.modemMode);
        EXPECT_EQ(s->rate, r.rate);
        EXPECT_EQ(s->squelch.value_or(-1), r.squelch) << r.modemMode << r.rate;
        EXPECT_EQ(s->tocall, r.tocall);
    }
    for (TransmitMode m : {TransmitMode::Tnc, TransmitMode::Ax25, TransmitMode::AprsIs}) {
        EXPECT_FALSE(hf::selectionSetting(m, false));
        EXPECT_FALSE(hf::sendSetting(m, false));
    }
}

TEST(ModeTable, SendSettingsDifferOnlyForGmsk63AndTheAx25Twins)
{
    EXPECT_EQ(hf::sendSetting(TransmitMode::Gmsk63, false)->rate, 62.5);
    EXPECT_EQ(hf::sendSetting(TransmitMode::Ax25Psk63, false)->mode, "BPSK");
    EXPECT_EQ(hf::sendSetting(TransmitMode::Ax25Gmsk, false)->tocall, "APSK26");
    EXPECT_EQ(hf::sendSetting(TransmitMode::Ax25Mfsk, true)->mode, "mfsk-L");
}

TEST(ModeTable, ChannelAndCarrierPlans)
{
    EXPECT_EQ(hf::channelPlan(0).mode, "");
    EXPECT_EQ(hf::channelPlan(0).squelch, 600);
    EXPECT_EQ(hf::channelPlan(1).mode, "bpsk");
    EXPECT_EQ(hf::channelPlan(3).rate, 62.5);
    EXPECT_EQ(hf::channelPlan(10).mode, "mfsk-U");
    EXPECT_EQ(hf::channelPlan(14).mode, "GMSK");
    EXPECT_EQ(hf::channelPlan(23).squelch, 1000);
    EXPECT_EQ(hf::channelPlan(24).mode, "bpsk");
    EXPECT_EQ(hf::carrierPlan(21).offsetHz, 75);
    EXPECT_EQ(hf::carrierPlan(22).offsetHz, 75);
    EXPECT_EQ(hf::carrierPlan(22).rule, hf::CarrierRule::Reparked);
    EXPECT_EQ(hf::carrierPlan(23).rule, hf::CarrierRule::Always);
    EXPECT_EQ(hf::carrierPlan(10).rule, hf::CarrierRule::FollowsOne);
    EXPECT_EQ(hf::squelchOffset(24), 0);
    EXPECT_EQ(hf::squelchOffset(23), 1300);
    EXPECT_EQ(hf::squelchOffset(13), 750);
}

TEST(ModeTable, RoundingHalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(hf::roundHalfEven(2100.5), 2100);
    EXPECT_EQ(hf::roundHalfEven(2101.5), 2102);
    EXPECT_EQ(hf::roundHalfEven(2100.49), 2100);
    EXPECT_EQ(hf::roundHalfEven(-0.5), 0);
    EXPECT_EQ(hf::roundHalfEven(1e300), std::numeric_limits<int>::max());
}

} // namespace
