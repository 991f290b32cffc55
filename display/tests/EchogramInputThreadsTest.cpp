// What an echogram view writes into its document while pings run through it
// on the ping-data thread: the wheel's window steps, the automatic start,
// the marker, resizes that freeze and thaw it, and the range and filter
// dialogs' values. Each goes in under the document's settings lock, as the
// view writes them.
#include "display/EchogramDoc.h"
#include "display/EchogramInteraction.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The wheel over the scale strip, as the view turns it.
void TurnWheel(CEchogramDoc& doc, int delta, bool shift)
{
    doc.EditSettings([&](CEchogramDoc& d) {
        CEchogramInteraction::SWindow w;
        w.reference = d.m_rangeReference;
        w.range = d.m_range;
        w.start = d.m_start;
        w.autoRange = d.m_surfaceAutoRange;
        w.surfaceRange = d.m_surfaceRange;
        w.surfaceStart = d.m_surfaceStart;
        w.bottomRange = d.m_bottomRange;
        w.bottomOffset = d.m_bottomOffset;
        w.trawlMargin = d.m_trawlMargin;
        if (!CEchogramInteraction::StripWheel(w, delta, shift))
            return;
        d.m_range = w.range;
        d.m_start = w.start;
        d.m_surfaceRange = w.surfaceRange;
        d.m_surfaceStart = w.surfaceStart;
        d.m_bottomRange = w.bottomRange;
        d.m_bottomOffset = w.bottomOffset;
        d.m_trawlMargin = w.trawlMargin;
    });
}

TEST(EchogramInputThreads, WheelResizeAndDialogsDuringPings)
{
    CTestDisplayContext program;
    program.rangeDialog = [](CEchogramDoc::RangeDialogValues& v, const CEchogramDoc::DialogOpened&) {
        v.range += 1.0;
        return IDOK;
    };
    program.filterDialog = [](CEchogramDoc::FilterDialogValues& v, const CEchogramDoc::DialogOpened&) {
        v.medianFilter = !v.medianFilter;
        return IDOK;
    };
    CStubEchogramChannel channel;
    CEchogramDoc doc(program.Context());
    doc.SetEchogramChannel(&channel);
    doc.SetViewSize(100, 200, false);
    doc.SetViewCount(146);
    doc.m_rangeReference = CEchogramDoc::SURFACE;

    std::atomic<bool> stop{false};
    std::atomic<int> pings{0};
    std::thread pingThread([&] {
        while (!stop.load()) {
            doc.OnSourceUpdate(1);
            pings.fetch_add(1);
        }
    });
    for (int i = 0; i < 1000 || pings.load() < 50; ++i) {
        TurnWheel(doc, i % 2 ? 120 : -120, i % 3 == 0);
        doc.EditSettings([i](CEchogramDoc& d) {
            double start = d.m_start;
            CEchogramInteraction::AutoStart(10.0 + i % 50, d.m_start, d.m_range, start);
            d.m_start = start;
            d.m_variableDepthValue = i;
        });
        const bool low = i % 7 == 0;
        doc.SetViewSize(low ? 14 : 100 + i % 20, 200 + i % 30, low);
        doc.SetViewCount(146 + i % 5);
        if (i % 50 == 0) {
            doc.OnRangeSettings();
            doc.OnEchogramFilter();
        }
    }
    stop.store(true);
    pingThread.join();
    EXPECT_GE(pings.load(), 50);
    doc.SetViewSize(100, 200, true);
    EXPECT_EQ(doc.GetLayerCounter(), 0);
}

}  // namespace
