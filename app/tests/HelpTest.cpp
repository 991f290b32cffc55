#include "app/Help.h"

#include <gtest/gtest.h>

#include <vector>

using namespace app;

namespace {

TEST(HelpTest, RequestsOpenTheirPages)
{
    CHelp help;
    help.SetHelpFolder("/opt/z/Language/1033/help");
    std::vector<std::string> opened;
    help.viewer = [&](const std::string& address) { opened.push_back(address); };

    help.ShowHelp(CHelp::kContextBase + 150, CHelp::HELP_CONTEXT);  // F1 in the Layout dialog
    help.ShowHelp(0x20086, CHelp::HELP_CONTEXTPOPUP);
    help.ShowHelp(0x20086, CHelp::HELP_FINDER);   // contents, whatever the context
    help.ShowHelp(0x20064, CHelp::HELP_CONTEXT);  // about box: no page of its own

    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], "/opt/z/Language/1033/help/qor_layout.html");
    EXPECT_EQ(opened[1], "/opt/z/Language/1033/help/qor_colour_scale.html");
    EXPECT_EQ(opened[2], "/opt/z/Language/1033/help/Contents.html");
    EXPECT_EQ(opened[3], std::string("/opt/z/Language/1033/help/") + CHelp::kDefaultPage);
}

TEST(HelpTest, SharedPagesAndUnknownContexts)
{
    for (unsigned ctx : {0x20083u, 0x200D0u, 0x200D1u, 0x200FCu})
        EXPECT_EQ(CHelp::PageForContext(ctx), "qor_echogram.html");
    EXPECT_EQ(CHelp::PageForContext(0x20105), "qor_operation.html");
    EXPECT_EQ(CHelp::PageForContext(0x20110), "qor_svp_real_time_smart_sensor.html");
    EXPECT_EQ(CHelp::PageForContext(0x20000), "");
    EXPECT_EQ(CHelp::PageForContext(150), "");  // a dialog id without the base is no context
}

}  // namespace
