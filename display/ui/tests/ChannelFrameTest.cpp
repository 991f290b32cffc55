#include "display/ui/ChannelFrame1.h"
#include "display/ui/ChannelFrame2.h"

#include "app/StandardESLayout.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/Archive.h"
#include "display/DepthDoc.h"
#include "display/EchoTraceDoc.h"
#include "display/EchogramDoc.h"
#include "display/tests/TempFolder.h"
#include "display/tests/TestDisplayContext.h"
#include "display/ui/DepthView.h"
#include "display/ui/EchoTraceView.h"
#include "display/ui/EchogramView.h"
#include "display/ui/ScopeView.h"
#include "engine/Channel.h"
#include "platform/MessageBox.h"
#include "testsupport/ui/QtWait.h"

#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

namespace {
class ChannelFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        ASSERT_TRUE(folder.Ok());
        settings.Set(folder.File(""));
        program.updateViews = [](CAbstractESDoc& doc) { doc.UpdateAllViews(); };
        CChannel::Construction cc;
        cc.ChannelName = "T38 38/kHz:1";
        channel = std::make_unique<CChannel>(cc);
    }
    template <class Frame>
    std::unique_ptr<Frame> Make(int w, int h)
    {
        SFrameContext context;
        context.documents = program.Context();
        context.settingsFolder = &settings;
        auto frame = std::make_unique<Frame>(w, h, context);
        EXPECT_TRUE(frame->OnCreateClient(w, h));
        frame->show();
        QApplication::processEvents();
        return frame;
    }
    std::vector<char> FileBytes(const std::string& name) const
    {
        std::ifstream in(folder.File(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    CTestDisplayContext program;
    TempFolder folder;
    CSettingsFolder settings;
    std::unique_ptr<CChannel> channel;
};
}  // namespace

TEST(ChannelFrameGeometry, PanesOfANewClient)
{
    const auto g1 = CChannelFrame1::ComputeGeometry(1000, 500, 0.15, 20.0, 0.65);
    EXPECT_EQ(g1.top, 20);
    EXPECT_EQ(g1.col1, 150);
    EXPECT_EQ(g1.col0, 850);
    EXPECT_EQ(g1.row0, 312);
    EXPECT_EQ(g1.row1, 168);
    const auto low = CChannelFrame1::ComputeGeometry(1000, 10, 0.15, 20.0, 0.65);
    EXPECT_EQ(low.top, 10) << "the depth row takes all of a low client";
    EXPECT_EQ(low.row0, 0);
    EXPECT_EQ(low.row1, 0);
    const auto g2 = CChannelFrame2::ComputeGeometry(1000, 500, 0.2, 0.15, 20.0, 0.65);
    EXPECT_EQ(g2.col0, 200);
    EXPECT_EQ(g2.col2, 150);
    EXPECT_EQ(g2.col1, 650);
}

TEST(ChannelFrameNames, SettingsFileNamePerModeWithoutPathCharacters)
{
    EXPECT_EQ(CChannelFrameAbstract::SettingsFileName("T38 38/kHz:1", false), "Normal T38 38_kHz_1.ser");
    EXPECT_EQ(CChannelFrameAbstract::SettingsFileName("T38 38/kHz:1", true), "Replay T38 38_kHz_1.ser");
    // Replay names its channels "Replay <frequency> kHz".
    EXPECT_EQ(CChannelFrameAbstract::SettingsFileName("Replay 38 kHz", true), "Replay 38 kHz.ser");
    EXPECT_EQ(CChannelFrameAbstract::SettingsFileName("a\\b*c?d\"e<f>g|h", false), "Normal a_b_c_d_e_f_g_h.ser");
}

TEST(ChannelFrameKinds, Rm30TakesTheSecondKindUnlessItsChannelAsksForTheFirst)
{
    using app::CStandardESLayout;
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::RM30, 0), 2);
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::RM30, 1), 1);
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::QY310, 0), 1);
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::TQ30, 1), 2);
}

TEST_F(ChannelFrameTest, DocumentsInOrderWithTheirLinksAndEachWithItsOwnView)
{
    auto frame = Make<CChannelFrame1>(600, 400);
    const auto& docs = frame->GetDocList();
    ASSERT_EQ(docs.size(), 3u);
    EXPECT_NE(dynamic_cast<CDepthDoc*>(docs[0]), nullptr);
    EXPECT_EQ(docs[1], frame->m_upperEchogram);
    EXPECT_EQ(docs[2], frame->m_lowerEchogram);
    EXPECT_EQ(frame->GetDepthDoc()->m_upperEchogram, frame->m_upperEchogram);
    EXPECT_EQ(frame->GetDepthDoc()->m_lowerEchogram, frame->m_lowerEchogram);
    ASSERT_EQ(frame->EchogramViews().size(), 2u);
    using Views = std::vector<IDocumentView*>;
    ASSERT_EQ(frame->ScopeViews().size(), 2u);
    // Each row's scope pane shows the row's echogram, beside it.
    EXPECT_EQ(frame->m_upperEchogram->GetViews(), (Views{frame->EchogramViews()[0], frame->ScopeViews()[0]}));
    EXPECT_EQ(frame->m_lowerEchogram->GetViews(), (Views{frame->EchogramViews()[1], frame->ScopeViews()[1]}));
    EXPECT_EQ(frame->ScopeViews()[0]->parentWidget(), frame->EchogramViews()[0]->parentWidget());
    ASSERT_EQ(frame->GetDepthDoc()->GetViews().size(), 1u);
    EXPECT_NE(dynamic_cast<CDepthView*>(frame->GetDepthDoc()->GetViews()[0]), nullptr);

    auto second = Make<CChannelFrame2>(600, 400);
    // Depth, then each row's echo trace before its echogram, the echo trace
    // reading the window of the echogram of its row and shown in the row's
    // first column.
    const auto& list = second->GetDocList();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_NE(dynamic_cast<CDepthDoc*>(list[0]), nullptr);
    ASSERT_EQ(second->EchoTraceViews().size(), 2u);
    for (int r = 0; r < 2; ++r) {
        auto* trace = dynamic_cast<CEchoTraceDoc*>(list[1 + 2 * r]);
        ASSERT_NE(trace, nullptr);
        EXPECT_EQ(trace->GetCompanion(), list[2 + 2 * r]);
        EXPECT_EQ(second->EchogramViews()[r]->GetDocument(), list[2 + 2 * r]);
        EXPECT_EQ(trace->GetViews(), (Views{second->EchoTraceViews()[r]}));
        auto* row = qobject_cast<QSplitter*>(second->EchoTraceViews()[r]->parentWidget());
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->indexOf(second->EchoTraceViews()[r]), 0);
    }
    ASSERT_EQ(second->ScopeViews().size(), 2u);
    for (int r = 0; r < 2; ++r) {
        // The second kind's scope pane is the row's last column.
        auto* row = qobject_cast<QSplitter*>(second->ScopeViews()[r]->parentWidget());
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->indexOf(second->ScopeViews()[r]), 2);
        EXPECT_EQ(second->ScopeViews()[r]->GetDocument(), second->EchogramViews()[r]->GetDocument());
    }
    EXPECT_EQ(second->GetDepthDoc()->m_upperEchogram, nullptr) << "the second kind links no echogram to the depth";
}

TEST_F(ChannelFrameTest, SavedFrameLoadsItsProportionsAndDocumentSettings)
{
    {
        auto frame = Make<CChannelFrame1>(613, 400);
        frame->SetChannel(channel.get(), "T38", "T38 38/kHz:1", false);
        frame->GetDepthDoc()->m_minimumDepth = 7.5;
        frame->m_upperEchogram->m_range = 250.0;
        ASSERT_TRUE(frame->SaveSettings());
        EXPECT_NEAR(frame->m_columnRatio, 0.15, 0.02);
    }
    std::vector<char> bytes = FileBytes("Normal T38 38_kHz_1.ser");
    ASSERT_GT(bytes.size(), 28u + 24u);
    EXPECT_EQ(bytes[0], 27);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 28), CChannelFrame1::kVersion);

    auto loaded = Make<CChannelFrame1>(613, 400);
    loaded->m_columnRatio = 0.5;
    loaded->SetChannel(channel.get(), "T38", "T38 38/kHz:1", false);
    EXPECT_NEAR(loaded->m_columnRatio, 0.15, 0.02);
    EXPECT_DOUBLE_EQ(loaded->GetDepthDoc()->m_minimumDepth, 7.5);
    EXPECT_DOUBLE_EQ(loaded->m_upperEchogram->m_range, 250.0);

    // The same file read by the other frame kind changes nothing.
    auto other = Make<CChannelFrame2>(613, 400);
    other->GetDepthDoc()->m_minimumDepth = 1.0;
    std::vector<BYTE> scratch;
    {
        CArchive ar(scratch, CArchive::store);  // takes the panes' sizes into the stored values
        other->Serialize(ar);
        ar.Close();
    }
    const double first = other->m_firstColumnRatio;
    const QList<int> outer = other->OuterSplitter()->sizes();
    other->SetChannel(channel.get(), "T38", "T38 38/kHz:1", false);
    EXPECT_DOUBLE_EQ(other->m_firstColumnRatio, first);
    EXPECT_EQ(other->OuterSplitter()->sizes(), outer);
    EXPECT_DOUBLE_EQ(other->GetDepthDoc()->m_minimumDepth, 1.0);
}

namespace {
CEchoTraceDoc* Trace(CChannelFrameAbstract& frame, int row)
{
    return dynamic_cast<CEchoTraceDoc*>(frame.GetDocList()[static_cast<std::size_t>(1 + 2 * row)]);
}
CEchogramDoc* Echogram(CChannelFrameAbstract& frame, int row)
{
    return dynamic_cast<CEchogramDoc*>(frame.GetDocList()[static_cast<std::size_t>(2 + 2 * row)]);
}
}  // namespace

TEST_F(ChannelFrameTest, SecondKindFilesHoldFiveDocumentsAndOlderOnesTheirThree)
{
    const std::string file = "Normal T38 38_kHz_1.ser";
    {
        auto frame = Make<CChannelFrame2>(613, 400);
        frame->SetChannel(channel.get(), "T38", "T38 38/kHz:1", false);
        Trace(*frame, 0)->m_presentation = CEchoTraceDoc::kHistogram;
        Trace(*frame, 1)->m_sizeScale = CEchoTraceDoc::kWeight;
        Echogram(*frame, 1)->m_range = 250.0;
        channel->GetTSDetection().SetSettings({1.0, 2.0, 3.0, 4.0});
        ASSERT_TRUE(frame->SaveSettings());
    }
    const std::vector<char> five = FileBytes(file);
    channel->GetTSDetection().SetSettings({});
    {
        auto loaded = Make<CChannelFrame2>(613, 400);
        loaded->SetChannel(channel.get(), "T38", "T38 38/kHz:1", false);
        EXPECT_EQ(Trace(*loaded, 0)->m_presentation, CEchoTraceDoc::kHistogram);
        EXPECT_EQ(Trace(*loaded, 1)->m_sizeScale, CEchoTraceDoc::kWeight);
        EXPECT_DOUBLE_EQ(Echogram(*loaded, 1)->m_range, 250.0);
        EXPECT_DOUBLE_EQ(channel->GetTSDetection().GetSettings().MaxPhaseDeviation, 4.0);
    }

    // A file of before the echo traces: the frame's values and the depth
    // and echogram documents, under the same version text.
    auto write = [&](const std::vector<BYTE>& bytes) {
        std::ofstream out(folder.File(file), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    std::vector<BYTE> three;
    {
        CDepthDoc depth;
        CEchogramDoc upper, lower;
        upper.m_range = 75.0;
        lower.m_echogramType = CEchogramDoc::TS_40;
        CArchive ar(three, CArchive::store);
        ar << std::string(CChannelFrame2::kVersion) << 0.3 << 0.15 << 20.0 << 0.65;
        depth.m_maximumDepth = 321.0;
        depth.Serialize(ar);
        upper.Serialize(ar);
        lower.Serialize(ar);
        ar.Close();
    }
    write(three);
    {
        auto old = Make<CChannelFrame2>(613, 400);
        Trace(*old, 0)->m_presentation = CEchoTraceDoc::kEchoTrace;
        old->SetChannel(nullptr, "T38", "T38 38/kHz:1", false);
        EXPECT_DOUBLE_EQ(old->m_firstColumnRatio, 0.3);
        EXPECT_DOUBLE_EQ(old->GetDepthDoc()->m_maximumDepth, 321.0);
        EXPECT_DOUBLE_EQ(Echogram(*old, 0)->m_range, 75.0);
        EXPECT_EQ(Echogram(*old, 1)->m_echogramType, CEchogramDoc::TS_40);
        EXPECT_EQ(Trace(*old, 0)->m_presentation, CEchoTraceDoc::kEchoTrace) << "kept";
    }

    // Damaged: cut short, or an echo trace's value out of range. Nothing of
    // it is taken (the user is told).
    std::vector<BYTE> cut(five.begin(), five.end() - 3);
    std::vector<BYTE> bad(five.begin(), five.end());
    std::vector<BYTE> depthBytes;
    {
        CDepthDoc depth;
        CArchive ar(depthBytes, CArchive::store);
        depth.Serialize(ar);
        ar.Close();
    }
    bad[28 + 32 + depthBytes.size()] = 9;  // the first presentation
    for (const auto& damaged : {cut, bad}) {
        write(damaged);
        auto frame = Make<CChannelFrame2>(613, 400);
        frame->GetDepthDoc()->m_maximumDepth = 5.0;
        Echogram(*frame, 1)->m_range = 60.0;
        frame->SetChannel(nullptr, "T38", "T38 38/kHz:1", false);
        EXPECT_DOUBLE_EQ(frame->GetDepthDoc()->m_maximumDepth, 5.0);
        EXPECT_DOUBLE_EQ(Echogram(*frame, 1)->m_range, 60.0);
        EXPECT_EQ(Trace(*frame, 0)->m_presentation, CEchoTraceDoc::kBoth);
    }
}

namespace {
// The echo trace dialog as the program shows it, held open by the case.
struct OpenDialogs : IEchoTraceDialogs
{
    std::function<void()> whileOpen;
    int RunEchoTraceDialog(CEchoTraceDoc&, int&, int&, const CModalSession::DialogOpened& opened) override
    {
        struct Holder : CModalSession::IOpenDialog
        {
            void EndDialog(int r) override { ended = r; }
            int ended = 0;
        } holder;
        opened(&holder);
        whileOpen();
        return holder.ended == -1 ? -1 : IDOK;
    }
};
}  // namespace

TEST_F(ChannelFrameTest, TheFrameGoesWhileAnEchoTraceDialogIsOpen)
{
    OpenDialogs dialogs;
    SFrameContext context;
    context.documents = program.Context();
    context.documents.echoTraceDialogs = &dialogs;
    context.settingsFolder = &settings;
    auto frame = std::make_unique<CChannelFrame2>(600, 400, context);
    ASSERT_TRUE(frame->OnCreateClient(600, 400));
    frame->show();
    CEchoTraceView* view = frame->EchoTraceViews()[0];
    bool gone = false;
    dialogs.whileOpen = [&] {
        frame.reset();  // a new layout
        gone = true;
    };
    const QPointF at(20, 40);
    QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    EXPECT_TRUE(gone);
}

TEST_F(ChannelFrameTest, ZeroWidthAndNumbersThatAreNoneNeverReachTheFile)
{
    {
        auto frame = Make<CChannelFrame1>(13, 400);  // no width left after the bars
        frame->SetChannel(channel.get(), "T38", "narrow", false);
        ASSERT_TRUE(frame->SaveSettings());
    }
    std::vector<char> bytes = FileBytes("Normal narrow.ser");
    ASSERT_GT(bytes.size(), 28u + 24u);
    for (int k = 0; k < 3; ++k) {
        double v = 0.0;
        std::memcpy(&v, bytes.data() + 28 + 8 * k, sizeof v);
        EXPECT_TRUE(std::isfinite(v)) << "value " << k;
    }
    // A file whose values are not numbers loads as the defaults.
    const double nan = std::nan("");
    std::memcpy(bytes.data() + 28, &nan, sizeof nan);
    std::memcpy(bytes.data() + 44, &nan, sizeof nan);
    {
        std::ofstream out(folder.File("Normal narrow.ser"), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    auto loaded = Make<CChannelFrame1>(613, 400);
    loaded->SetChannel(channel.get(), "T38", "narrow", false);
    EXPECT_DOUBLE_EQ(loaded->m_columnRatio, 0.15);
    EXPECT_DOUBLE_EQ(loaded->m_rowRatio, 0.65);
}

// ---- Split bars -------------------------------------------------------------

TEST(ChannelFrameSplitBars, DepthBarIdealsKeepTheLowerRow)
{
    struct Case
    {
        int d, h0, h1, t, upper, lower;
        const char* legend;
    };
    const Case cases[] = {
        {30, 200, 100, 20, 170, 100, "down, less than the upper row"},
        {200, 200, 100, 20, 0, 100, "down by exactly the upper row"},
        {250, 200, 100, 20, 0, 50, "down past the upper row: the rest from the lower"},
        {300, 200, 100, 20, 0, 0, "down past both rows"},
        {0, 200, 100, 20, 200, 100, "a click"},
        {-10, 200, 100, 20, 210, 100, "up, less than the depth row"},
        {-20, 200, 100, 20, 220, 100, "up by exactly the depth row"},
        {-60, 200, 100, 20, 220, 100, "up past the depth row: no more than it had"},
    };
    for (const Case& c : cases) {
        const auto ideals = CChannelFrameAbstract::DepthBarIdeals(c.d, c.h0, c.h1, c.t);
        EXPECT_EQ(ideals.upper, c.upper) << c.legend;
        EXPECT_EQ(ideals.lower, c.lower) << c.legend;
    }
}

TEST(ChannelFrameSplitBars, ColumnBarIdealKeepsTheColumnRightOfIt)
{
    struct Case
    {
        int dx, w0, w1, ideal;
        const char* legend;
    };
    const Case cases[] = {
        {30, 100, 300, 270, "right"},
        {-30, 100, 300, 330, "left"},
        {-150, 100, 300, 400, "left past the first column: only what it had"},
        {300, 100, 300, -1, "right past the echogram column: left to the splitter"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CChannelFrameAbstract::ColumnBarIdeal(c.dx, c.w0, c.w1), c.ideal) << c.legend;
}

namespace {
// Presses the left button on a splitter bar, drags it by `delta` and lets go.
void DragBar(QWidget* bar, QPoint delta)
{
    const QPointF local(bar->width() / 2, bar->height() / 2);
    const QPointF global = bar->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    QMouseEvent move(QEvent::MouseMove, local + delta, global + delta, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + delta, global + delta, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
}

QSplitter* Inner(const CChannelFrameAbstract& frame)
{
    return qobject_cast<QSplitter*>(frame.OuterSplitter()->widget(1));
}
}  // namespace

TEST_F(ChannelFrameTest, DraggingTheDepthBarKeepsTheLowerEchogramRow)
{
    struct Case
    {
        const char* legend;
        std::function<int(int h0, int h1, int t)> drag;
        std::function<int(int h0, int h1, int t)> upper, lower;
    };
    const Case cases[] = {
        {"down less than the upper row", [](int, int, int) { return 30; }, [](int h0, int, int) { return h0 - 30; },
         [](int, int h1, int) { return h1; }},
        {"down past the upper row", [](int h0, int, int) { return h0 + 25; }, [](int, int, int) { return 0; },
         [](int, int h1, int) { return h1 - 25; }},
        {"up, less than the depth row", [](int, int, int t) { return -t / 2; },
         [](int h0, int, int t) { return h0 + t / 2; }, [](int, int h1, int) { return h1; }},
        {"up past the depth row", [](int, int, int t) { return -(t + 40); }, [](int h0, int, int t) { return h0 + t; },
         [](int, int h1, int) { return h1; }},
    };
    for (const Case& c : cases) {
        auto frame = Make<CChannelFrame1>(400, 400);
        // A depth row high enough to drag up into.
        const QList<int> outer = frame->OuterSplitter()->sizes();
        frame->OuterSplitter()->setSizes({40, outer[0] + outer[1] - 40});
        QSplitter* inner = Inner(*frame);
        ASSERT_NE(inner, nullptr);
        const int h0 = inner->sizes()[0], h1 = inner->sizes()[1];
        const int t = frame->OuterSplitter()->sizes()[0];
        ASSERT_GT(t, 20);
        ASSERT_GT(h1, 30);
        DragBar(frame->OuterSplitter()->handle(1), QPoint(0, c.drag(h0, h1, t)));
        EXPECT_EQ(inner->sizes()[0], c.upper(h0, h1, t)) << c.legend;
        EXPECT_EQ(inner->sizes()[1], c.lower(h0, h1, t)) << c.legend;
    }
}

TEST_F(ChannelFrameTest, DraggingTheFirstColumnBarKeepsTheScopeColumnInBothRows)
{
    struct Case
    {
        const char* legend;
        int dx;
    };
    for (const Case& c : {Case{"right", 40}, Case{"left", -30}, Case{"left past the first column", -400}}) {
        auto frame = Make<CChannelFrame2>(600, 400);
        QSplitter* inner = Inner(*frame);
        ASSERT_NE(inner, nullptr);
        auto* upper = qobject_cast<QSplitter*>(inner->widget(0));
        auto* lower = qobject_cast<QSplitter*>(inner->widget(1));
        const QList<int> before = upper->sizes();
        ASSERT_EQ(before.size(), 3);
        DragBar(upper->handle(1), QPoint(c.dx, 0));
        const int dx = std::max(c.dx, -before[0]);
        const QList<int> expected{before[0] + dx, before[1] - dx, before[2]};
        EXPECT_EQ(upper->sizes(), expected) << c.legend;
        EXPECT_EQ(lower->sizes(), expected) << c.legend << ": the rows share their columns";
    }
}

// ---- The depth row's paints ------------------------------------------------

namespace {
struct FixedDepth : IDepthChannel
{
    double depth = 12.34;
    bool GetBottom(double& d) override
    {
        d = depth;
        return true;
    }
    bool GetCorrectedDepth(double&) override { return false; }
    bool IsDepthFilterOn() const override { return false; }
};

struct NamedRow : IDepthViewChannel
{
    double slope = 0.0;
    bool slopeValid = false;
    std::string transceiver = "GPX 1";
    std::string GetTitle() const override { return "T38 38 kHz"; }
    std::string GetSecondName() const override { return {}; }
    std::string GetTransceiverName() const override { return transceiver; }
    bool GetSlope(double& angle) const override
    {
        angle = slope;
        return slopeValid;
    }
    bool GetTrawl(double&) const override { return false; }
    bool IsDepthHeld() const override { return false; }
};

class PaintProbeDepthView : public CDepthView
{
public:
    using CDepthView::CDepthView;
    std::vector<QRegion> painted;

protected:
    void OnDraw(QPainter& painter) override
    {
        painted.push_back(PaintRegion());
        CDepthView::OnDraw(painter);
    }
};
}  // namespace

TEST(DepthViewPaint, APingRepaintsOnlyTheTextsThatChangedAndTheWindowShowsAFullPaintsPicture)
{
    using zv::test::QtWaitUntil;
    shelltest::QtApp();
    CTestDisplayContext program;
    program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
    CChannel channel{CChannel::Construction{}};
    FixedDepth bottom;
    NamedRow row;
    CDepthDoc doc(program.Context());
    doc.SetChannel(&channel);
    doc.SetDepthChannel(&bottom);
    PaintProbeDepthView view(&doc);
    view.SetChannelAccess(&row);
    view.resize(900, 120);
    view.OnInitialUpdate();
    view.show();
    doc.OnSourceUpdate(1);
    ASSERT_TRUE(QtWaitUntil([&] { return !view.painted.empty(); }));
    QCoreApplication::processEvents();
    const QRect names(0, 0, 150, 15);
    auto windowShowsAFullPaint = [&] {
        QCoreApplication::processEvents();
        const QImage shown = view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage whole = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        return shown == whole;
    };
    ASSERT_TRUE(windowShowsAFullPaint());

    struct Step
    {
        const char* legend;
        double depth;
        bool slopeValid;
        double slope;
        const char* transceiver;
        bool repaints;
    };
    const Step steps[] = {
        {"the same depth", 12.34, false, 0.0, "GPX 1", false},
        {"a deeper bottom, a longer text", 123.45, false, 0.0, "GPX 1", true},
        {"a shallower one, a shorter text", 7.0, false, 0.0, "GPX 1", true},
        {"a slope beside it", 7.0, true, 4.5, "GPX 1", true},
        {"the same slope", 7.0, true, 4.5, "GPX 1", false},
        {"the slope gone", 7.0, false, 0.0, "GPX 1", true},
        {"another transceiver's name", 7.0, false, 0.0, "GPX 12", true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.legend);
        bottom.depth = s.depth;
        row.slopeValid = s.slopeValid;
        row.slope = s.slope;
        const bool namesStay = row.transceiver == s.transceiver;
        row.transceiver = s.transceiver;
        view.painted.clear();
        doc.OnSourceUpdate(1);
        if (s.repaints) {
            ASSERT_TRUE(QtWaitUntil([&] { return !view.painted.empty(); }));
            const QRegion region = view.painted.front();
            EXPECT_EQ(region.intersects(names), !namesStay) << "the names are drawn only when they change";
            EXPECT_FALSE(region.intersects(view.ColourBar())) << "the colour bar stays";
        } else {
            QCoreApplication::processEvents();
            EXPECT_TRUE(view.painted.empty());
        }
        EXPECT_TRUE(windowShowsAFullPaint()) << "no text left behind, none cut";
    }
}
