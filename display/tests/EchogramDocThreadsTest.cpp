// An echogram document's settings edited on the user-interface thread while
// pings run through it on the ping-data thread: the settings dialog's values
// (names included) go in and come out while the document updates.
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Holds no state, so that the only shared data is the document's.
class QuietChannel : public CStubEchogramChannel
{
public:
    void SetEchogramInfo(bool, bool, const std::string& partner, bool) override { m_length += partner.size(); }
    bool IsNoiseCompensationOn() const override { return true; }

private:
    std::size_t m_length = 0;
};

TEST(EchogramDocThreads, SettingsDialogValuesGoInWhilePingsRun)
{
    // Read by both threads, written by none while they run.
    CTestDisplayContext program;
    program.sources = {{"Partner", 12.0}};

    QuietChannel channel;
    CEchogramDoc doc(program.Context());
    doc.SetEchogramChannel(&channel);
    doc.SetColumnLength(200);
    doc.SetTotalRows(300);
    doc.m_publishPartner = true;
    doc.m_externalDepth = true;

    std::atomic<bool> stop{false};
    std::atomic<int> pings{0};
    std::thread pingThread([&] {
        while (!stop.load()) {
            doc.OnSourceUpdate(1);
            pings.fetch_add(1);
        }
    });
    // Names long enough to live outside the string, so that each change
    // frees the old text.
    const std::string longName(80, 'p'), otherName(120, 'q');
    for (int i = 0; i < 2000 || pings.load() < 50; ++i) {
        CEchogramDoc::SettingsDialogValues v = doc.MakeSettingsDialogValues();
        v.importOn = true;
        v.importSource = i % 2 ? longName : otherName;
        v.externalDepthOn = true;
        v.externalDepthSource = i % 2 ? otherName : longName;
        v.echogramKind = i % 3 == 0 ? CEchogramDoc::kTrawlOrSidescan : CEchogramDoc::kBottom;
        v.noiseOffset = i;
        v.noiseTracking = i % 2;
        doc.ApplySettingsDialogValues(v);
    }
    stop.store(true);
    pingThread.join();
    EXPECT_TRUE(doc.m_partnerName == longName || doc.m_partnerName == otherName);
    EXPECT_GE(pings.load(), 50);
}

}  // namespace
