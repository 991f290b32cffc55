// The text of "Print dB Ping to file": its three line forms, a sample line's
// range and level, and a channel without samples.
#include "sounder/DbPingText.h"

#include "engine/RawPower.h"
#include "platform/NumberText.h"

#include <gtest/gtest.h>

namespace {

TEST(DbPingTextTest, ABlockOfRateSamplesAndEnd)
{
    CChannel::ParameterCopy copy;
    copy.Parameters.SampleInterval = 1.0 / 12500.0;
    copy.Parameters.SampleDistance = 0.06;
    copy.Power = {rawpower::DbToRaw(-20.0), rawpower::DbToRaw(-35.5), rawpower::DbToRaw(0.0)};
    const std::string expected = "CH2\tSAmplerate:\t12500.000000\t\t\n" +
                                 CNumberText::Format("CH2\t0.000000\t%f\t\t\n", rawpower::RawToDb(copy.Power[0])) +
                                 CNumberText::Format("CH2\t0.060000\t%f\t\t\n", rawpower::RawToDb(copy.Power[1])) +
                                 CNumberText::Format("CH2\t0.120000\t%f\t\t\n", rawpower::RawToDb(copy.Power[2])) +
                                 "CH2\t\t\t\t\n";
    EXPECT_EQ(DbPingText(2, copy), expected);
    EXPECT_NEAR(rawpower::RawToDb(copy.Power[1]), -35.5, 0.02);

    // No ping yet: the rate and the end, nothing between; no division by a
    // zero sample interval.
    CChannel::ParameterCopy empty;
    empty.Parameters.SampleInterval = 0.0;
    EXPECT_EQ(DbPingText(1, empty), "CH1\tSAmplerate:\t0.000000\t\t\nCH1\t\t\t\t\n");
}

}  // namespace
