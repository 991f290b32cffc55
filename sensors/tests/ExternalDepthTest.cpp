#include "sensors/ExternalDepth.h"

#include <gtest/gtest.h>

namespace {

TEST(ExternalDepth, ReplayPrefixIsNotPartOfTheName)
{
    CExternalDepth d;
    EXPECT_EQ(d.SetSourceName(0, "Replay T38"), 1);
    std::string name;
    d.GetSource(0, name);
    EXPECT_EQ(name, "T38");
    EXPECT_EQ(d.SetDepthByName("Replay T38", 41.5), 1);
    EXPECT_DOUBLE_EQ(d.GetSource(0, name), 41.5);
}

TEST(ExternalDepth, OnlyEightNamesAndOnlyValidNumbers)
{
    CExternalDepth d;
    for (int i = 0; i < 8; ++i)
        d.SetSourceName(i, "S" + std::to_string(i));
    EXPECT_EQ(d.SetSourceName(8, "S8"), 0);
    EXPECT_EQ(d.SetSourceName(-1, "S8"), 0);
    EXPECT_EQ(d.SetDepthByName("S8", 1.0), 0);
    EXPECT_EQ(d.SetSource("S8", 1.0, 1, 1, 1, 1), 0);
    double depth = -1;
    EXPECT_FALSE(d.GetSourceDepth("S8", depth));
    EXPECT_EQ(depth, -1);
    std::string name = "kept";
    EXPECT_EQ(d.GetSource(8, name), 0.0);
    EXPECT_EQ(d.GetSourceDepth(-3, name), 0.0);
    EXPECT_EQ(name, "kept");
    // A free slot is no source named "".
    CExternalDepth empty;
    EXPECT_EQ(empty.SetDepthByName("", 3.0), 0);
}

TEST(ExternalDepth, GeoIsNeverRefreshedFromAChannel)
{
    CExternalDepth d;
    int asked = 0;
    d.channelDepth = [&](int, double& v) {
        ++asked;
        v = 99.0;
        return true;
    };
    d.SetSourceName(0, "Geo");
    d.SetSourceName(1, "T200");
    d.SetDepthByName("Geo", 12.0);
    std::string name;
    EXPECT_DOUBLE_EQ(d.GetSourceDepth(0, name), 12.0);
    EXPECT_EQ(asked, 0);
    EXPECT_DOUBLE_EQ(d.GetSourceDepth(1, name), 99.0);
    EXPECT_EQ(name, "T200");
}

TEST(ExternalDepth, InvalidSourceCopiesOutButAnswersFalse)
{
    CExternalDepth d;
    d.SetSourceName(2, "T70");
    EXPECT_EQ(d.SetSource("T70", 8.5, 1, 0, 2, 3), 1);
    double depth = 0;
    std::int32_t a = 0, v = 9, b = 0, c = 0;
    EXPECT_FALSE(d.GetSource("T70", depth, a, v, b, c));
    EXPECT_DOUBLE_EQ(depth, 8.5);
    EXPECT_EQ(a + b + c, 6);
    d.SetSource("T70", 8.5, 1, 1, 2, 3);
    EXPECT_TRUE(d.GetSourceDepth("T70", depth));
    std::uint32_t block[CExternalDepth::kBlockWords] = {};
    block[999] = 7;
    EXPECT_EQ(d.SetSourceBlock("T70", block), 1);
    CExternalDepth::SourceEntry e;
    ASSERT_TRUE(d.FindSource("T70", e));
    EXPECT_EQ(e.block[999], 7u);
}

}  // namespace
