// The sounder's own document list takes every ping: a document attached to
// it gets its column from the real channel on the ping-data thread.
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"

#include "engine/Channel.h"
#include "platform/TempHives.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

using namespace std::chrono_literals;

TEST(EchoSounderDocuments, PingsReachAnAttachedEchogramDocument)
{
    CTempHives hives;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    CCallLog log;
    CTestTransceiver::Options unit;
    unit.name = "A";
    unit.seed = 5;
    unit.log = &log;
    {
        HKEY key = installation.OpenChannelsKey();
        CTrList e;
        e.transceiverId = unit.name;
        e.channelNo = 1;
        e.type = TransceiverType::HXU;
        const std::string description = "A 1";
        e.FormatDescription(&description, TransceiverType::HXU);
        installation.WriteChannelEntry(e, key);
        reg.CloseKey(key);
    }

    std::mutex lock;
    std::condition_variable cv;
    int updates = 0;
    // The views of the document: every ping counted, on the ping-data thread.
    struct Views : IViewUpdates
    {
        std::mutex& lock;
        std::condition_variable& cv;
        int& updates;
        Views(std::mutex& l, std::condition_variable& c, int& u) : lock(l), cv(c), updates(u) {}
        void UpdateViews(CAbstractESDoc&) override
        {
            {
                std::lock_guard lk(lock);
                ++updates;
            }
            cv.notify_all();
        }
    } views(lock, cv, updates);
    SDisplayContext display;
    display.model = SounderModel::TQ30;
    display.viewUpdates = &views;

    CTestEchoSounderHost host;
    CEchoSounder::Context c;
    c.host = &host;
    c.installation = &installation;
    c.model = SounderModel::QY310;
    c.workerStartDelayMs = 0;
    host.createTransceiver = [&](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
        return std::unique_ptr<CTransceiver>(std::make_unique<CTestTransceiver>(unit));
    };
    host.createDocuments = [] { return std::make_unique<CESDocList>(); };

    CEchogramDoc doc(display);
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(c, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    auto* list = dynamic_cast<CESDocList*>(sounder->GetDocuments());
    ASSERT_NE(list, nullptr);
    doc.m_rangeReference = CEchogramDoc::SURFACE;
    doc.m_echogramType = CEchogramDoc::SV_20;
    doc.m_range = 20.0;
    doc.m_start = 0.0;
    doc.SetColumnLength(64);
    doc.SetChannel(sounder->GetChannel(0));
    doc.SetSource(list);
    doc.AttachToSource();
    {
        std::unique_lock lk(lock);
        ASSERT_TRUE(cv.wait_for(lk, 20s, [&] { return updates >= 3; }));
    }
    sounder.reset();
    // The list went with the sounder and let go of the document.
    EXPECT_FALSE(doc.IsRegistered());
    EXPECT_EQ(doc.GetColumnLengthDelivered(), 64);
    int withData = 0;
    for (int i = 0; i < 64; ++i)
        withData += doc.GetColumn()[i] != CEchogramDoc::kNoData ? 1 : 0;
    EXPECT_GT(withData, 0);
    reg.CloseRootKeys();
}

}  // namespace
