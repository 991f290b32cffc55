// The replay transceiver over generated and recorded files: one ping-ready
// release a ping with the datagram's own time, channels built from the
// configuration, next file, loop and end, seeking, and refusal of files that
// do not fit.
#include "recording/Replay.h"
#include "base/RegistrySupport.h"
#include "platform/TempHives.h"
#include "recording/ReplayEnvironmentHost.h"
#include "sensors/Environment.h"

#include "base/AppIds.h"
#include "engine/AngleWord.h"
#include "engine/Channel.h"
#include "platform/ByteWriter.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "recording/tests/StoreFixture.h"
#include "sim/recgen/RecordingGenerator.h"
#include "transceivers/tests/TestTransceiverDialogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

using namespace zv::recording;
using namespace zv::recording::test;
using namespace zv::recgen;

namespace {

struct Host : IReplayHost
{
    void PingReady(FileTime t) override { pings.push_back(t); }
    void SetTide(double m) override { tide = m; }
    void ParseNmea(const std::string& t, FileTime) override { sentences.push_back(t); }
    void AddAnnotation(const std::string& t, FileTime) override { annotations.push_back(t); }
    void SendProfileToOutputs(const std::string& t, FileTime) override { outputs.push_back(t); }
    void ApplyReplayProfile(const std::string& t, FileTime, const std::string& folder) override
    {
        applied.push_back(folder + "|" + t);
    }
    void RestartReplay(const CReplayFileList& list) override { restarts.push_back(list.m_currentIndex); }
    void UpdateReplayButtons(FileTime s, FileTime e, const std::string& name) override
    {
        buttons.push_back(name);
        start = s;
        end = e;
    }
    ITransceiverDialogs* TransceiverDialogs() override { return dialogs; }
    ITransceiverDialogs* dialogs = nullptr;
    std::vector<FileTime> pings;
    std::vector<std::string> sentences, annotations, outputs, applied, buttons;
    std::vector<int> restarts;
    double tide = 0.0;
    FileTime start = 0, end = 0;
};

// The test thread's window stands in for the main frame and keeps what it gets.
struct Frame
{
    Frame()
    {
        hwnd = CreateMessageWindow([this](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            got.push_back({m, w, l});
            return 0;
        });
        SetMainWindow(hwnd);
    }
    ~Frame()
    {
        SetMainWindow(0);
        DestroyWindow(hwnd);
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    }
    int Count(UINT m, WPARAM w) const
    {
        return int(std::count_if(got.begin(), got.end(), [&](const Got& g) { return g.m == m && g.w == w; }));
    }
    int Count(UINT m, WPARAM w, LPARAM l) const
    {
        return int(
            std::count_if(got.begin(), got.end(), [&](const Got& g) { return g.m == m && g.w == w && g.l == l; }));
    }
    struct Got
    {
        UINT m;
        WPARAM w;
        LPARAM l;
    };
    HWND hwnd = 0;
    std::vector<Got> got;
};

struct ReplayTest : ::testing::Test
{
    fs::path Generate(const std::string& name, std::initializer_list<const char*> settings)
    {
        SRecGenScene scene;
        std::string error;
        for (const char* s : {"pings=12", "channels=38,120", "samples=400", "annotate-every=5", "svp-kind=3"})
            EXPECT_TRUE(ApplySetting(scene, s, &error)) << error;
        for (const char* s : settings)
            EXPECT_TRUE(ApplySetting(scene, s, &error)) << error;
        gen = std::make_unique<CRecordingGenerator>(scene);
        const fs::path p = dir.path / name;
        EXPECT_TRUE(gen->Write(p.string(), nullptr, &error)) << error;
        return p;
    }
    // Trigger and process until the replay stops or n rounds have run.
    void Run(CReplay& replay, int rounds)
    {
        for (int i = 0; i < rounds && !replay.IsStopped(); ++i) {
            const std::size_t before = host.pings.size();
            replay.Trigger(0);
            if (host.pings.size() > before)
                replay.ProcessPing(host.pings.back());
        }
        frame.Pump();
    }

    TempFolder dir;
    Frame frame;
    Host host;
    std::unique_ptr<CRecordingGenerator> gen;
};

}  // namespace

TEST_F(ReplayTest, PlaysAFileOncePerPingWithTheDatagramTime)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {}).string());
    list.m_loop = 0;
    CReplay replay(list, &host);
    ASSERT_TRUE(replay.IsOpen());
    ASSERT_EQ(replay.GetChannelCount(), 2);
    CChannel* ch1 = replay.GetChannelId(1);
    ASSERT_NE(ch1, nullptr);
    EXPECT_EQ(ch1->GetChannelName(), "Replay 120 kHz");
    // The transceiver's name for it is the recorded channel's own, so the
    // depth row shows the two side by side.
    EXPECT_EQ(replay.GetChannelName(ch1), "Synthetic 120 kHz CH2");
    EXPECT_DOUBLE_EQ(ch1->GetFrequency(), 120000.0);

    // The first ping: its samples are with the channel once it is processed.
    replay.Trigger(0);
    ASSERT_EQ(host.pings.size(), 1u);
    replay.ProcessPing(host.pings[0]);
    CChannel::ParameterCopy copy;
    ch1->GetChannelParameters(copy);
    std::vector<std::int16_t> power, angle;
    gen->PingSamples(0, 1, power, angle);
    ASSERT_GE(copy.Power.size(), power.size());
    EXPECT_TRUE(std::equal(power.begin(), power.end(), copy.Power.begin()));
    EXPECT_NEAR(copy.Parameters.PulseLength, gen->Scene().channels[1].pulseDuration, 1e-9);
    EXPECT_NEAR(copy.Parameters.SampleDistance,
                gen->Scene().channels[1].sampleInterval * 0.5 * gen->Scene().soundVelocity, 1e-4);
    EXPECT_EQ(ch1->GetPingTime(), PingTime(gen->Scene(), 0));
    EXPECT_DOUBLE_EQ(host.tide, 0.35);

    Run(replay, 100);
    // Once per ping, each with the ping's own time from the file.
    ASSERT_EQ(host.pings.size(), 12u);
    for (int p = 0; p < 12; ++p)
        EXPECT_EQ(host.pings[std::size_t(p)], PingTime(gen->Scene(), p));
    EXPECT_TRUE(replay.IsStopped());
    EXPECT_EQ(host.sentences.size(), 36u);
    EXPECT_EQ(host.annotations.size(), 3u);
    EXPECT_EQ(host.outputs, std::vector<std::string>{ProfileText(gen->Scene())});
    ASSERT_EQ(host.applied.size(), 1u);
    EXPECT_EQ(host.applied[0], (dir.path / "").string() + "|" + ProfileText(gen->Scene()));
    EXPECT_EQ(host.buttons, std::vector<std::string>{list.GetFileName(0)});
    EXPECT_EQ(host.end, PingTime(gen->Scene(), 11));

    // The bar reached 200; the end closes the recorder's files and says so.
    EXPECT_EQ(frame.Count(app::WM_ES_REPLAYTIME, 200), 1);
    EXPECT_EQ(frame.Count(WM_COMMAND, 33792), 1);
    EXPECT_EQ(frame.Count(app::WM_ES_STATUSMESSAGE, IDS_REPLAY_END_OF_FILE, 1), 1);
    EXPECT_GE(frame.Count(WM_COMMAND, 32851), 1);
    EXPECT_EQ(replay.GetRecordedText1(), list.GetFileName(0));
    EXPECT_EQ(replay.GetRecordedText2(), "a.raw");
    EXPECT_EQ(replay.GetRecordedText3(), "L0001");
}

TEST_F(ReplayTest, NextFileThenLoopBackToTheFirst)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {"pings=3"}).string());
    list.AddTail(Generate("b.raw", {"pings=4", "start-unix=1767229200"}).string());
    list.m_loop = 1;
    CReplay replay(list, &host);
    ASSERT_TRUE(replay.IsOpen());
    Run(replay, 3 + 4 + 2);
    EXPECT_FALSE(replay.IsStopped());
    ASSERT_EQ(host.pings.size(), 9u);
    EXPECT_EQ(host.pings[3], PingTime(gen->Scene(), 0));  // b.raw's first ping
    EXPECT_EQ(host.buttons.size(), 3u);
    EXPECT_EQ(host.buttons[2], list.GetFileName(0));
    EXPECT_EQ(frame.Count(app::WM_ES_STATUSMESSAGE, IDS_REPLAY_TOP_OF_FILE, 0), 2);
    EXPECT_TRUE(host.restarts.empty());
}

TEST_F(ReplayTest, AFileOfOtherChannelsRestartsReplay)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {"pings=2"}).string());
    list.AddTail(Generate("b.raw", {"pings=2", "channels=200"}).string());
    CReplay replay(list, &host);
    Run(replay, 10);
    EXPECT_TRUE(replay.IsStopped());
    EXPECT_EQ(host.pings.size(), 2u);
    EXPECT_EQ(host.restarts, std::vector<int>{1});
}

TEST_F(ReplayTest, AFileThatCannotBeReplayedLeavesNoChannelsAndTellsWhy)
{
    const fs::path good = Generate("good.raw", {"pings=2"});
    std::ifstream in(good, std::ios::binary);
    const std::string recording{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    struct Case
    {
        const char* legend;
        const char* name;
        std::string contents;  // none: the file does not exist
        bool exists;
        const char* reason;
    };
    const Case cases[] = {
        {"missing file", "missing.raw", "", false, "No such file or directory"},
        {"empty file", "empty.raw", "", true, "empty file"},
        {"text, not a recording", "text.raw", "this is not a recording at all, just some text", true,
         "does not start with a configuration"},
        {"recording cut inside its configuration", "cut.raw", recording.substr(0, 300), true,
         "does not start with a configuration"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const fs::path file = dir.path / c.name;
        if (c.exists)
            std::ofstream(file, std::ios::binary) << c.contents;
        ClearMessageBoxRecord();
        frame.got.clear();
        CReplayFileList list;
        list.AddTail(file.string());
        CReplay replay(list, &host);
        EXPECT_FALSE(replay.IsOpen());
        EXPECT_EQ(replay.Trigger(0), 0);
        frame.Pump();
        EXPECT_EQ(frame.Count(app::WM_ES_STATUSMESSAGE, IDS_REPLAY_INVALID_FILE, 1), 1);
        EXPECT_TRUE(host.pings.empty());
        // The box names the file and the reader's reason.
        const auto boxes = MessageBoxRecord();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find("Invalid Replay File"), std::string::npos) << boxes[0].text;
        EXPECT_NE(boxes[0].text.find(file.string() + ": "), std::string::npos) << boxes[0].text;
        EXPECT_NE(boxes[0].text.find(c.reason), std::string::npos) << boxes[0].text;
        EXPECT_EQ(boxes[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
    }

    CReplay nothing;  // built by name: does nothing
    EXPECT_EQ(nothing.Trigger(0), 0);
    EXPECT_EQ(nothing.GetRecordedText1(), "");
}

TEST_F(ReplayTest, ANextFileThatIsGoneRestartsReplayWhichThenSaysWhy)
{
    // The box comes from the restarted replay, which opens that file first;
    // the one that ran into it only raises the alarm, so it is told once.
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {"pings=2"}).string());
    list.AddTail((dir.path / "gone.raw").string());
    ClearMessageBoxRecord();
    CReplay replay(list, &host);
    Run(replay, 10);
    EXPECT_TRUE(replay.IsStopped());
    EXPECT_EQ(host.restarts, std::vector<int>{1});
    EXPECT_EQ(frame.Count(app::WM_ES_STATUSMESSAGE, IDS_REPLAY_INVALID_FILE, 1), 1);
    EXPECT_TRUE(MessageBoxRecord().empty());
    EXPECT_NE(replay.OpenError().find("gone.raw: "), std::string::npos);
}

TEST_F(ReplayTest, SeekToTheStartReplaysTheFirstPing)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {}).string());
    CReplay replay(list, &host);
    Run(replay, 5);
    ASSERT_EQ(host.pings.size(), 5u);
    replay.RequestPosition(1);
    Run(replay, 1);
    EXPECT_EQ(host.pings.back(), PingTime(gen->Scene(), 0));
}

TEST_F(ReplayTest, APingReadAheadReachesTheHostAndTheChannelsOnlyWithItsOwnTrigger)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {"pings=6"}).string());
    list.m_loop = 0;
    CReplay replay(list, &host);
    ASSERT_TRUE(replay.IsOpen());
    CChannel* ch1 = replay.GetChannelId(1);
    ASSERT_NE(ch1, nullptr);
    std::vector<std::string> sentences;
    for (int p = 0; p < 6; ++p) {
        SCOPED_TRACE(p);
        replay.Trigger(0);
        ASSERT_EQ(host.pings.size(), std::size_t(p + 1));
        EXPECT_EQ(host.pings.back(), PingTime(gen->Scene(), p));
        // The sentences up to this ping's samples (those of the next ping
        // come before its samples in the file, so they end this ping) and
        // its count; none of the ping after it, which has been read from
        // the file already.
        if (p == 0)
            sentences = gen->PingSentences(0);
        if (p + 1 < 6)
            for (const std::string& s : gen->PingSentences(p + 1))
                sentences.push_back(s);
        EXPECT_EQ(host.sentences.size(), sentences.size());
        EXPECT_EQ(replay.PingCounter(), p + 1);
        replay.ProcessPing(host.pings.back());
        EXPECT_EQ(ch1->GetPingTime(), PingTime(gen->Scene(), p));
        CChannel::ParameterCopy copy;
        ch1->GetChannelParameters(copy);
        std::vector<std::int16_t> power, angle;
        gen->PingSamples(p, 1, power, angle);
        ASSERT_GE(copy.Power.size(), power.size());
        EXPECT_TRUE(std::equal(power.begin(), power.end(), copy.Power.begin()));
    }
    EXPECT_EQ(host.sentences.size(), sentences.size());
    for (std::size_t i = 0; i < sentences.size() && i < host.sentences.size(); ++i)
        EXPECT_NE(host.sentences[i].find(sentences[i].substr(0, 6)), std::string::npos) << host.sentences[i];
    // A move in the file drops the ping read ahead: the next comes from the
    // place asked for.
    CReplayFileList again;
    again.AddTail(list.GetFileName(0));
    again.m_loop = 0;
    Host other;
    CReplay second(again, &other);
    for (int p = 0; p < 3; ++p)
        second.Trigger(0);
    second.RequestPosition(1);
    second.Trigger(0);
    ASSERT_EQ(other.pings.size(), 4u);
    EXPECT_EQ(other.pings.back(), PingTime(gen->Scene(), 0));
    EXPECT_EQ(second.PingCounter(), 1);
}

TEST_F(ReplayTest, RecordedThenReplayedKeepsSamplesAndTexts)
{
    CFakeSounder sounder(2, 64);
    CFakeEvents events;
    SStoreSettings s;
    s.filePath = (dir.path / "rec").string();
    s.saveRawData = 1;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        for (int p = 0; p < 4; ++p) {
            sounder.SetPing(p, 1000 + FileTime(p));
            store.WritePing();
            store.WriteNmeaToFiles("$GPGLL," + std::to_string(p), 1000 + FileTime(p));
        }
        store.WriteAnnotationDatagram("last", 2000);
        store.WriteSvpToFiles("1,0.00,1490.00", 2001, 3);
        store.OnToggleLogging();
    }
    const auto raws = FilesWith(dir.path / "rec", ".raw");
    ASSERT_EQ(raws.size(), 1u);
    CReplayFileList list;
    list.AddTail(raws[0].string());
    list.m_loop = 0;
    CReplay replay(list, &host);
    ASSERT_TRUE(replay.IsOpen());
    for (int p = 0; p < 4; ++p) {
        replay.Trigger(0);
        ASSERT_EQ(host.pings.size(), std::size_t(p + 1));
        replay.ProcessPing(host.pings.back());
        for (int c = 0; c < 2; ++c) {
            CChannel::ParameterCopy copy;
            replay.GetChannelId(c)->GetChannelParameters(copy);
            ASSERT_GE(copy.Power.size(), 64u);
            EXPECT_EQ(copy.Power[0], CFakeSounder::Expected(p, c, 0));
            EXPECT_EQ(copy.Power[63], CFakeSounder::Expected(p, c, 63));
        }
    }
    Run(replay, 3);
    EXPECT_EQ(host.sentences, (std::vector<std::string>{"$GPGLL,0", "$GPGLL,1", "$GPGLL,2", "$GPGLL,3"}));
    EXPECT_EQ(host.annotations, std::vector<std::string>{"last"});
    EXPECT_EQ(host.outputs, std::vector<std::string>{"1,0.00,1490.00"});
}

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendFrame(Bytes& file, std::span<const std::uint8_t> body)
{
    Bytes len(4);
    CByteWriter(len).U32(0, std::uint32_t(body.size()));
    file.insert(file.end(), len.begin(), len.end());
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), len.begin(), len.end());
}

SConfiguration Channels(int count)
{
    SConfiguration c;
    c.fileName = "wide.raw";
    for (int i = 0; i < count; ++i) {
        SConfigChannel ch;
        ch.id = "Test " + std::to_string(10 * (i + 1)) + " kHz";
        ch.frequency = 10000.0 * (i + 1);
        c.channels.push_back(ch);
    }
    return c;
}

SSampleData Ping(std::uint16_t channel, FileTime time, const std::vector<std::int16_t>& power,
                 const std::vector<std::int16_t>& angle)
{
    SSampleData d;
    d.header.time = time;
    d.header.channel = channel;
    d.header.sampleInterval = 0.0001;
    d.header.soundVelocity = 1500;
    d.power = power;
    d.angle = angle;
    return d;
}

}  // namespace

TEST_F(ReplayTest, ARecordingOfNineChannelsPlaysTheFirstEightAndSaysSo)
{
    // The writer makes at most eight records; the ninth is a copy of the
    // eighth under its own name, appended as another program would.
    const CFramedDatagram eight = CDatagramWriter::BuildConfiguration(Channels(9), CDatagramWriter::EChannels::All);
    Bytes con(eight.Body().begin(), eight.Body().end());
    Bytes ninth(con.end() - 320, con.end());
    CByteWriter(ninth).Text(0, 128, "Test 90 kHz");
    con.insert(con.end(), ninth.begin(), ninth.end());
    CByteWriter(con).U32(kConChannelCount, 9);
    Bytes file;
    AppendFrame(file, con);
    const std::vector<std::int16_t> power(20, 500), angle;
    for (std::uint16_t c = 1; c <= 9; ++c)
        AppendFrame(file, CDatagramWriter::BuildSample(Ping(c, 5000, power, angle)).Body());
    const fs::path path = dir.path / "nine.raw";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));

    ClearMessageBoxRecord();
    CReplayFileList list;
    list.AddTail(path.string());
    list.m_loop = 1;
    CReplay replay(list, &host);
    ASSERT_TRUE(replay.IsOpen());
    EXPECT_EQ(replay.GetChannelCount(), 8);
    Run(replay, 3);  // the same file three times over
    EXPECT_EQ(host.pings.size(), 3u);
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u) << "told once a file, not once a loop";
    EXPECT_NE(boxes[0].text.find("nine.raw: the recording describes 9 channels; the first 8 are replayed"),
              std::string::npos)
        << boxes[0].text;
}

TEST_F(ReplayTest, AnglesReachTheChannelBesidePowerOrAloneButNotFromWideBandDatagrams)
{
    const std::vector<std::int16_t> power = {100, 200, 300, 400}, angle = {0x0102, 0x0304, 0x0506, 0x0708};
    const std::vector<float> trace = {1, 2, 3, 4};
    struct Row
    {
        const char* legend;
        std::uint16_t flags;
        bool angles;
    };
    for (const Row& row :
         {Row{"power and angles", 3, true}, Row{"angles alone", 2, true}, Row{"wide band with angles", 11, false}}) {
        SCOPED_TRACE(row.legend);
        SSampleData d = Ping(1, 7000, power, angle);
        if (row.flags & 8) {
            d.trace1 = trace;
            d.trace2 = trace;
        }
        CFramedDatagram raw = CDatagramWriter::BuildSample(d);
        // Angles alone keep the power block's room, as flags 3 lay it out.
        CByteWriter(raw.BodyData(), raw.BodySize()).U16(kRawFlags, row.flags);
        Bytes file;
        AppendFrame(file, CDatagramWriter::BuildConfiguration(Channels(1), CDatagramWriter::EChannels::All).Body());
        AppendFrame(file, raw.Body());
        const fs::path path = dir.path / (std::to_string(row.flags) + ".raw");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));

        CReplayFileList list;
        list.AddTail(path.string());
        Host h;
        CReplay replay(list, &h);
        ASSERT_TRUE(replay.IsOpen());
        replay.Trigger(0);
        ASSERT_EQ(h.pings.size(), 1u);
        replay.ProcessPing(h.pings[0]);
        CChannel::ParameterCopy copy;
        replay.GetChannelId(0)->GetChannelParameters(copy);
        const std::vector<std::uint16_t> want(angle.begin(), angle.end());
        EXPECT_EQ(copy.Angles, row.angles ? want : std::vector<std::uint16_t>{});
        EXPECT_EQ(copy.Power.size(), row.flags & 1 ? power.size() : 0u);
    }
}

// The samples of a datagram reach its channel behind as many empty words as
// its first-sample index says; a channel's second datagram in the same ping
// follows its first; and the next ping holds its own samples only.
TEST_F(ReplayTest, EmptyLeadingSamplesAndAChannelsSecondDatagramStageAsRecorded)
{
    constexpr int kMax = CChannel::kMaxSamples;
    constexpr std::int16_t kNoEcho = -20000;
    const std::vector<std::int16_t> power = {100, 200, 300, 400}, angle = {0x0102, 0x0304, 0x0506, 0x0708};
    const std::vector<std::int16_t> nextPower = {7, 8}, nextAngle = {0x0909, 0x0A0A};
    struct Row
    {
        const char* legend;
        std::vector<std::uint32_t> leads;  // one datagram of channel 1 a lead
        std::vector<std::int16_t> power;   // what the channel holds
        std::vector<std::uint16_t> angles;
    };
    std::vector<std::int16_t> nearTheEnd(kMax, kNoEcho);
    nearTheEnd[kMax - 2] = 100;
    nearTheEnd[kMax - 1] = 200;
    std::vector<std::uint16_t> nearTheEndAngles(kMax, 0);
    nearTheEndAngles[kMax - 2] = 0x0102;
    nearTheEndAngles[kMax - 1] = 0x0304;
    const Row rows[] = {
        {"three empty samples first",
         {3},
         {kNoEcho, kNoEcho, kNoEcho, 100, 200, 300, 400},
         {0, 0, 0, 0x0102, 0x0304, 0x0506, 0x0708}},
        {"a second datagram behind the first",
         {0, 1},
         {100, 200, 300, 400, kNoEcho, 100, 200, 300, 400},
         {0x0102, 0x0304, 0x0506, 0x0708, 0, 0x0102, 0x0304, 0x0506, 0x0708}},
        {"a lead near the channel's end keeps what fits", {kMax - 2}, nearTheEnd, nearTheEndAngles},
    };
    int file = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Bytes bytes;
        AppendFrame(bytes, CDatagramWriter::BuildConfiguration(Channels(1), CDatagramWriter::EChannels::All).Body());
        for (std::uint32_t lead : row.leads) {
            SSampleData d = Ping(1, 7000, power, angle);
            d.header.sampleOffset = lead;
            AppendFrame(bytes, CDatagramWriter::BuildSample(d).Body());
        }
        AppendFrame(bytes, CDatagramWriter::BuildSample(Ping(1, 8000, nextPower, nextAngle)).Body());
        const fs::path path = dir.path / ("lead" + std::to_string(file++) + ".raw");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

        CReplayFileList list;
        list.AddTail(path.string());
        Host h;
        CReplay replay(list, &h);
        ASSERT_TRUE(replay.IsOpen());
        CChannel::ParameterCopy copy;
        replay.Trigger(0);
        ASSERT_EQ(h.pings.size(), 1u);
        replay.ProcessPing(h.pings[0]);
        replay.GetChannelId(0)->GetChannelParameters(copy);
        EXPECT_EQ(copy.Power, row.power);
        EXPECT_EQ(copy.Angles, row.angles);

        replay.Trigger(0);
        ASSERT_EQ(h.pings.size(), 2u);
        replay.ProcessPing(h.pings[1]);
        replay.GetChannelId(0)->GetChannelParameters(copy);
        EXPECT_EQ(copy.Power, nextPower);
        EXPECT_EQ(copy.Angles, std::vector<std::uint16_t>(nextAngle.begin(), nextAngle.end()));
    }
}

TEST(DecodeAngleWordTest, SignedBytesInStepsOf180Over128)
{
    struct Row
    {
        std::uint16_t word;
        double along, athwart;
    };
    for (const Row& r : {Row{0x0000, 0, 0}, Row{0x7F80, 127 * 180.0 / 128, -180.0},
                         Row{0xFF01, -180.0 / 128, 180.0 / 128}, Row{0x8040, -180.0, 90.0}}) {
        double a = 99, b = 99;
        DecodeAngleWord(r.word, &a, &b);
        EXPECT_DOUBLE_EQ(a, r.along) << std::hex << r.word;
        EXPECT_DOUBLE_EQ(b, r.athwart) << std::hex << r.word;
        DecodeAngleWord(r.word, nullptr, &b);
        DecodeAngleWord(r.word, &a, nullptr);
        EXPECT_DOUBLE_EQ(a, r.along);
    }
}

TEST_F(ReplayTest, ReprocessedInstallationSetsDraughtAndHeaveCorrection)
{
    struct InstallHost : Host
    {
        bool RunInstallationDialog(SReplayInstallation& block, int& applyHeave, int& reprocess, int& applyAll,
                                   const std::function<bool()>&) override
        {
            ++shown;
            seenChannels = block.channelCount;
            seenName = block.channels[1].name;
            if (!accept)
                return false;
            block.channels[0].draught = 1.5;
            block.channels[0].x = 2.0;
            block.channels[0].y = -1.0;
            block.channels[0].z = 3.0;
            applyHeave = 1;
            reprocess = 1;
            applyAll = 1;
            return true;
        }
        bool accept = true;
        int shown = 0, seenChannels = 0;
        std::string seenName;
    };
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {"heave=0.8", "roll=4", "pitch=2"}).string());
    list.m_changeInstallation = 1;

    for (bool accept : {true, false}) {
        SCOPED_TRACE(accept ? "OK" : "Cancel");
        InstallHost h;
        h.accept = accept;
        CReplay replay(list, &h);
        ASSERT_EQ(h.shown, 1);
        EXPECT_EQ(h.seenChannels, 2);
        EXPECT_EQ(h.seenName, "120 kHz");
        EXPECT_EQ(replay.GetRecordedInteger1(), 1);
        replay.Trigger(0);
        ASSERT_EQ(h.pings.size(), 1u);
        replay.ProcessPing(h.pings[0]);
        CChannel::ParameterCopy copy;
        replay.GetChannelId(0)->GetChannelParameters(copy);
        const double draught = accept ? 1.5 : gen->Scene().channels[0].draught;
        EXPECT_DOUBLE_EQ(copy.Parameters.TransducerDepth, draught);

        // Heave of the ping, corrected for the lever arm between the motion
        // sensor (0, 0, 1 in the generated file) and the transducer.
        const double x = accept ? 2.0 : gen->Scene().channels[0].x, y = accept ? -1.0 : 0.0,
                     z = accept ? 3.0 : gen->Scene().channels[0].z;
        const double heave = copy.Motion[0], r1 = copy.Motion[1], p1 = copy.Motion[2], r2 = copy.Motion[3],
                     p2 = copy.Motion[4];
        auto lever = [&](double r, double p) {
            r *= 0.0174532925199;
            p *= 0.0174532925199;
            return y * std::sin(r) * std::cos(p) - x * std::sin(p) - (z - 1.0) * (1.0 - std::cos(r) * std::cos(p));
        };
        EXPECT_NE(r1, 0.0);
        EXPECT_NEAR(copy.Motion[5], (lever(r1, p1) + lever(r2, p2)) * 0.5 + heave, 1e-9);
    }
}

// "Reprocess Heave" opens with Reprocess off and Apply to all files on; a
// plain OK keeps the recorded draught, as the block's draughts start at 0.
TEST_F(ReplayTest, PlainOkOnTheInstallationDialogKeepsTheRecordedDraught)
{
    struct PlainOkHost : Host
    {
        bool RunInstallationDialog(SReplayInstallation&, int& applyHeave, int& reprocess, int& applyAll,
                                   const std::function<bool()>&) override
        {
            presets = {applyHeave, reprocess, applyAll};
            return true;
        }
        std::vector<int> presets;
    };
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {}).string());
    list.m_changeInstallation = 1;
    PlainOkHost h;
    CReplay replay(list, &h);
    EXPECT_EQ(h.presets, (std::vector<int>{1, 0, 1}));
    replay.Trigger(0);
    ASSERT_EQ(h.pings.size(), 1u);
    replay.ProcessPing(h.pings[0]);
    CChannel::ParameterCopy copy;
    replay.GetChannelId(0)->GetChannelParameters(copy);
    ASSERT_NE(gen->Scene().channels[0].draught, 0.0);
    EXPECT_DOUBLE_EQ(copy.Parameters.TransducerDepth, gen->Scene().channels[0].draught);
}

// The status window refills from the channels when the replay posts 0x47D:
// by the time it reads them they must hold the recorded settings of the
// ping that caused the post, the very first ping and a file's first after
// the loop back included.
TEST_F(ReplayTest, ChannelStatusIsPostedOnceTheChannelsHoldThePing)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {"pings=3"}).string());
    list.m_loop = 1;
    CReplay replay(list, &host);
    ASSERT_TRUE(replay.IsOpen());
    std::vector<double> draughts, pulses;
    const HWND status = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == app::WM_ES_UPDATECHANNELSTATUS) {
            const CChannel::StatusValues v = replay.GetChannelId(0)->GetStatusValues();
            draughts.push_back(v.Draught);
            pulses.push_back(v.PulseLength);
        }
        return 0;
    });
    SetMainWindow(status);
    // The user-interface thread may run between the trigger thread's read
    // and the ping-data thread's processing.
    for (int round = 0; round < 5; ++round) {
        const std::size_t before = host.pings.size();
        replay.Trigger(0);
        frame.Pump();
        if (host.pings.size() > before)
            replay.ProcessPing(host.pings.back());
        frame.Pump();
    }
    SetMainWindow(frame.hwnd);
    DestroyWindow(status);
    ASSERT_EQ(draughts.size(), 2u) << "the first file's start and the loop back";
    for (std::size_t i = 0; i < draughts.size(); ++i) {
        EXPECT_DOUBLE_EQ(draughts[i], gen->Scene().channels[0].draught) << i;
        EXPECT_NEAR(pulses[i], gen->Scene().channels[0].pulseDuration, 1e-9) << i;
    }
}

TEST_F(ReplayTest, RandomlyDamagedFilesPlayToTheirEnd)
{
    // Bytes flipped anywhere, or the file cut anywhere: replay either refuses
    // the file or plays it to its end, never handing out more pings than the
    // file has sample datagrams.
    const fs::path source = Generate("a.raw", {"pings=6", "samples=100"});
    std::ifstream in(source, std::ios::binary);
    const std::vector<char> good{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::size_t(state >> 33);
    };
    int played = 0;
    for (int round = 0; round < 150; ++round) {
        std::vector<char> bytes = good;
        if (round % 5 == 0) {
            bytes.resize(next() % bytes.size());
        } else {
            for (std::size_t k = 0, n = 1 + next() % 8; k < n; ++k)
                bytes[next() % bytes.size()] = char(next());
        }
        const fs::path p = dir.path / "damaged.raw";
        std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
        CReplayFileList list;
        list.AddTail(p.string());
        list.m_loop = 0;
        Host h;
        CReplay replay(list, &h);
        if (!replay.IsOpen())
            continue;
        for (int i = 0; i < 50 && !replay.IsStopped(); ++i) {
            const std::size_t before = h.pings.size();
            replay.Trigger(0);
            if (h.pings.size() > before)
                replay.ProcessPing(h.pings.back());
        }
        EXPECT_TRUE(replay.IsStopped()) << "round " << round;
        EXPECT_LE(h.pings.size(), 12u) << "round " << round;
        ++played;
        frame.Pump();
    }
    EXPECT_GT(played, 50);
}

TEST_F(ReplayTest, RecordedRealTimeProfileBecomesTheEnvironmentsProfile)
{
    CTempHives hives;
    CRegistrySupport registry;
    ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY210\\1.0\\"));
    const fs::path folder = dir.path / "survey";
    fs::create_directories(folder);
    CReplayFileList list;
    list.AddTail((folder / "a.raw").string());
    Generate("survey/a.raw", {"pings=2"});
    for (bool operatorProfile : {false, true}) {
        SCOPED_TRACE(operatorProfile ? "operator's own profile" : "recorded profile");
        CEnvironment env;
        env.SetUpdateFlag(operatorProfile ? TRUE : FALSE);
        struct Host : CReplayEnvironmentHost
        {
            using CReplayEnvironmentHost::CReplayEnvironmentHost;
            void SendProfileToOutputs(const std::string& t, FileTime) override { outputs.push_back(t); }
            std::vector<std::string> outputs;
        } envHost(&env);
        const std::vector<std::string>& outputs = envHost.outputs;
        frame.got.clear();
        {
            CReplay replay(list, &envHost);
            replay.Trigger(0);
        }
        frame.Pump();
        EXPECT_EQ(outputs, std::vector<std::string>{ProfileText(gen->Scene())});
        const std::string name =
            CReplayEnvironmentHost::ProfileFileName(ProfileText(gen->Scene()), PingTime(gen->Scene(), 0));
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(fs::exists(folder / name), !operatorProfile);
        EXPECT_EQ(frame.Count(app::WM_ES_ENVIRONMENTCHANGED, 0), operatorProfile ? 0 : 1);
        if (!operatorProfile) {
            // What the main frame does with 0x47B on its own thread.
            env.ApplyNewProfile();
            EXPECT_EQ(env.GetSettings().svpFileName, name);
            EXPECT_TRUE(env.IsRealSvp());
            std::ifstream f(folder / name);
            std::string first, second;
            std::getline(f, first);
            std::getline(f, second);
            EXPECT_EQ(first, "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 3 )\r");
            EXPECT_EQ(second, "0.0 1495.0\r");
            fs::remove(folder / name);
        }
    }
    registry.CloseRootKeys();
}

// A replayed channel's settings dialog shows what the recording says of the
// channel, with the replayed file as its remark; the remark it hands back is
// kept on OK and on Cancel (which hands back what it showed), and nothing is
// kept when the dialog could not be shown.
TEST_F(ReplayTest, ChannelDialogShowsTheRecordingAndKeepsTheRemark)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {}).string());
    const SRecGenChannel& recorded = gen->Scene().channels[1];
    CTestTransceiverDialogs dialogs;
    host.dialogs = &dialogs;
    struct Row
    {
        const char* legend;
        int answer;  // 1 OK, 0 Cancel, -1 not shown
        int result;
        bool keepsShown;  // the remark kept is the one shown, not the one typed
        bool kept;
    };
    const Row rows[] = {
        {"OK", 1, 1, false, true},
        {"Cancel", 0, 1, true, true},
        {"not shown", -1, 0, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        CReplay replay(list, &host);
        replay.Trigger(0);  // the record holds the first ping's values
        CChannel* channel = replay.GetChannelId(1);
        ASSERT_TRUE(replay.HasChannelDialog(channel));
        TransceiverDialogValues shown;
        int advancedRuns = 0;
        dialogs.advanced = [&](const AdvancedTransceiverDialogValues& a) {
            ++advancedRuns;
            EXPECT_EQ(a.Text(AdvancedTransceiverDialogValues::kFrequency), "120000");
            return 1;
        };
        dialogs.channel = [&](TransceiverDialogValues& v) {
            shown = v;
            v.advanced();
            // Only the remark is the replay's to take.
            if (r.answer == 1) {
                v.remark = "Buoy line 7";
                v.draught = 99.0;
                v.power = 1.0;
            }
            return r.answer;
        };
        EXPECT_EQ(replay.RunChannelDialog(channel), r.result);
        EXPECT_EQ(shown.remark, list.GetFileName(0));
        EXPECT_EQ(shown.channelName, gen->ChannelId(1));
        EXPECT_EQ(shown.description, "Replay 120 kHz");
        EXPECT_EQ(shown.templateId, TransceiverDialogValues::kTemplate);
        EXPECT_DOUBLE_EQ(shown.tide, 0.35) << "the ping's recorded tide";
        EXPECT_FLOAT_EQ(float(shown.pulseLength), float(recorded.pulseDuration));
        EXPECT_FLOAT_EQ(float(shown.power), float(recorded.power));
        EXPECT_FLOAT_EQ(float(shown.draught), float(recorded.draught));
        EXPECT_FLOAT_EQ(float(shown.x), float(recorded.x));
        EXPECT_FLOAT_EQ(float(shown.y), float(recorded.y));
        EXPECT_FLOAT_EQ(float(shown.z), float(recorded.z));
        for (double p : shown.powerSteps)
            EXPECT_FLOAT_EQ(float(p), float(recorded.power));
        EXPECT_FLOAT_EQ(float(shown.pulseLengths[2]), float(recorded.pulseDuration));
        EXPECT_EQ(advancedRuns, 1);

        const CTransceiver::StructChannelParameters* record = replay.FindRecord(channel);
        const std::string expected = !r.kept ? std::string() : r.keepsShown ? list.GetFileName(0) : "Buoy line 7";
        EXPECT_EQ(record->remark, expected);
        EXPECT_FLOAT_EQ(float(record->transducerDepth), float(recorded.draught));
        EXPECT_FLOAT_EQ(float(record->txPower), float(recorded.power));
        EXPECT_EQ(replay.FindRecord(replay.GetChannelId(0))->remark, "") << "the other channel's";
    }
}

// No dialog without someone to show it to, none for a channel that is not
// the replay's, and a replay deleted while its dialog runs (a stop in the
// dialog's message loop) is not touched again.
TEST_F(ReplayTest, ChannelDialogOnlyWhereItCanRunAndNeverAfterTheReplayWent)
{
    CReplayFileList list;
    list.AddTail(Generate("a.raw", {}).string());
    auto replay = std::make_unique<CReplay>(list, &host);
    CChannel* channel = replay->GetChannelId(0);
    EXPECT_FALSE(replay->HasChannelDialog(channel));
    EXPECT_EQ(replay->RunChannelDialog(channel), 0);

    CTestTransceiverDialogs dialogs;
    host.dialogs = &dialogs;
    CReplay other(list, &host);
    EXPECT_FALSE(replay->HasChannelDialog(other.GetChannelId(0)));
    EXPECT_EQ(replay->RunChannelDialog(other.GetChannelId(0)), 1);
    EXPECT_EQ(dialogs.runs, 0);

    dialogs.channel = [&](TransceiverDialogValues& v) {
        v.remark = "gone";
        replay.reset();
        return 1;
    };
    CReplay* running = replay.get();
    EXPECT_EQ(running->RunChannelDialog(channel), -1);
    EXPECT_EQ(replay, nullptr);
}
