// The help pages: in the desktop's browser when one opens them, else in the
// program's own window, which follows the links between the shipped pages.
#include "app/ui/HelpViewer.h"
#include "QtTestSupport.h"
#include "app/Help.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>

#include <filesystem>
#include <fstream>

using namespace app;
using namespace shelltest;

namespace {

const std::string kHelp = ZELVAR_HELP_DIR;

// Clicks the first link to href in the browser's page, as the user would.
bool ClickLink(QTextBrowser& browser, const QString& href)
{
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(browser.document());
            cursor.setPosition(fragment.position() + 1);
            browser.setTextCursor(cursor);
            browser.ensureCursorVisible();
            const QPoint at = browser.cursorRect(cursor).center();
            QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, at);
            return true;
        }
    }
    return false;
}

// A viewer whose desktop keeps what it is asked to open and answers with
// browserOpens.
struct HelpViewer : ::testing::Test
{
    HelpViewer() { QtApp(); }
    std::unique_ptr<CHelpViewer> Viewer(bool browserOpens)
    {
        return std::make_unique<CHelpViewer>([this, browserOpens](const QUrl& url) {
            external.push_back(url);
            return browserOpens;
        });
    }
    std::vector<QUrl> external;
};

TEST_F(HelpViewer, ABrowserThatOpensThePageIsLeftToShowIt)
{
    auto viewer = Viewer(true);
    viewer->Show(CHelp::Address(kHelp, "qor_layout.html"));
    ASSERT_EQ(external.size(), 1u);
    EXPECT_EQ(external[0], QUrl::fromLocalFile(QString::fromStdString(kHelp + "/qor_layout.html")));
    EXPECT_EQ(viewer->Window(), nullptr);
}

TEST_F(HelpViewer, WithoutABrowserThePagesShowInTheOwnWindowAndItsLinksAreFollowed)
{
    auto viewer = Viewer(false);
    viewer->Show(CHelp::Address(kHelp, CHelp::kContentsPage));
    QTextBrowser* window = viewer->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->source().fileName(), "Contents.html");
    EXPECT_EQ(window->windowTitle(), "Echosounder Help");
    EXPECT_EQ(external.size(), 1u);  // the browser was asked first

    ASSERT_TRUE(ClickLink(*window, "qor_layout.html"));
    ASSERT_TRUE(WaitFor([&] { return window->source().fileName() == "qor_layout.html"; }));
    EXPECT_TRUE(window->toPlainText().contains("Layout"));
    EXPECT_EQ(external.size(), 1u);  // followed here, not handed on
    Screenshot(*window, "help-window");

    // The next request reuses the window.
    viewer->Show(CHelp::Address(kHelp, "qor_echogram.html"));
    EXPECT_EQ(viewer->Window(), window);
    EXPECT_EQ(window->source().fileName(), "qor_echogram.html");
}

TEST_F(HelpViewer, LinksOutOfTheHelpGoToTheDesktopAndAMissingPageIsSaid)
{
    const QTemporaryDir temporary;  // a folder of this test's own
    ASSERT_TRUE(temporary.isValid());
    const std::filesystem::path folder = temporary.path().toStdString();
    std::ofstream(folder / "page.html") << "<html><body><a href=\"https://example.invalid/x\">out</a></body></html>";
    auto viewer = Viewer(false);
    viewer->Show((folder / "page.html").string());
    ASSERT_NE(viewer->Window(), nullptr);
    ASSERT_TRUE(ClickLink(*viewer->Window(), "https://example.invalid/x"));
    ASSERT_TRUE(WaitFor([&] { return external.size() == 2; }));
    EXPECT_EQ(external[1], QUrl("https://example.invalid/x"));
    EXPECT_EQ(viewer->Window()->source().fileName(), "page.html");

    // A page that is not there is never handed to a browser.
    const std::string missing = (folder / "nowhere.html").string();
    viewer->Show(missing);
    EXPECT_EQ(external.size(), 2u);
    EXPECT_TRUE(viewer->Window()->toPlainText().contains(QString::fromStdString(missing)));
}

}  // namespace
