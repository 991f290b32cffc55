// What an echogram view writes into its document while pings run through it
// on the ping-data thread: the wheel's window steps, the automatic start,
// the marker, resizes that freeze and thaw it, and the range and filter
// dialogs' values. Each goes in under the document's settings lock, as the
// view writes them.
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

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
    doc.m_surfaceAutoRange = doc.m_surfaceAutoStart = true;

    std::atomic<bool> stop{false};
    std::atomic<int> pings{0};
    std::thread pingThread([&] {
        while (!stop.load()) {
            doc.OnSourceUpdate(1);
            pings.fetch_add(1);
        }
    });
    for (int i = 0; i < 1000 || pings.load() < 50; ++i) {
        // The view's own calls: the wheel over the strip, plain and with
        // Shift; the automatic range and start of a ping's depth, a damaged
        // one among them; the marker's drag.
        doc.StripWheel(i % 2 ? 120 : -120, i % 3 == 0, false, 0.0, false, 0.0);
        doc.FollowBottom(i % 97 == 0 ? 20000.0 : 10.0 + i % 50);
        doc.SetMarkerValue(i);
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
