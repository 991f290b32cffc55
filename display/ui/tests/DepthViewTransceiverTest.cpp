// The depth row leads to its channel's transceiver dialogs: "Transceiver
// Settings..." of the context menu and a right click on the names, the GEO
// type's own dialog for its channels; greyed where the transceiver was given
// no dialogs to show.
#include "display/DepthDoc.h"
#include "display/ui/DepthView.h"
#include "display/ui/DepthViewCommands.h"
#include "engine/Channel.h"
#include "testsupport/ui/QtTestApp.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/tests/TestTransceiver.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using zv::test::QtTestApp;

// Notes which dialog ran; each is cancelled.
class CNotedDialogs final : public ITransceiverDialogs
{
public:
    std::vector<std::string> runs;
    int RunChannel(TransceiverDialogValues&, const DialogOpened&) override
    {
        runs.push_back("channel");
        return 0;
    }
    int RunGeoChannel(GeoTransceiverDialogValues&, const DialogOpened&) override
    {
        runs.push_back("geo");
        return 0;
    }
    int RunAdvanced(const AdvancedTransceiverDialogValues&, const DialogOpened&) override { return 0; }
};

class CUnitOfType final : public CTestTransceiver
{
public:
    CUnitOfType(const Options& o, TransceiverType type) : CTestTransceiver(o), m_type(type) {}
    TransceiverType GetTypeCode() override { return m_type; }

private:
    TransceiverType m_type;
};

bool MenuItemEnabled(CDepthView& view, unsigned id)
{
    std::unique_ptr<QMenu> menu(view.BuildContextMenu(nullptr));
    for (QAction* a : menu->actions())
        if (a->data().toUInt() == id)
            return a->isEnabled();
    ADD_FAILURE() << "no item " << id;
    return false;
}

}  // namespace

TEST(TransceiverDialogFromDepthView, MenuAndRightClickOnTheNamesOpenTheUnitsDialog)
{
    QtTestApp();
    struct Row
    {
        const char* legend;
        TransceiverType type;
        bool ofProgram;      // a unit the program made, which has the dialogs
        const char* dialog;  // what a right click on the names opens
    };
    const Row rows[] = {
        {"network unit", TransceiverType::QY42, true, "channel"},
        {"GEO unit", TransceiverType::GEO, true, "geo"},
        {"a transceiver given no dialogs", TransceiverType::HXU, false, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        CNotedDialogs dialogs;
        CTestTransceiverServices services;
        services.dialogs = &dialogs;
        CTestTransceiver::Options o;
        o.name = "T38";
        o.services = r.ofProgram ? &services : nullptr;
        CUnitOfType unit(o, r.type);
        CDepthDoc doc;
        doc.SetChannel(unit.GetChannelId(0));
        EXPECT_EQ(CDepthViewCommands::CanRun(doc, CDepthView::ID_TRANSCEIVER_SETTINGS), r.ofProgram);

        CDepthView view(&doc);
        view.resize(600, 60);
        view.show();
        view.OnInitialUpdate();
        EXPECT_EQ(MenuItemEnabled(view, CDepthView::ID_TRANSCEIVER_SETTINGS), r.ofProgram);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.repaint();
        QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(3, 3));
        const std::vector<std::string> expected =
            *r.dialog ? std::vector<std::string>{r.dialog} : std::vector<std::string>{};
        EXPECT_EQ(dialogs.runs, expected);
        // The menu's item runs the channel dialog whatever the type.
        dialogs.runs.clear();
        EXPECT_EQ(CDepthViewCommands::Run(doc, CDepthView::ID_TRANSCEIVER_SETTINGS), r.ofProgram);
        EXPECT_EQ(dialogs.runs, r.ofProgram ? std::vector<std::string>{"channel"} : std::vector<std::string>{});
    }
}
