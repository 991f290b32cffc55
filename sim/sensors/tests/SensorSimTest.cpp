// The simulated sensors' own encoders and depth telegram reader against
// the program's and against python3-nmea2, a library we did not write.
#include "sim/sensors/DepthTelegramDecoder.h"
#include "sim/sensors/SensorSentences.h"

#include "sensors/Heave.h"
#include "sensors/NmeaDecoder.h"
#include "sensors/PurseSeine.h"
#include "serialcom/device/DepthTelegram.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

using namespace zv::sim;

class CSources final : public IDepthTelegramSources
{
public:
    double GetSoundVelocity() const override { return 1500.0; }
    bool IsReplaying() const override { return true; }
    bool IsHubWithoutHeave() const override { return false; }
};

std::string RunPython(const std::string& script, const std::string& input)
{
    const std::string path = ::testing::TempDir() + "sensor_sentences.txt";
    std::ofstream(path) << input;
    FILE* p = popen(("/usr/bin/python3 -c \"" + script + "\" < " + path).c_str(), "r");
    std::string out;
    char buffer[256];
    while (p && std::fgets(buffer, sizeof buffer, p))
        out += buffer;
    if (p)
        pclose(p);
    return out;
}

// The motion telegrams of a moving scene read back in the program's motion
// sensor as the scene was (its heave with the program's sign), the net
// sensors' lines in metres and fathoms alike.
TEST(SensorSentences, MotionAndNetSensorsReadBack)
{
    CSources sources;
    CLiveSensorHost host;
    const SMotionScene motion;
    const std::pair<const char*, DWORD> kinds[] = {{"MOTION-ASCII", CHeave::kProtocolAscii},
                                                   {"MOTION-VN1500", CHeave::kProtocolVN1500},
                                                   {"MOTION-VN3500", CHeave::kProtocolZelvar}};
    for (const auto& [kind, protocol] : kinds) {
        SCOPED_TRACE(kind);
        CHeave heave(host, sources);
        heave.SetMode(CHeave::kModeSerial);
        heave.SetProtocol(protocol);
        SSensorScene scene;
        for (std::uint64_t t = 134'000'000'000'000'000ULL, i = 0; i < 50; ++i, t += 400'000) {
            MoveScene(motion, t, scene);
            const std::string bytes = *EncodeSentence(kind, scene);
            heave.ParseTelegram(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), t);
            double out[4];
            ASSERT_TRUE(heave.GetMotionAtTime(t, TransducerOffsets{}, out));
            EXPECT_NEAR(out[0], -scene.heave, 0.005);
            EXPECT_NEAR(out[1], scene.roll, 0.005);
            EXPECT_NEAR(out[2], scene.pitch, 0.005);
        }
    }
    CPurseSeine seine(sources);
    SSensorScene scene;
    for (const char* kind : {"PKVR", "PKVR-F"}) {
        seine.ParseTelegram("$PKVRP,0,0,0,D,M,1,0,0,0,2", 1);
        std::string lines = *EncodeSentence(kind, scene) + "\r\n";
        for (std::size_t at; (at = lines.find("\r\n")) != std::string::npos; lines.erase(0, at + 2))
            seine.ParseTelegram(lines.substr(0, at), 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(seine.GetReadings().depth[static_cast<std::size_t>(i)], scene.netDepth[i], 0.002) << kind;
    }
}

// Every sentence carries its right checksum, and those python3-nmea2 knows
// read there as we meant them.
TEST(SensorSentences, ChecksumsAndAnIndependentReading)
{
    SSensorScene scene;
    scene.time = 134'000'000'000'000'000ULL;
    std::string all;
    for (const std::string& kind : SentenceKinds()) {
        const auto sentence = EncodeSentence(kind, scene);
        ASSERT_TRUE(sentence) << kind;
        // The plain lines, the motion sensor's and the net sensors' carry no
        // checksum; the binary telegrams are no text.
        if (IsBinaryKind(kind))
            continue;
        if (kind != "ASCII" && kind.rfind("MOTION-", 0) != 0 && kind.rfind("PKVR", 0) != 0) {
            EXPECT_EQ(sentence->substr(sentence->size() - 3, 1), "*") << *sentence;
            EXPECT_FALSE(CNmeaDecoder::ChecksumFails(*sentence)) << *sentence;
        }
        all += *sentence + "\n";
    }
    EXPECT_FALSE(EncodeSentence("XYZ", scene));
    EXPECT_EQ(Number(123.4, 2), "123.4");
    EXPECT_EQ(Number(5.0, 2), "5.0");

    if (std::system("/usr/bin/python3 -c 'import pynmea2' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-nmea2 is not installed";
    const std::string script = "import pynmea2,sys\n"
                               "for l in sys.stdin.read().split():\n"
                               "    try:\n"
                               "        m = pynmea2.parse(l, check=True)\n"
                               "    except pynmea2.ParseError:\n"
                               "        continue\n"
                               "    t = getattr(m, 'sentence_type', '')\n"
                               "    if t == 'GGA': print('GGA', m.lat, m.lon)\n"
                               "    if t == 'GLL': print('GLL', m.lat, m.lon)\n"
                               "    if t == 'VTG': print('VTG', float(m.spd_over_grnd_kts))\n"
                               "    if t == 'ZDA': print('ZDA', m.day, m.month, m.year)\n"
                               "    if t in ('HDT', 'HDG'): print(t, float(m.heading))\n"
                               "    if t == 'DPT': print('DPT', float(m.depth))\n"
                               "    if t == 'DBT': print('DBT', float(m.depth_meters))\n"
                               "    if t == 'MTW': print('MTW', float(m.temperature), m.units)\n";
    const std::string out = RunPython(script, all);
    for (const char* line : {"GGA 5957.1234 01043.5678", "GLL 5957.1234 01043.5678", "VTG 5.5", "HDT 123.4",
                             "HDG 123.4", "DPT 42.0", "DBT 42.0", "MTW 10.0 C"})
        EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;
    EXPECT_NE(out.find("ZDA "), std::string::npos) << out;
}

// Every type of the program's formatter reads back as the depth it carries;
// a wrong checksum is no telegram.
TEST(DepthTelegramReader, EveryTypeOfTheFormatterReadsBack)
{
    CSources sources;
    const double depth = 57.36, transducer = 3.5, heave = 0.25;
    struct Row
    {
        std::uint32_t type;
        int channel;
        int decodedType, decodedChannel;
        double expected;  // what the reader gives: depth + offset
    };
    const double below = depth - transducer - heave;
    const Row rows[] = {
        {0, 0, 0, -1, depth}, {1, 0, 1, -1, depth}, {2, 0, 2, -1, below}, {3, 1, 3, 1, depth},  {4, 0, 6, -1, depth},
        {4, 1, 5, -1, depth}, {5, 0, 5, -1, depth}, {6, 0, 6, -1, depth}, {7, 0, 7, -1, depth},
    };
    for (const Row& r : rows)
        for (std::int32_t checksum : {0, 1}) {
            const std::string text = FormatDepthTelegram(sources, r.type, checksum, r.channel,
                                                         134'000'000'000'000'000ULL, depth, transducer, 0.0, heave);
            const auto t = DecodeDepthTelegram(text);
            ASSERT_TRUE(t) << text;
            EXPECT_EQ(t->type, r.decodedType) << text;
            EXPECT_EQ(t->channel, r.decodedChannel) << text;
            EXPECT_NEAR(t->depth + t->offset, r.expected, 0.011) << text;
        }
    std::string bad = FormatDepthTelegram(sources, 0, 1, 0, 0, depth, 0.0, 0.0, 0.0);
    bad[bad.size() - 1] = bad[bad.size() - 1] == '0' ? '1' : '0';
    EXPECT_FALSE(DecodeDepthTelegram(bad));
    EXPECT_FALSE(DecodeDepthTelegram("$GPGGA,1,2,3"));
    EXPECT_FALSE(DecodeDepthTelegram(""));
}

}  // namespace
