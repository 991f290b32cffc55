// Pings, sentences and annotations written from three threads at once, with
// the raw file rolling over meanwhile: every file reads back whole and every
// datagram is in exactly one of them.
#include "recording/tests/StoreFixture.h"

#include "platform/ByteReader.h"

#include <atomic>
#include <future>
#include <thread>

using namespace zv::recording;
using namespace zv::recording::test;

TEST(StoreThreadsTest, ConcurrentWritersNeverInterleave)
{
    TempFolder dir;
    CFakeSounder sounder(3);
    CFakeEvents events;
    CFakeSink sink;
    SStoreSettings s;
    s.filePath = (dir.path / "data").string();
    s.saveRawData = 1;
    s.saveOutData = 1;
    s.out[0] = 1;
    s.maxFileSize = 20000;
    constexpr int kPings = 200, kSentences = 500, kNotes = 100;
    {
        CStore store(sounder, events, &sink, s);
        store.OnToggleLogging();
        store.WritePing();  // opens the files, so no sentence is dropped before
        std::thread pings([&] {
            for (int p = 1; p <= kPings; ++p) {
                sounder.SetPing(p, FileTime(p));
                store.WritePing();
            }
        });
        std::thread sentences([&] {
            for (int i = 0; i < kSentences; ++i)
                store.WriteNmeaToFiles("$GPGGA," + std::to_string(i), 1);
        });
        std::thread notes([&] {
            for (int i = 0; i < kNotes; ++i)
                store.WriteAnnotationDatagram("note " + std::to_string(i), 2);
        });
        pings.join();
        sentences.join();
        notes.join();
        store.OnToggleLogging();
    }
    std::size_t samples = 0, sentencesRead = 0, notesRead = 0;
    const auto raws = FilesWith(dir.path / "data", ".raw");
    EXPECT_GT(raws.size(), 5u);
    for (const auto& f : raws) {
        const SReadBack rb = ReadBack(f);
        EXPECT_EQ(rb.skipped, 0u) << f;
        EXPECT_EQ(rb.types.at(0), kTypeCON0);
        EXPECT_EQ(rb.power.size() % 3, 0u);
        samples += rb.power.size();
        sentencesRead += rb.sentences.size();
        notesRead += rb.annotations.size();
    }
    EXPECT_EQ(samples, std::size_t(kPings + 1) * 3);
    EXPECT_EQ(sentencesRead, std::size_t(kSentences));
    EXPECT_EQ(notesRead, std::size_t(kNotes));
    const auto outs = FilesWith(dir.path / "data", ".out");
    ASSERT_EQ(outs.size(), 1u);
    const SReadBack out = ReadBack(outs[0]);
    EXPECT_EQ(out.skipped, 0u);
    EXPECT_EQ(out.depths.size(), std::size_t(kPings + 1));
    EXPECT_EQ(out.sentences.size(), std::size_t(kSentences));
    // The UDP copy: the configuration again after every raw file opened.
    std::size_t udpSamples = 0, udpConfigs = 0;
    for (const auto& b : sink.bodies) {
        udpSamples += CByteReader(b).U32(0) == kTypeRAW0;
        udpConfigs += CByteReader(b).U32(0) == kTypeCON0;
    }
    EXPECT_EQ(udpSamples, std::size_t(kPings + 1) * 3);
    EXPECT_EQ(udpConfigs, raws.size());
    EXPECT_EQ(CByteReader(sink.bodies.at(0)).U32(0), kTypeCON0);
}

// Logging goes off while a ping is being gathered: the ping began with
// logging on, but it must not open a file once the switch has closed them,
// or that file would stay open with logging off.
TEST(StoreThreadsTest, PingInFlightWhenLoggingStopsOpensNoFile)
{
    struct CStallingSounder : CFakeSounder
    {
        CStallingSounder() : CFakeSounder(2) {}
        bool GetPingChannel(std::size_t i, SSampleData& out) override
        {
            if (!stalled.exchange(true)) {
                inside.set_value();
                go.get_future().wait();
            }
            return CFakeSounder::GetPingChannel(i, out);
        }
        std::atomic<bool> stalled{false};
        std::promise<void> inside, go;
    };
    TempFolder dir;
    CStallingSounder sounder;
    CFakeEvents events;
    SStoreSettings s;
    s.filePath = (dir.path / "data").string();
    s.saveRawData = 1;
    s.saveOutData = 1;
    s.out[0] = 1;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        auto inside = sounder.inside.get_future();
        std::thread ping([&] { store.WritePing(); });
        inside.wait();
        store.OnToggleLogging();
        sounder.go.set_value();
        ping.join();
        EXPECT_TRUE(FilesWith(dir.path / "data", ".raw").empty());
        EXPECT_TRUE(FilesWith(dir.path / "data", ".out").empty());
        EXPECT_TRUE(events.logLines.empty());
    }
}
