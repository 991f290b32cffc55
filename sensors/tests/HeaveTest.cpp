// The motion sensor input without a line: its ring of samples and the motion
// at a time, what each telegram protocol and the analog input store, the
// heave at the transducer, the dialog's display of the line, its settings;
// and the purse seine's net sensor sentences and their ages.
#include "sensors/Heave.h"
#include "base/RegistrySupport.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "sensors/PurseSeine.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kMs = 10'000;
constexpr std::uint64_t kSecond = 1000 * kMs;
constexpr std::uint64_t kStamp = 134'000'000'000'000'000ULL;

using Sample = CHeaveRingBuffer::Sample;

Sample At(std::uint64_t stamp, int heave, int roll = 0, int pitch = 0)
{
    return {stamp, static_cast<std::int16_t>(heave), static_cast<std::int16_t>(roll), static_cast<std::int16_t>(pitch),
            0};
}

// Samples 40 ms apart from kStamp, heave i cm.
void Fill(CHeaveRingBuffer& ring, int count)
{
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(ring.Add(At(kStamp + static_cast<std::uint64_t>(i) * 40 * kMs, i % 1000, 2 * (i % 1000))));
}

TEST(HeaveRingBufferTest, ValueAtTime)
{
    CHeaveRingBuffer ring;
    // Empty: nothing recent enough.
    EXPECT_EQ(ring.ValueAt(kStamp).heave, 0.0);
    ASSERT_TRUE(ring.Add(At(kStamp, 100, 200, -300)));
    ASSERT_TRUE(ring.Add(At(kStamp + 40 * kMs, 200, 400, -500)));
    EXPECT_FALSE(ring.Add(At(kStamp + 40 * kMs, 999)));  // same stamp
    EXPECT_FALSE(ring.Add(At(kStamp + 20 * kMs, 999)));  // older
    struct Row
    {
        const char* legend;
        std::uint64_t time;
        double heave, roll, pitch;
    };
    const Row rows[] = {
        {"the newest, exactly", kStamp + 40 * kMs, 200, 400, -500},
        {"5 s after the newest: the newest", kStamp + 40 * kMs + 5 * kSecond, 200, 400, -500},
        {"10 s after: still the newest", kStamp + 40 * kMs + 10 * kSecond, 200, 400, -500},
        {"11 s after: zeros", kStamp + 40 * kMs + 11 * kSecond, 0, 0, 0},
        {"between: a quarter of the way", kStamp + 10 * kMs, 125, 250, -350},
        {"the oldest, exactly", kStamp, 100, 200, -300},
        {"before the oldest: the oldest", kStamp - kSecond, 100, 200, -300},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        const auto m = ring.ValueAt(r.time);
        EXPECT_DOUBLE_EQ(m.heave, r.heave);
        EXPECT_DOUBLE_EQ(m.roll, r.roll);
        EXPECT_DOUBLE_EQ(m.pitch, r.pitch);
    }
    ring.Clear();
    EXPECT_EQ(ring.ValueAt(kStamp + 40 * kMs).heave, 0.0);
    EXPECT_EQ(ring.Newest().stamp, 0u);
    // A sample older than the cleared ones is taken again.
    EXPECT_TRUE(ring.Add(At(kStamp, 7)));
}

// Past 2000 samples the oldest are overwritten: the longest walk reaches
// the oldest kept, one before it gives that one, and the wrap from the first
// entry to the last interpolates as any other pair.
TEST(HeaveRingBufferTest, WrapsAround)
{
    CHeaveRingBuffer ring;
    Fill(ring, 2500);
    const auto oldestKept = kStamp + 500 * 40 * kMs;
    EXPECT_DOUBLE_EQ(ring.ValueAt(oldestKept).heave, 500);
    EXPECT_DOUBLE_EQ(ring.ValueAt(oldestKept - 40 * kMs).heave, 500);
    // Entries 1999 and 0 of the ring hold samples 1999 and 2000.
    EXPECT_DOUBLE_EQ(ring.ValueAt(kStamp + 1999 * 40 * kMs + 20 * kMs).heave, 999 - 999 * 0.5);
    EXPECT_DOUBLE_EQ(ring.ValueAt(kStamp + 2498 * 40 * kMs + 10 * kMs).roll, 2 * 498 + 0.5);
}

class HeaveTest : public ::testing::Test
{
protected:
    void Serial(CHeave& heave, DWORD protocol)
    {
        heave.SetMode(CHeave::kModeSerial);
        heave.SetProtocol(protocol);
    }
    static void Receive(CHeave& heave, const std::string& bytes, std::uint64_t stamp)
    {
        heave.ParseTelegram(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), stamp);
    }
    static std::string Binary(BYTE first, BYTE second, int roll, int pitch, int heave, int heading)
    {
        std::string b{static_cast<char>(first), static_cast<char>(second)};
        for (int v : {roll, pitch, heave, heading}) {
            b += static_cast<char>(v & 0xFF);
            b += static_cast<char>((v >> 8) & 0xFF);
        }
        return b;
    }

    CTempHives hives;
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    TransducerOffsets atSensor;
};

// What each protocol stores of a telegram, and what it refuses.
TEST_F(HeaveTest, TelegramsByProtocol)
{
    struct Row
    {
        const char* legend;
        DWORD protocol;
        std::string bytes;
        bool stored;
        int heave, roll, pitch;  // cm, 0.01 degree
    };
    const Row rows[] = {
        {"ASCII", CHeave::kProtocolAscii, ":00A0F0 -0012F 0150  0200\r", true, -12, 150, 200},
        {"ASCII with signs", CHeave::kProtocolAscii, ":000000  0045U-0150 -0200", true, 45, -150, -200},
        {"ASCII marked invalid: zeros", CHeave::kProtocolAscii, ":00A0F0 -0012? 0150  0200", true, 0, 0, 0},
        {"ASCII one byte short", CHeave::kProtocolAscii, ":00A0F0 -0012F 0150  020", false, 0, 0, 0},
        {"ASCII without its blank at 19", CHeave::kProtocolAscii, ":00A0F0 -0012F 0150x 0200", false, 0, 0, 0},
        {"ASCII without a digit", CHeave::kProtocolAscii, ":00A0F0 -    F 0150  0200", false, 0, 0, 0},
        {"ASCII heave beyond 999 cm", CHeave::kProtocolAscii, ":00A0F0 -1000F 0150  0200", false, 0, 0, 0},
        {"ASCII at the limits", CHeave::kProtocolAscii, ":00A0F0  0999F-9999  9999", true, 999, -9999, 9999},
        // Five digits that 16 bits would wrap into range (65000 to -536).
        {"ASCII heave of five digits", CHeave::kProtocolAscii, ":00A0F0 65000F 0150  0200", false, 0, 0, 0},
        {"ASCII roll of five digits", CHeave::kProtocolAscii, ":00A0F0 -0012F65000  0200", false, 0, 0, 0},
        {"ASCII pitch of five digits", CHeave::kProtocolAscii, ":00A0F0 -0012F 0150 70000", false, 0, 0, 0},
        {"ASCII roll of 100 degrees", CHeave::kProtocolAscii, ":00A0F0 -0012F10000  0200", false, 0, 0, 0},
        {"ASCII pitch of 100 degrees", CHeave::kProtocolAscii, ":00A0F0 -0012F 0150 10000", false, 0, 0, 0},
        {"first binary telegram, 0x90", CHeave::kProtocolZelvar, Binary(0x90, 0x90, -250, 120, 33, 9000), true, 33,
         -250, 120},
        {"first binary telegram, 0x91", CHeave::kProtocolZelvar, Binary(0x91, 0x90, 1, 2, -3, 0), true, -3, 1, 2},
        {"first binary telegram, 0xA0 start", CHeave::kProtocolZelvar, Binary(0xA0, 0x90, 1, 2, 3, 0), false, 0, 0, 0},
        {"first binary telegram, no 0x90", CHeave::kProtocolZelvar, Binary(0x90, 0x91, 1, 2, 3, 0), false, 0, 0, 0},
        {"first binary, 9 bytes", CHeave::kProtocolZelvar, Binary(0x90, 0x90, 1, 2, 3, 0).substr(0, 9), false, 0, 0, 0},
        {"first binary, heave beyond 999", CHeave::kProtocolZelvar, Binary(0x90, 0x90, 1, 2, 1000, 0), false, 0, 0, 0},
        {"second binary telegram", CHeave::kProtocolVN1500, Binary(0x00, 0x90, 500, -600, 70, 35999), true, 70, 500,
         -600},
        {"second binary, other start", CHeave::kProtocolVN1500, Binary(0x90, 0x90, 5, 6, 7, 0), false, 0, 0, 0},
        // A roll whose low byte is 0x90 must pass the range checks.
        {"second binary, 0x90 roll in range", CHeave::kProtocolVN1500, Binary(0x00, 0x90, 0x190, 6, 7, 100), true, 7,
         0x190, 6},
        {"second binary, 0x90 roll too large", CHeave::kProtocolVN1500, Binary(0x00, 0x90, 0x490, 6, 7, 100), false, 0,
         0, 0},
        {"second binary, 0x90 heading too large", CHeave::kProtocolVN1500, Binary(0x00, 0x90, 0x190, 6, 7, 36000),
         false, 0, 0, 0},
        {"raw decodes nothing", CHeave::kProtocolRaw, ":00A0F0 -0012F 0150  0200", false, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        CHeave heave(host, sources);
        Serial(heave, r.protocol);
        Receive(heave, r.bytes, kStamp);
        const Sample s = heave.GetNewestSample();
        EXPECT_EQ(s.stamp, r.stored ? kStamp : 0u);
        EXPECT_EQ(s.heave, r.heave);
        EXPECT_EQ(s.roll, r.roll);
        EXPECT_EQ(s.pitch, r.pitch);
    }
}

// Only the serial mode reads the line, a telegram without a stamp stores
// nothing, and after garbage the next whole telegram is stored.
TEST_F(HeaveTest, LineIsReadOnlyInSerialMode)
{
    CHeave heave(host, sources);
    heave.SetProtocol(CHeave::kProtocolAscii);
    const std::string line = ":00A0F0 -0012F 0150  0200";
    for (DWORD mode : {CHeave::kModeOff, CHeave::kModeAnalog}) {
        heave.SetMode(mode);
        Receive(heave, line, kStamp);
        EXPECT_EQ(heave.GetNewestSample().stamp, 0u);
    }
    heave.SetMode(CHeave::kModeSerial);
    Receive(heave, line, 0);
    EXPECT_EQ(heave.GetNewestSample().stamp, 0u);
    Receive(heave, std::string("\x90\x90\x12\x00garbage", 11), kStamp);
    Receive(heave, line.substr(0, 12), kStamp + kMs);
    Receive(heave, line, kStamp + 2 * kMs);
    EXPECT_EQ(heave.GetNewestSample().stamp, kStamp + 2 * kMs);
    EXPECT_EQ(heave.GetNewestSample().heave, -12);
}

// The ping's questions: the heave's sign turned, angles in degrees, the
// heave at the transducer by the lever arms, zeros and false for no time.
TEST_F(HeaveTest, MotionAtTimeAndTheHeaveAtTheTransducer)
{
    CHeave heave(host, sources);
    Serial(heave, CHeave::kProtocolZelvar);
    double out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(heave.GetMotionAtTime(0, atSensor, out));
    EXPECT_EQ(std::vector<double>(out, out + 4), std::vector<double>(4, 0.0));

    Receive(heave, Binary(0x90, 0x90, 0, 0, 50, 0), kStamp);
    const TransducerOffsets transducer{4.0, 10.0, -2.0};  // down, along, athwart
    CHeave::Settings s = heave.GetSettings();
    s.CalcRemoteHeave = 1;
    s.SensorDepth = 1.0;
    s.SensorAlong = 2.0;
    s.SensorAthwart = 1.0;
    heave.StoreSettings(s);
    ASSERT_TRUE(heave.GetMotionAtTime(kStamp, transducer, out));
    EXPECT_DOUBLE_EQ(out[0], -0.5);
    EXPECT_DOUBLE_EQ(out[3], -0.5);  // level: the heave itself

    // Rolled 30 degrees to starboard and pitched 10 degrees up.
    Receive(heave, Binary(0x90, 0x90, 3000, 1000, 50, 0), kStamp + kSecond);
    ASSERT_TRUE(heave.GetMotionAtTime(kStamp + kSecond, transducer, out));
    EXPECT_DOUBLE_EQ(out[1], 30.0);
    EXPECT_DOUBLE_EQ(out[2], 10.0);
    const double r = 30.0 * M_PI / 180, p = 10.0 * M_PI / 180;
    const double expected = -0.5 + std::sin(r) * std::cos(p) * (-2.0 - 1.0) - std::sin(p) * (10.0 - 2.0) -
                            (1 - std::cos(r) * std::cos(p)) * (4.0 - 1.0);
    EXPECT_NEAR(out[3], expected, 1e-9);
    s.CalcRemoteHeave = 0;
    heave.StoreSettings(s);
    ASSERT_TRUE(heave.GetMotionAtTime(kStamp + kSecond, transducer, out));
    EXPECT_DOUBLE_EQ(out[3], out[0]);
    // Quiet for 11 s: zeros, yet an answer.
    ASSERT_TRUE(heave.GetMotionAtTime(kStamp + 12 * kSecond, transducer, out));
    EXPECT_EQ(std::vector<double>(out, out + 4), std::vector<double>(4, 0.0));
}

// Analog samples count only in the analog mode and from the chosen unit;
// angles by their voltage law, the stamp earlier by the latency.
TEST_F(HeaveTest, AnalogSamples)
{
    CHeave heave(host, sources);
    CHeave::Settings s = heave.GetSettings();
    s.TransceiverSource = "QY42 unit 1";
    s.AnalogModePitch = CHeave::kTenSine;
    heave.StoreSettings(s);
    const AnalogMotionSample sample{kStamp, 123, 250, 1000};
    heave.AddAnalogSamples("QY42 unit 1", &sample, 1);  // mode off
    heave.SetMode(CHeave::kModeAnalog);
    heave.AddAnalogSamples("QY42 unit 2", &sample, 1);
    EXPECT_EQ(heave.GetNewestSample().stamp, 0u);

    struct Row
    {
        std::int16_t pitchVolts;  // hundredths of a volt
        std::int16_t pitch;       // hundredths of a degree
    };
    const Row rows[] = {{1000, 9000}, {1200, 9000}, {500, 3000}, {-500, -3000}, {0, 0}, {-1500, -9000}};
    std::uint64_t t = kStamp;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pitchVolts);
        const AnalogMotionSample a{t += kSecond, 123, 250, r.pitchVolts};
        heave.AddAnalogSamples("QY42 unit 1", &a, 1);
        const Sample got = heave.GetNewestSample();
        EXPECT_EQ(got.stamp, t);
        EXPECT_EQ(got.heave, 123);  // cm
        EXPECT_EQ(got.roll, 250);   // +1 V a degree
        EXPECT_EQ(got.pitch, r.pitch);
    }
    s = heave.GetSettings();
    s.UseLatency = 1;
    s.Latency = 150;
    heave.StoreSettings(s);
    const AnalogMotionSample late{t + kSecond, 1, 2, 3};
    heave.AddAnalogSamples("QY42 unit 1", &late, 1);
    EXPECT_EQ(heave.GetNewestSample().stamp, t + kSecond - 150 * kMs);
}

// The display starts in hex; a telegram without 0x00 and 0x90 turns it to
// text (itself still shown in hex), a NUL turns it back (and is not shown);
// telegrams closer than 100 ms to the last shown are not shown, though
// stored.
TEST_F(HeaveTest, DisplayOfTheLine)
{
    CHeave heave(host, sources);
    Serial(heave, CHeave::kProtocolAscii);
    heave.Monitor().SetVisible(true);
    const std::string line = ":00A0F0 -0012F 0150  0200";
    Receive(heave, "AB", kStamp);
    EXPECT_EQ(heave.Monitor().Text(), " 41 42\r\n");
    EXPECT_FALSE(heave.IsHexDisplay());
    Receive(heave, line, kStamp + 50 * kMs);  // too soon
    EXPECT_EQ(heave.GetNewestSample().stamp, kStamp + 50 * kMs);
    Receive(heave, line, kStamp + 100 * kMs);
    EXPECT_EQ(heave.Monitor().Text(), " 41 42\r\n" + line + "\r\n");
    Receive(heave, std::string("a\0b", 3), kStamp + 200 * kMs);
    EXPECT_TRUE(heave.IsHexDisplay());
    EXPECT_EQ(heave.Monitor().Text(), " 41 42\r\n" + line + "\r\n");
    Receive(heave, "\x90\x01", kStamp + 300 * kMs);
    EXPECT_TRUE(heave.IsHexDisplay());
    EXPECT_EQ(heave.Monitor().Text(), " 41 42\r\n" + line + "\r\n 90 01\r\n");
    // A long display is cut to its last 1000 at the next refresh.
    heave.Monitor().AppendText(std::string(3500, 'x'));
    heave.Monitor().Refresh();
    EXPECT_EQ(heave.Monitor().Text().size(), CHeave::kMonitorKeep);
}

// Missing settings are written back with their defaults; the factory reset
// keeps where the sensor sits and how its voltages read.
TEST_F(HeaveTest, SettingsAndTheirDefaults)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\Heave", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr),
              ERROR_SUCCESS);
    CHeave heave(host, sources);
    heave.Initialise(key);
    EXPECT_EQ(heave.GetSettings(), CHeave::Settings{});
    DWORD protocol = 0;
    CRegistrySupport().GetDword(key, "", "SerialProtocol", protocol, FALSE);
    EXPECT_EQ(protocol, CHeave::kProtocolZelvar);

    CHeave::Settings s;
    s.Mode = CHeave::kModeSerial;
    s.SerialProtocol = CHeave::kProtocolAscii;
    s.TransceiverSource = "QY42 unit 1";
    s.ChannelSource = "T38 38 kHz";
    s.DepthOutput = 1;
    s.SensorAlong = 1.5;
    s.SensorAthwart = -0.5;
    s.SensorDepth = 2.25;
    s.AnalogModeRoll = CHeave::kTenSine;
    s.Latency = 40;
    ASSERT_TRUE(heave.StoreSettings(s));
    CHeave again(host, sources);
    again.Initialise(key);
    EXPECT_EQ(again.GetSettings(), s);
    double along = 0, athwart = 0, depth = 0;
    again.GetSensorOffsets(along, athwart, depth);
    EXPECT_EQ(std::vector<double>({along, athwart, depth}), std::vector<double>({1.5, -0.5, 2.25}));

    // The dialog changed the mode at once; Cancel reads the stored one.
    again.SetMode(CHeave::kModeOff);
    again.ReloadSettings();
    EXPECT_EQ(again.GetSettings().Mode, CHeave::kModeSerial);

    again.SetDefaults();
    CHeave::Settings expected = s;
    expected.Mode = CHeave::kModeOff;
    expected.SerialProtocol = CHeave::kProtocolZelvar;
    expected.TransceiverSource.clear();
    expected.ChannelSource.clear();
    expected.DepthOutput = 0;
    CHeave third(host, sources);
    third.Initialise(key);
    EXPECT_EQ(third.GetSettings(), expected);
    RegCloseKey(key);
}

// The depth telegram's rules (the lines themselves are tested over
// pseudo-terminals, the heave's in SerialSensorsThreadsTest): the chosen
// channel, or any with types 3 and 4; a depth that is negative or no number
// refused.
TEST_F(HeaveTest, DepthTelegramRules)
{
    CHeave heave(host, sources);
    CPurseSeine seine(sources);
    struct Row
    {
        DWORD output, type;
        const char* channel;
        double depth;
        int result;
    };
    const Row rows[] = {
        {0, 0, "Other", -1.0, 0},               // output off
        {1, 0, "Other", -1.0, 0},               // not the chosen channel
        {1, 3, "Other", -1.0, 1},               // type 3: every channel
        {1, 4, "Other", std::nan(""), 1},       // type 4 too
        {1, 1, "T38 38 kHz", 10.0, 0},          // sent (no line: nothing goes)
        {1, 1, "T38 38 kHz", std::nan(""), 1},  // no number
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.channel) + " type " + std::to_string(r.type));
        heave.StoreDepthOutput(r.output, r.type, 0, "T38 38 kHz");
        seine.StoreSettings({r.output, r.type, 0, "T38 38 kHz"});
        EXPECT_EQ(heave.SendDepthTelegram(r.channel, 0, kStamp, r.depth, 1.0, 0.0, 0.0), r.result);
        EXPECT_EQ(seine.SendDepth(r.channel, 0, kStamp, r.depth, 1.0, 0.0, 0.0), r.result);
    }
}

// Net sensor sentences: metres or fathoms, sensors 1 to 3; anything else
// keeps what each sensor had.
TEST(PurseSeineTest, SentencesAndWhatKeepsThePreviousReading)
{
    CNoDepthTelegramSources sources;
    CPurseSeine seine(sources);
    seine.ParseTelegram("$PKVRP,0,0,0,D,M,1,0,42.5,0,2", kStamp);
    seine.ParseTelegram("$PKVRP,0,0,0,D,M,2,0,20.0,0,2", kStamp);
    struct Row
    {
        const char* legend;
        const char* sentence;
        int sensor;  // 1-3
        double depth;
    };
    const Row rows[] = {
        {"fathoms", "$PKVRP,0,0,0,D,F,3,0,10,0,2", 3, 18.288},
        {"fathoms, small f", "$PKVRP,0,0,0,D,f,2,0,1.0,0,2", 2, 1.8288},
        {"sensor 4", "$PKVRP,0,0,0,D,M,4,0,99,0,2", 1, 42.5},
        {"sensor 0", "$PKVRP,0,0,0,D,M,0,0,99,0,2", 1, 42.5},
        {"other unit", "$PKVRP,0,0,0,D,K,1,0,99,0,2", 1, 42.5},
        {"empty depth", "$PKVRP,0,0,0,D,M,1,0,,0,2", 1, 42.5},
        {"no number", "$PKVRP,0,0,0,D,M,1,0,4x,0,2", 1, 42.5},
        {"infinite", "$PKVRP,0,0,0,D,M,1,0,inf,0,2", 1, 42.5},
        // Finite as read, infinite in metres.
        {"fathoms past the largest double", "$PKVRP,0,0,0,D,F,1,0,1e308,0,2", 1, 42.5},
        {"not D", "$PKVRP,0,0,0,E,M,1,0,99,0,2", 1, 42.5},
        {"field 10 not 2", "$PKVRP,0,0,0,D,M,1,0,99,0,1", 1, 42.5},
        {"other sentence", "$PKVRQ,0,0,0,D,M,1,0,99,0,2", 1, 42.5},
        {"short", "$PKVR", 1, 42.5},
        {"metres", "$PKVRP,0,0,0,D,M,1,0,43.25,0,2", 1, 43.25},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        seine.ParseTelegram(r.sentence, kStamp + kSecond);
        EXPECT_NEAR(seine.GetReadings().depth[static_cast<std::size_t>(r.sensor - 1)], r.depth, 1e-12);
    }
    EXPECT_EQ(seine.GetReadings().time[0], kStamp + kSecond);
    EXPECT_EQ(seine.GetReadings().time[1], kStamp + kSecond);
}

// Fresh while younger than 10 s, then old; never heard: none.
TEST(PurseSeineTest, SensorStatesByAge)
{
    CNoDepthTelegramSources sources;
    CPurseSeine seine(sources);
    seine.ParseTelegram("$PKVRP,0,0,0,D,M,1,0,42.5,0,2", kStamp);
    seine.ParseTelegram("$PKVRP,0,0,0,D,M,3,0,12.0,0,2", kStamp + 5 * kSecond);
    int states[3];
    double depths[3];
    seine.StampSensorAt(states, depths, kStamp + 10 * kSecond - 1);
    EXPECT_EQ(std::vector<int>(states, states + 3), std::vector<int>({2, 0, 2}));
    EXPECT_EQ(std::vector<double>(depths, depths + 3), std::vector<double>({42.5, 0.0, 12.0}));
    seine.StampSensorAt(states, depths, kStamp + 10 * kSecond);
    EXPECT_EQ(std::vector<int>(states, states + 3), std::vector<int>({1, 0, 2}));
    EXPECT_EQ(depths[0], 42.5);
}

}  // namespace
