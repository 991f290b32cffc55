#include "app/MenuResources.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace app;

namespace {

bool Has(const std::vector<unsigned>& ids, unsigned id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST(MenuResourcesTest, EachModelMenuCarriesItsOwnCommands)
{
    const auto qy = MenuCommandIds(LoadMenuResource(IDR_MENU_QY));
    const auto rm = MenuCommandIds(LoadMenuResource(IDR_MENU_RM30));
    const auto tq = MenuCommandIds(LoadMenuResource(IDR_MENU_TQ30));
    const auto total = MenuCommandIds(LoadMenuResource(IDR_MENU_TOTAL));

    for (const auto* ids : {&qy, &rm, &tq, &total}) {
        EXPECT_TRUE(Has(*ids, cmd::STOP_SOUNDER));
        EXPECT_TRUE(Has(*ids, cmd::PALETTE_DAY_WHITE));
        EXPECT_TRUE(Has(*ids, cmd::ABOUT));
        EXPECT_TRUE(Has(*ids, cmd::DEPTH_UNIT_FIRST));
    }
    EXPECT_FALSE(Has(qy, cmd::TRAWL));
    EXPECT_TRUE(Has(rm, cmd::TRAWL));
    EXPECT_TRUE(Has(rm, cmd::FISH));
    EXPECT_FALSE(Has(rm, cmd::LOBE));
    EXPECT_TRUE(Has(tq, cmd::LOBE));
    EXPECT_FALSE(Has(tq, cmd::SERIAL_INTERFACE));
    EXPECT_TRUE(Has(qy, cmd::SERIAL_INTERFACE));
    EXPECT_TRUE(Has(qy, cmd::NETWORK_INTERFACE));
    EXPECT_FALSE(Has(total, cmd::NETWORK_INTERFACE));
    EXPECT_TRUE(Has(total, cmd::QY_COLOURS));
    EXPECT_FALSE(Has(qy, cmd::QY_COLOURS));
    EXPECT_TRUE(LoadMenuResource(999).empty());
}

TEST(MenuResourcesTest, SystemMenuEndsWithClose)
{
    const auto menu = LoadSystemMenu();
    ASSERT_EQ(menu.size(), 7u);
    EXPECT_TRUE(menu[5].IsSeparator());
    EXPECT_EQ(menu[6].id, cmd::SYSTEM_CLOSE);
}

}  // namespace
