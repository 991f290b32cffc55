#include "app/SounderModel.h"

#include <gtest/gtest.h>

using namespace app;

namespace {

struct ExeCase
{
    const char* argv0;
    const char* name;
    std::optional<SounderModel> model;
};

class ExecutableNameTest : public ::testing::TestWithParam<ExeCase>
{};

TEST_P(ExecutableNameTest, SelectsTheModelByUpperCaseBaseName)
{
    const auto& c = GetParam();
    const std::string name = ExecutableModelName(c.argv0);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(ModelFromExecutableName(name), c.model);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExecutableNameTest,
    ::testing::Values(ExeCase{"/opt/zelvar/qy310", "QY310", SounderModel::QY310},  // lower case selects QY310
                      ExeCase{"qy310.exe", "QY310", SounderModel::QY310},          // an extension goes
                      ExeCase{"./bin/QY210", "QY210", SounderModel::QY210}, ExeCase{"RM30", "RM30", SounderModel::RM30},
                      ExeCase{"/x/tq30", "TQ30", SounderModel::TQ30}, ExeCase{"QYNVU", "QYNVU", SounderModel::QYNVU},
                      ExeCase{"/usr/bin/Pelmaris", "PELMARIS", std::nullopt},  // generic: read SounderName
                      ExeCase{"QY3100", "QY3100", std::nullopt},               // no blind cut of four characters
                      ExeCase{"/a.b/QY310", "QY310", SounderModel::QY310},     // a dot in a folder is no extension
                      ExeCase{"TOTAL", "TOTAL", std::nullopt},                 // TOTAL has no executable name
                      ExeCase{"Ostrival", "OSTRIVAL", std::nullopt}));

TEST(SounderNameTest, AcceptsEveryModelAndTotalInAnyCase)
{
    EXPECT_EQ(ModelFromSounderName("total"), SounderModel::TOTAL);
    EXPECT_EQ(ModelFromSounderName("qynvu"), SounderModel::QYNVU);
    EXPECT_EQ(ModelFromSounderName("Rm30"), SounderModel::RM30);
    EXPECT_EQ(ModelFromSounderName("QY210"), SounderModel::QY210);
    EXPECT_FALSE(ModelFromSounderName("QY999"));
    EXPECT_FALSE(ModelFromSounderName(""));
}

TEST(SounderModelTest, TableRowsMatchTheirModels)
{
    EXPECT_EQ(ModelInfo(SounderModel::RM30).mainMenu, IDR_MENU_RM30);
    EXPECT_EQ(ModelInfo(SounderModel::TQ30).mainMenu, IDR_MENU_TQ30);
    EXPECT_EQ(ModelInfo(SounderModel::TOTAL).mainMenu, IDR_MENU_TOTAL);
    EXPECT_EQ(ModelInfo(SounderModel::QYNVU).mainMenu, IDR_MENU_QY);
    EXPECT_EQ(ModelInfo(SounderModel::QY210).channelMenu, 253u);
    EXPECT_EQ(ModelInfo(SounderModel::QYNVU).channelMenu, 252u);
    EXPECT_EQ(ModelInfo(SounderModel::TQ30).channelMenu, 0u);
    EXPECT_EQ(ModelInfo(SounderModel::QYNVU).powerOffVariable, nullptr);
    EXPECT_STREQ(ModelInfo(SounderModel::TOTAL).powerOffVariable, "zelvartotalshutdown");
}

}  // namespace
