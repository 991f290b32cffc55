#include "fuzz/seeds/SeedWriter.h"

#include "fuzz/support/ChannelLayoutFile.h"
#include "fuzz/support/FuzzEnvironment.h"

#include "base/Archive.h"
#include "base/File.h"
#include "display/DIBSection.h"
#include "display/PrinterPage.h"
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "engine/PingerMode.h"
#include "outputs/LX750.h"
#include "platform/Component.h"
#include "platform/LocalServer.h"
#include "platform/NumberText.h"
#include "platform/Registry.h"
#include "platform/SerialBackendFake.h"
#include "platform/regtool/RegText.h"
#include "recording/DatagramWriter.h"
#include "sensors/SvpProfile.h"
#include "serialcom/device/DepthTelegram.h"
#include "seriallib/ASCII.h"
#include "seriallib/ModBus.h"
#include "seriallib/MoviraVN1500.h"
#include "seriallib/MoviraZelvar.h"
#include "seriallib/NMEA.h"
#include "seriallib/Quelto.h"
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"
#include "seriallib/ZLT2_300.h"
#include "sim/geo/GeoSimulator.h"
#include "sim/hxu/HxuSimulator.h"
#include "sim/nvu/NvuSimulator.h"
#include "sim/qy42/QY42Simulator.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sim/sensors/SensorSentences.h"
#include "transceivers/IpAddressTable.h"

#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

std::string Word(std::size_t v)
{
    return Bytes({static_cast<int>(v & 0xFF), static_cast<int>(v >> 8 & 0xFF)});
}

std::string Dword(std::uint32_t v)
{
    return Word(v & 0xFFFF) + Word(v >> 16);
}

// A piece as the targets read one: its 16-bit size, then its bytes.
std::string Sized(const std::string& bytes)
{
    return Word(bytes.size()) + bytes;
}

std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string Sentence(const std::string& body)
{
    return body + NmeaChecksumSuffix(body);
}

// Navigation settings as CFuzzNmeaHost reads them: sources, flags, fields,
// limits, then the start sequence line.
std::string NmeaSettings(int position, int clock, int speed, int flags, int startField, int fields,
                         const std::string& startSequence)
{
    return Bytes({position + 3 * clock + 9 * speed, flags, startField | fields << 4, 1 | 4 << 2 | 2 << 5}) +
           startSequence + "\n";
}

std::string Join(const std::vector<std::string>& parts, char separator)
{
    std::string out;
    for (const std::string& p : parts)
        out += p + separator;
    return out;
}

// A sample datagram of n samples at a rate, with a bottom-like rise.
std::string Samples(float rate, std::uint32_t pingStart, std::uint32_t first, int n)
{
    std::vector<float> iq;
    for (int k = 0; k < n; ++k) {
        const float a = (first + k) % 97 == 0 ? 0.5f : 1e-3f * static_cast<float>(k % 7);
        iq.push_back(a);
        iq.push_back(-a);
    }
    return Text(CQY42Simulator::MakeSamples(rate, pingStart, first, iq));
}

// "ACI": 8 sample number, 12 flags, 16/20/24 motion, 28 resistance.
std::string AuxiliaryInput(std::uint32_t sampleNumber, int flags)
{
    std::string d =
        Dword(32) + std::string("ACI\0", 4) + Dword(sampleNumber) + Dword(static_cast<std::uint32_t>(flags));
    for (float f : {1.5f, -0.5f, 0.25f, 68.0f}) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        d += Dword(bits);
    }
    return d;
}

const char* const kTrList = "Transceivers and transducers this program installs.\r\n"
                            "ENDCOMMENTDATA\r\n"
                            "DRUMAPPING\r\n"
                            "017: DRU38 SINGLE  \r\n"
                            "018: DRU200 SINGLE  \r\n"
                            "ENDDRUMAPPING\r\n"
                            "TRANSCEIVERDATA\r\n"
                            "GPX HXU V\r\n"
                            "BEAMTYPE=SPLIT\r\n"
                            "MARKETSEGMENT=HYDROGRAPHY\r\n"
                            "CHANNEL1\r\n"
                            "KHZ=38\r\n"
                            "TRANSDUCER=T38 \r\n"
                            "TRANSDUCER=T38S \r\n"
                            "SAMPLEINTERVALDEFAULT=0.1 0.2 0.3 0.4 0.5\r\n"
                            "BANDWIDTH=2425\r\n"
                            "MINMEDMAXTXPOWER=100 500 1000\r\n"
                            "MINMEDMAXTXPULSELENGTH=0.000256 0.000512 0.001024 0.002048 0.004096\r\n"
                            "ENDCHANNEL\r\n"
                            "CHANNEL2\r\n"
                            "KHZ=120\r\n"
                            "TRANSDUCER=T120 \r\n"
                            "ENDCHANNEL\r\n"
                            "ENDHXUTRANSCEIVER\r\n"
                            "DRU38 SINGLE\r\n"
                            "MARKETSEGMENT=FISHERY\r\n"
                            "CHANNEL1\r\n"
                            "KHZ=38\r\n"
                            "DRUPOWERTRANSFILENAME=pt38.txt\r\n"
                            "TRANSDUCER=T38 \r\n"
                            "ENDCHANNEL\r\n"
                            "ENDDRUTRANSCEIVER\r\n"
                            "UNIT QY42\r\n"
                            "BEAMTYPE=SINGLE\r\n"
                            "CHANNEL1\r\n"
                            "KHZ=200\r\n"
                            "TRANSDUCER=T200 \r\n"
                            "SLAVE=NO\r\n"
                            "FPADEC=4\r\n"
                            "FPAFILTERLENGTH=63\r\n"
                            "ENDCHANNEL\r\n"
                            "ENDNVUTRANSCEIVER\r\n"
                            "ENDTRANSCEIVERDATA\r\n"
                            "TRANSDUCERDATA\r\n"
                            "T38\r\n"
                            "FREQUENCY=38000\r\n"
                            "BEAMTYPE=SPLIT\r\n"
                            "EQUIVALENT2WAYBEAMANGLE=-20.6\r\n"
                            "GAIN=26.5 26.5 26.5 26.5 26.5\r\n"
                            "SACORRECTION=-0.6 -0.6 -0.6 -0.6 -0.6\r\n"
                            "MAXTXPOWER=2000\r\n"
                            "THREEDBBEAMWIDTHALONGSHIP=7.1\r\n"
                            "THREEDBBEAMWIDTHATHWARTSHIP=7.2\r\n"
                            "ANGLESENSITIVITYALONGSHIP=21.9\r\n"
                            "ANGLESENSITIVITYATHWARTSHIP=22.1\r\n"
                            "OFFSETALONGSHIP=0.05\r\n"
                            "OFFSETATHWARTSHIP=-0.04\r\n"
                            "TRANDUCERIMPEDANCE=75\r\n"
                            "ENDTRANSDUCER\r\n"
                            "T120\r\n"
                            "FREQUENCY=120000\r\n"
                            "MAXTXPOWER=500\r\n"
                            "ENDTRANSDUCER\r\n"
                            "T200\r\n"
                            "FREQUENCY=200000\r\n"
                            "ENDTRANSDUCER\r\n"
                            "ENDTRANSDUCERDATA\r\n";

// A block of one QY42 channel whose values are the caller's.
std::string QY42TrList(const std::string& khz, const std::string& filterLength)
{
    return "ENDCOMMENTDATA\r\nTRANSCEIVERDATA\r\nUNIT QY42\r\nCHANNEL1\r\nKHZ=" + khz +
           "\r\nTRANSDUCER=T200 \r\nFPAFILTERLENGTH=" + filterLength +
           "\r\nENDCHANNEL\r\nENDNVUTRANSCEIVER\r\nENDTRANSCEIVERDATA\r\n"
           "TRANSDUCERDATA\r\nT200\r\nFREQUENCY=200000\r\nENDTRANSDUCER\r\nENDTRANSDUCERDATA\r\n";
}

// What a transmit protocol puts on a line for the given messages.
std::string OnTheLine(const std::function<std::unique_ptr<CProtocol>(CSercor*)>& make,
                      const std::vector<std::string>& messages)
{
    auto line = CFakeSerialLine::Create("zvfuzz-seed-line");
    CSercor32 port;
    if (!port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE))
        return {};
    std::unique_ptr<CProtocol> protocol = make(&port);
    port.SetTxDelay(0);
    for (const std::string& m : messages)
        protocol->Send(m);
    // The transmit thread is done once its queue is empty and the line has
    // had nothing new for a while.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t written = 0;
    for (int quiet = 0; quiet < 50 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::size_t now = line->Written().size();
        quiet = protocol->GetQueueCount() == 0 && now == written && now > 0 ? quiet + 1 : 0;
        written = now;
    }
    port.Close();
    protocol.reset();
    return Text(line->Written());
}

void SetValue(HKEY root, const char* path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

// Settings as the program keeps them: texts, numbers, doubles as text,
// binary values, and a registered component class.
void ProgramSettings()
{
    const char* unit = "Software\\Zelvar\\EchoSounder\\QY310\\1.0\\Units";
    SetValue(HKEY_CURRENT_USER, unit, "DepthUnit", REG_DWORD, Dword(1));
    SetValue(HKEY_CURRENT_USER, unit, "Draught", REG_SZ, std::string("5.250000", 9));
    SetValue(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "SounderName", REG_SZ,
             std::string("QY310\0", 6));
    SetValue(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0\\Installation", "Offsets", REG_BINARY,
             Bytes({1, 2, 0xFF, 0}));
    SetValue(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\Port1", "Section", REG_MULTI_SZ,
             std::string("COM1\0"
                         "9600\0\0",
                         11));
    SetValue(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", "", REG_SZ, std::string("machine-wide\0", 13));
    const GUID clsid = {0x5A56C0DE, 0x0001, 0x0002, {3, 4, 5, 6, 7, 8, 9, 10}};
    RegisterComClass(SComClassRegistration{clsid, "Serial port", "ZelvarTovrelix.SerialCom.1",
                                           "ZelvarTovrelix.SerialCom", "Apartment", "/usr/lib/libtovrelix.so"});
}

}  // namespace

CSeedWriter::CSeedWriter(std::string fuzz, std::string profiles)
    : m_fuzz(std::move(fuzz)), m_profiles(std::move(profiles))
{}

bool CSeedWriter::WriteAll(std::string* error)
{
    for (auto step : {&CSeedWriter::Nmea,
                      &CSeedWriter::SensorLines,
                      &CSeedWriter::NetInput,
                      &CSeedWriter::SerialHub,
                      &CSeedWriter::Replay,
                      &CSeedWriter::QY42,
                      &CSeedWriter::QY42Unit,
                      &CSeedWriter::ChannelSettings,
                      &CSeedWriter::Geo,
                      &CSeedWriter::Hxu,
                      &CSeedWriter::Svp,
                      &CSeedWriter::Bitmap,
                      &CSeedWriter::TrList,
                      &CSeedWriter::Archive,
                      &CSeedWriter::Detector,
                      &CSeedWriter::PingerFile,
                      &CSeedWriter::Serial,
                      &CSeedWriter::RegText,
                      &CSeedWriter::Hive,
                      &CSeedWriter::LocalServer,
                      &CSeedWriter::Sinks,
                      &CSeedWriter::Xyz,
                      &CSeedWriter::HeavePurseSeine,
                      &CSeedWriter::Bootp}) {
        (this->*step)();
        if (!m_error.empty())
            break;
    }
    if (error)
        *error = m_error;
    return m_error.empty();
}

void CSeedWriter::Put(const std::string& target, const std::string& name, std::string_view bytes)
{
    if (bytes.empty() && m_error.empty())
        m_error = target + "/" + name + ": the writer gave nothing";
    const std::string folder = m_fuzz + "/" + target + "/corpus";
    fs::create_directories(folder);
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out && m_error.empty())
        m_error = "cannot write " + target + "/" + name;
}

std::string CSeedWriter::Profile(const std::string& name) const
{
    const std::string text = ReadFile(m_profiles + "/" + name);
    return text;
}

// What the serial sensors' lines bring, as the simulated sensors send it:
// rounds of every sentence, then the ways a line goes wrong. The first byte
// is the target's switches: monitors shown (1), trawl in hex (2), heading
// (4) and depth (8) on, replaying (16), a QY model's trawl ages (32).
// The motion sensor's telegrams in each protocol and a unit's analog samples
// of the simulator's motion scene, with look-ups between them, and the net
// sensors' sentences (see fuzz/heave_purseseine for the switches and steps).
void CSeedWriter::HeavePurseSeine()
{
    const zv::sim::SMotionScene motion;
    zv::sim::SSensorScene scene;
    const auto telegrams = [&](const char* kind, int count) {
        std::string steps;
        for (int i = 0; i < count; ++i) {
            // 40 ms apart (four steps of 10 ms).
            zv::sim::MoveScene(motion, 134'000'000'000'000'000ULL + static_cast<std::uint64_t>(i) * 400'000, scene);
            steps += Bytes({4 << 2 | 0}) + Sized(*zv::sim::EncodeSentence(kind, scene));
            if (i % 5 == 4)
                steps += Bytes({0 << 2 | 3}) + Word(25) + Word(0);
        }
        return steps;
    };
    const std::string lookAhead = Bytes({63 << 2 | 3}) + Word(0) + Word(0) + Bytes({63 << 2 | 3}) + Word(0) + Word(0);
    Put("heave_purseseine", "seed-ascii-shown", Bytes({1 | 0 << 1}) + telegrams("MOTION-ASCII", 30) + lookAhead);
    scene.motionValid = false;
    Put("heave_purseseine", "seed-ascii-invalid-mark", Bytes({0 << 1}) + telegrams("MOTION-ASCII", 5));
    scene.motionValid = true;
    // Fields of five digits, which 16 bits would wrap into range, between
    // whole telegrams, and a look-up over them.
    std::string wide = telegrams("MOTION-ASCII", 5);
    for (const char* line : {":00A0F0 65000F 0150  0200", ":00A0F0 -0012F65000  0200", ":00A0F0 -0012F 0150 70000"})
        wide += Bytes({4 << 2 | 0}) + Sized(line) + Bytes({0 << 2 | 3}) + Word(10) + Word(0);
    Put("heave_purseseine", "seed-ascii-five-digits", Bytes({0 << 1}) + wide + telegrams("MOTION-ASCII", 5));
    // A stray 0x90, a cut telegram, then whole ones.
    const std::string broken = Bytes({1 << 2}) + Sized(Bytes({0x90})) + Bytes({1 << 2}) +
                               Sized(zv::sim::EncodeSentence("MOTION-VN3500", scene)->substr(0, 6));
    Put("heave_purseseine", "seed-vn3500-broken-then-whole",
        Bytes({1 | 2 << 1}) + broken + telegrams("MOTION-VN3500", 30) + lookAhead);
    Put("heave_purseseine", "seed-vn1500-remote-heave", Bytes({1 << 1 | 64}) + telegrams("MOTION-VN1500", 30));
    Put("heave_purseseine", "seed-raw-stores-nothing", Bytes({3 << 1}) + telegrams("MOTION-VN3500", 5));
    std::string analog;
    for (int i = 0; i < 40; ++i) {
        zv::sim::MoveScene(motion, 134'000'000'000'000'000ULL + static_cast<std::uint64_t>(i) * 400'000, scene);
        // Volts x 100: heave 1 V a metre, angles as 10 sin(angle).
        const auto volts = [](double v) {
            return Word(
                static_cast<std::size_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v)))));
        };
        analog += Bytes({4 << 2 | 1}) + volts(scene.heave * 100) + volts(1000 * std::sin(scene.roll * M_PI / 180)) +
                  volts(1000 * std::sin(scene.pitch * M_PI / 180));
        if (i % 4 == 3)
            analog += Bytes({0 << 2 | 3}) + Word(15) + Word(0);
    }
    Put("heave_purseseine", "seed-analog-ten-sine-latency", Bytes({1 | 8 | 16 | 32 | 64 | 128}) + analog);
    Put("heave_purseseine", "seed-analog-other-unit", Bytes({8}) + analog);
    std::string net;
    for (const char* kind : {"PKVR", "PKVR-F"}) {
        std::string lines = *zv::sim::EncodeSentence(kind, scene) + "\r\n";
        for (std::size_t at = 0; (at = lines.find("\r\n")) != std::string::npos;) {
            net += Bytes({1 << 2 | 2}) + lines.substr(0, at) + "\n";
            lines.erase(0, at + 2);
        }
    }
    net += Bytes({2}) + "$PKVRP,0,0,0,D,M,1,0,,0,2\n" + Bytes({2}) + "$PKVRP,0,0,0,D,M,4,0,9,0,2\n" + Bytes({2}) +
           "$PKVR\n";
    Put("heave_purseseine", "seed-net-sensors", Bytes({1}) + net);
    // Depths finite as read that fathoms carry past the largest double,
    // between readings, and the largest that metres keep.
    Put("heave_purseseine", "seed-net-fathoms-past-double",
        Bytes({1, 2}) + "$PKVRP,0,0,0,D,F,1,0,12.5,0,2\n" + Bytes({2}) + "$PKVRP,0,0,0,D,F,1,0,1e308,0,2\n" +
            Bytes({2}) + "$PKVRP,0,0,0,D,f,2,0,-1.7e308,0,2\n" + Bytes({2}) + "$PKVRP,0,0,0,D,M,3,0,1e308,0,2\n");
}

void CSeedWriter::SensorLines()
{
    zv::sim::SSensorScene scene;
    scene.time = 134'000'000'000'000'000ULL;
    std::string round;
    for (const std::string& kind : zv::sim::SentenceKinds())
        round += *zv::sim::EncodeSentence(kind, scene) + "\n";
    std::string halves;
    for (const std::string& kind : zv::sim::SentenceKinds()) {
        const std::string sentence = *zv::sim::EncodeSentence(kind, scene);
        halves += sentence.substr(0, sentence.size() / 2) + "\n";
    }
    scene.depth = 0.0;
    scene.opening = 300.5;
    std::string other;
    for (const char* kind : {"DPT", "DBS", "DBT", "HFB", "HDG"})
        other += *zv::sim::EncodeSentence(kind, scene) + "\n";
    Put("sensor_lines", "seed-every-sentence-shown", Bytes({1 | 4 | 8}) + round + other);
    Put("sensor_lines", "seed-trawl-hex-qy-model", Bytes({1 | 2 | 4 | 8 | 32}) + round);
    Put("sensor_lines", "seed-replaying-inputs-off", Bytes({1 | 16}) + round);
    Put("sensor_lines", "seed-half-sentences", Bytes({1 | 4 | 8}) + halves + round);
    Put("sensor_lines", "seed-nul-garbage-long-line",
        Bytes({1 | 2 | 4 | 8}) +
            std::string("$IIDPT,1\0"
                        "2.5,0.0*00\n") +
            Bytes({0xFF, 0x00, 0x24, 0x0D, '\n'}) + std::string(5000, 'A') + "\n" +
            "$IIHFB,,M\n$SDDBT,x,f,y,M,z,F\n$IIHFB,nan,M\n" + round);
}

void CSeedWriter::Nmea()
{
    zv::recgen::SRecGenScene scene;
    zv::recgen::CompleteScene(scene);
    const zv::recgen::CRecordingGenerator generator(scene);
    std::vector<std::string> track;
    for (int ping = 0; ping < 3; ++ping)
        for (const std::string& s : generator.PingSentences(ping))
            track.push_back(s);
    const std::vector<std::string> others = {
        Sentence("$GPZDA,123456.50,07,12,2026,00,00"),
        Sentence("$HEHDT,274.07,T"),
        Sentence("$GPGLL,5957.1234,N,01045.6789,E,123521.00,A,A"),
        Sentence("$PTNL,GGK,123519.00,120126,5957.1234,N,01045.6789,E,3,08,1.2,EHT12.3,M"),
        Sentence("$PTIDE,x,1.25"),
        "$PGEOA,DEPTH,12.5",
        Sentence("$GPATS,T38 38 kHz event 7"),
        "CS,survey line 12 start",
        "PE,STOP",
        FormatDepthTelegram(CNoDepthTelegramSources(), 1, 1, 0, 134'000'000'000'000'000ULL, 42.5, 5.0, 0.0, 0.3),
        FormatDepthTelegram(CNoDepthTelegramSources(), 2, 1, 0, 134'000'000'000'000'000ULL, 42.5, 5.0, 0.0, 0.3),
    };
    // Flags: sounder, recorder, clock request, annotations; model QY310.
    Put("nmea", "seed-serial-position-and-clock",
        NmeaSettings(1, 1, 0, 1 | 2 | 4 | 8 | 1 << 4, 1, 6, "$GPGGA") + Join(track, '\n') + Join(others, '\n'));
    Put("nmea", "seed-network-ptnl-fields",
        NmeaSettings(2, 2, 1, 1 | 2 | 0 << 4, 2, 4, "$PTNL,GGK") + Join(others, '\n') + Join(track, '\n'));
    Put("nmea", "seed-no-sounder-survey-model", NmeaSettings(0, 1, 2, 3 << 4, 0, 0, "") + Join(others, '\n'));
}

void CSeedWriter::NetInput()
{
    const std::string settings = NmeaSettings(2, 2, 1, 1 | 2 | 1 << 4, 1, 6, "$GPGGA");
    std::vector<std::string> datagrams;
    // A whole Zelvar-A profile, an S10 sentence in two datagrams, a CALC
    // cast line by line, and the two files without an end mark.
    std::string zelvar = Profile("zelvar_a.txt");
    while (!zelvar.empty() && (zelvar.back() == '\n' || zelvar.back() == '\r'))
        zelvar.pop_back();
    datagrams.push_back(zelvar);
    const std::string s10 = Profile("s10_datagram.txt");
    const std::size_t half = s10.find(",10.0,");
    datagrams.push_back(s10.substr(0, half));
    datagrams.push_back(s10.substr(half));
    std::istringstream calc(Profile("calc_cast.txt"));
    for (std::string line; std::getline(calc, line);)
        datagrams.push_back(line.substr(0, line.find('\r')));
    datagrams.push_back(Profile("svplus.txt"));
    datagrams.push_back(Profile("xbt_sonar2090.txt"));
    datagrams.push_back(Sentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    datagrams.push_back(Sentence("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"));
    Put("netinput", "seed-profiles-and-telegrams", settings + Join(datagrams, '\0'));
    // An S10 date of ten digits a field: read into an int, 17 May 2024.
    Put("netinput", "regress-s10-ten-digit-date",
        settings + "$ABS10,1,1,134502,4294967313,4294967301,4294969320,0,1500,0,0,0\\");
}

void CSeedWriter::SerialHub()
{
    // Every input switch on; lines end in CR LF as the line brings them,
    // and an EOT byte is a tick of the profile timer.
    const std::string on(1, '\x07');
    const char tick = '\x04';
    std::string lines = Profile("calc_cast.txt") + tick + Profile("svplus.txt") + tick + tick +
                        Profile("s10_datagram.txt") + "PE,SYSTEM STARTPINGING\r\n$PTIDE,x,1.25\r\nCS,net in\r\n" +
                        "$PZATS,buoy\r\n" + Profile("zelvar_a.txt") + tick + tick + Profile("xbt_sonar2090.txt");
    Put("serialhub", "seed-casts-and-lines", on + lines);
    // A cast that imports nothing, then a good one.
    Put("serialhub", "seed-bad-cast-then-good-cast",
        on + "CALC\r\nno numbers\r\n0  0  0\r\n" + Profile("calc_cast.txt"));
    // One cast of each kind alone, finished by its end mark or by two ticks.
    const std::pair<const char*, const char*> casts[] = {
        {"seed-cast-calc", "calc_cast.txt"},  {"seed-cast-s10", "s10_datagram.txt"},
        {"seed-cast-svplus", "svplus.txt"},   {"seed-cast-xbt", "xbt_sonar2090.txt"},
        {"seed-cast-zelvar", "zelvar_a.txt"},
    };
    for (const auto& [seed, file] : casts)
        Put("serialhub", seed, on + Profile(file) + tick + tick);
    // A cast broken off mid-line, a line with a NUL inside (the hub reads up
    // to it) and one of bytes of no text, then a good cast.
    const std::string calc = Profile("calc_cast.txt");
    Put("serialhub", "seed-broken-line-then-good-cast",
        on + calc.substr(0, calc.find("1495")) + "\r\nCALC\r\n  0.50" + '\0' + "   1500.10\r\n\xff\xfe\x01\x7f\r\n" +
            tick + tick + calc);
}

void CSeedWriter::Replay()
{
    const std::string folder = CFuzzEnvironment::Get().Folder();
    const struct
    {
        const char* name;
        std::vector<std::string> settings;
    } files[] = {
        {"seed-two-channels", {"pings=4", "channels=38,120", "samples=40", "annotate-every=2", "svp-kind=3"}},
        {"seed-single-beam-deep", {"pings=3", "channels=200", "samples=60", "single-beam=1", "bottom=2", "svp-kind=0"}},
    };
    for (const auto& f : files) {
        zv::recgen::SRecGenScene scene;
        std::string why;
        for (const std::string& s : f.settings)
            if (!zv::recgen::ApplySetting(scene, s, &why))
                m_error = "recording generator: " + why;
        zv::recgen::CRecordingGenerator generator(scene);
        const std::string path = folder + "/seed.raw";
        fs::remove(path);
        if (!generator.Write(path, nullptr, &why))
            m_error = "recording generator: " + why;
        Put("replay", f.name, ReadFile(path));
    }
}

void CSeedWriter::QY42()
{
    const std::string trigger480 = Bytes({0}) + Dword(480);
    const std::string one = trigger480 + Bytes({1}) + Sized(Text(CQY42Simulator::MakeTriggerStatus())) + Bytes({1}) +
                            Sized(Samples(10000.0f, 1000, 1000, 240)) + Bytes({1}) +
                            Sized(Samples(10000.0f, 1000, 1240, 240)) + Bytes({3, 5 | 2 << 3});
    Put("qy42", "seed-one-ping-read-with-sum-filter", one);
    Put("qy42", "seed-gap-and-lost-datagram",
        trigger480 + Bytes({1}) + Sized(Samples(10000.0f, 1000, 1000, 120)) + Bytes({1}) +
            Sized(Samples(10000.0f, 1000, 1200, 120)) + Bytes({2, 1}) +
            Sized(Text(CQY42Simulator::MakeTriggerStatus())) + Bytes({3, 2 | 3 << 3}));
    std::string talk;
    for (const auto& [type, text] : std::vector<std::pair<int, std::string>>{
             {4, "HC"}, {4, "RC#"}, {3, "rx0filter.txt"}, {4, "SYNC"}, {4, "TC"}, {1, "Programming succeeded."}})
        talk += Bytes({1}) + Sized(Text(CQY42Simulator::MakeInfo(static_cast<std::uint32_t>(type), 7, text)));
    talk += Bytes({1}) + Sized(Text(CQY42Simulator::MakeVersionAnswer(false, "QY42 SIM 1.0")));
    talk += Bytes({1}) + Sized(AuxiliaryInput(120, 2));
    Put("qy42", "seed-set-up-talk", talk);
    // The answers to "HW request": the board's values, the addresses with
    // the unit's text, and a status answer cut short.
    CQY42Simulator::Addresses addresses;
    addresses.localAddress = 0x7F000002;
    addresses.localEthernet = {0x02, 0, 0, 0, 0x42, 1};
    addresses.localPort = 12346;
    addresses.remoteAddress = 0x7F000001;
    addresses.remoteEthernet = {0x02, 0, 0, 0, 0, 1};
    addresses.remotePort = 12348;
    const std::string board = Text(CQY42Simulator::MakeStatusAnswer(
        "SIMBRD", 10203, {180.0f, 12.1f, 10.0f, 5.0f, 3.3f, 2.5f, 1.5f, 6.0f, 35.5f, 31.0f, 42.0f}));
    Put("qy42", "seed-hardware-status",
        Bytes({1}) + Sized(board) + Bytes({1}) +
            Sized(Text(CQY42Simulator::MakeVersionAnswer(false, "QY42 SIM\nboot ok\n", addresses))) + Bytes({1}) +
            Sized(board.substr(0, 40)));
    // A positive sample rate so small that the ping start lies before 1601.
    Put("qy42", "regress-tiny-sample-rate", trigger480 + Bytes({1}) + Sized(Samples(1e-30f, 1000, 1000, 40)));
}

// The unit's set-up talk, one datagram after a 1 each, that leaves the
// driver ready to ping.
std::string QY42SetUpTalk()
{
    std::string talk;
    for (const auto& [type, text] : std::vector<std::pair<int, std::string>>{{4, "HC"},
                                                                             {4, "RC#"},
                                                                             {3, "rx0filter.txt"},
                                                                             {3, "rx1filter.txt"},
                                                                             {3, "rx2filter.txt"},
                                                                             {3, "rx3filter.txt"},
                                                                             {4, "SYNC"},
                                                                             {4, "TC"},
                                                                             {1, "Programming succeeded."}})
        talk += Bytes({1}) + Sized(Text(CQY42Simulator::MakeInfo(static_cast<std::uint32_t>(type), 7, text)));
    return talk;
}

void CSeedWriter::QY42Unit()
{
    // Ready, a ping started (0), its trigger status, its samples and the
    // unit's motion and event input on the way.
    Put("qy42unit", "seed-set-up-and-one-ping",
        QY42SetUpTalk() + Bytes({0, 1}) + Sized(Text(CQY42Simulator::MakeTriggerStatus())) + Bytes({1}) +
            Sized(Samples(10000.0f, 1000, 1000, 240)) + Bytes({1}) + Sized(AuxiliaryInput(120, 2)) + Bytes({1}) +
            Sized(Samples(10000.0f, 1000, 1240, 240)) + Bytes({1}) + Sized(AuxiliaryInput(360, 0)));
    // A ping whose unit falls silent (2): the ninth wait stands in a
    // placeholder, the eleventh gives the link up; a foreign datagram (3)
    // and a halt seen in the log between.
    Put("qy42unit", "seed-silence-gives-the-link-up",
        QY42SetUpTalk() + Bytes({0, 2, 2, 2, 2, 3, 2, 2, 2, 2, 2, 2, 2}) + Bytes({1}) +
            Sized(Text(CQY42Simulator::MakeInfo(4, 8, "HD"))));
    CQY42Simulator::Addresses addresses;
    addresses.localAddress = 0x7F000002;
    addresses.remoteAddress = 0x7F000001;
    Put("qy42unit", "seed-status-then-refusal",
        Bytes({1}) +
            Sized(Text(CQY42Simulator::MakeStatusAnswer(
                "SIMBRD", 10203, {180.0f, 12.1f, 10.0f, 5.0f, 3.3f, 2.5f, 1.5f, 6.0f, 35.5f, 31.0f, 42.0f}))) +
            Bytes({1}) + Sized(Text(CQY42Simulator::MakeVersionAnswer(false, "QY42 SIM 1.0", addresses))) + Bytes({1}) +
            Sized(Text(CQY42Simulator::MakeVersionAnswer(true, "QY42 SIM 1.0"))));
}

namespace {

std::string StoredText(const std::string& text)
{
    return text + std::string(1, '\0');
}

// A value as the channelsettings target writes it: the name's place in its
// table, the type's (0 text, 1 bytes, 2 and 3 numbers of 32 and 64 bits)
// with 0x80 for "User", the bytes.
std::string StoredValue(int name, int how, const std::string& bytes)
{
    return Bytes({name, how}) + Sized(bytes);
}

std::string ChannelFile(int mode, double pulseLength, double power)
{
    std::string bytes = Dword(static_cast<std::uint32_t>(mode));
    for (double v : {pulseLength, power}) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        bytes += Dword(static_cast<std::uint32_t>(bits)) + Dword(static_cast<std::uint32_t>(bits >> 32));
    }
    return bytes;
}

}  // namespace

void CSeedWriter::ChannelSettings()
{
    // The first byte: 1 a settings file follows, 2 the wide-band model.
    Put("channelsettings", "seed-file-key-and-user-values",
        Bytes({1}) + Sized(ChannelFile(0, 0.000512, 800.0)) +
            StoredValue(1, 0, StoredText(CNumberText::Fixed(0.000256))) +
            StoredValue(2, 0, StoredText(CNumberText::Fixed(500.0))) + StoredValue(0, 2, Dword(1)) +
            StoredValue(3, 0x80, StoredText(CNumberText::Fixed(5.5))) +
            StoredValue(10, 0x80, StoredText("T200 label")) + StoredValue(19, 0x82, Dword(3)));
    Put("channelsettings", "seed-wide-band-fm-pulse",
        Bytes({2}) + StoredValue(13, 2, Dword(1)) + StoredValue(14, 0, StoredText(CNumberText::Fixed(0.002))) +
            StoredValue(13, 0x82, Dword(1)) + StoredValue(14, 0x80, StoredText(CNumberText::Fixed(0.004))));
    // Stored numbers that once reached the sample-count conversions.
    Put("channelsettings", "regress-pulse-length-1e10-in-the-key", Bytes({0}) + StoredValue(1, 0, StoredText("1e10")));
    Put("channelsettings", "regress-pulse-length-nan-in-the-file",
        Bytes({1}) + Sized(ChannelFile(0, std::nan(""), 800.0)));
    Put("channelsettings", "regress-fm-pulse-length-infinite-under-user",
        Bytes({2}) + StoredValue(13, 2, Dword(1)) + StoredValue(14, 0x80, StoredText("inf")));
    Put("channelsettings", "regress-short-file", Bytes({1}) + Sized(ChannelFile(0, 0.000512, 800.0).substr(0, 12)));
}

void CSeedWriter::Geo()
{
    // Each datagram follows a 1 (into the port); a 2 reads the buffers out.
    CGeoSimulator::Settings settings;
    settings.samples = 60;
    settings.datagramBytes = 100;
    settings.channels = 4;
    CGeoSimulator sim(settings);
    auto datagrams = [](const std::vector<std::vector<std::uint8_t>>& list) {
        std::string out;
        for (const auto& d : list)
            out += Bytes({1}) + Sized(std::string(d.begin(), d.end()));
        return out;
    };
    const auto text = CGeoSimulator::EncodeTextHeader("$SDDBT,98.4,f,30.0,M,16.4,F*00");
    Put("geo", "seed-two-pings-and-a-text",
        datagrams(sim.EncodePing(1)) + Bytes({1}) + Sized(std::string(text.begin(), text.end())) +
            datagrams(sim.EncodePing(2)) + Bytes({2}));
    // A ping whose first channel's data runs past its header's count.
    auto overlong = sim.EncodePing(3);
    overlong[1].resize(overlong[1].size() + 40, 0);
    Put("geo", "seed-overlong-data", datagrams(overlong) + Bytes({2}));
}

void CSeedWriter::Hxu()
{
    // A 2 and a time limit run the trigger steps, each datagram follows a
    // 1, a 3 and a time hand the ping over, a 4 asks for the depths, a 0
    // reads a software file's line.
    CHxuSimulator::Settings settings;
    settings.fragmentSamples = 50;
    settings.bottomDepth = 10.0;
    CHxuSimulator sim(settings);
    auto datagrams = [](const std::vector<std::vector<std::uint8_t>>& list) {
        std::string out;
        for (const auto& d : list)
            out += Bytes({1}) + Sized(Text(d));
        return out;
    };
    const std::string start = Bytes({2}) + Dword(100000000);
    const std::string take = Bytes({3}) + Dword(0x1000) + Bytes({4});
    // One ping of 200 samples for each of the target's two channels (slots
    // 0 and 2), of which each takes as many as its range asks for.
    auto gap = sim.EncodePing(0, 200, 0.0001);
    gap.erase(gap.begin() + 1);
    Put("hxu", "seed-two-pings-a-gap-and-a-raw-block",
        start + datagrams(sim.EncodePing(0, 200, 0.0001)) + datagrams(sim.EncodePing(2, 200, 0.0001)) + Bytes({1}) +
            Sized(Text(CHxuSimulator::EncodeRawBlock(2, 7, 3, std::vector<std::int16_t>(30, -3000)))) + take + start +
            datagrams(gap) + datagrams(sim.EncodePing(2, 200, 0.0001)) + take);
    Put("hxu", "seed-start-talk-and-an-error",
        Bytes({0}) + "VERSION=2.40\n" + Bytes({1}) +
            Sized(Text(CHxuSimulator::EncodeVersion("U-H", "1.0", true, "halt"))) + Bytes({1}) +
            Sized(Text(CHxuSimulator::EncodeBlockReply(3))) + start + Bytes({1}) +
            Sized(Text(CHxuSimulator::EncodeText('W', "warm"))) + Bytes({1}) +
            Sized(Text(CHxuSimulator::EncodeText('E', "DSP halted"))) + take);
}

void CSeedWriter::Discovery()
{
    // The road (0 a search datagram, 1 the deck unit's text), the model, the
    // sender's address, then the answer as the simulated units make it.
    const std::string sender = Dword(0x7F000003);
    auto search = [&sender](int model, const std::vector<std::uint8_t>& answer) {
        return Bytes({0, model}) + sender + Text(answer);
    };
    CNvuSimulator::Settings nvuSettings;
    nvuSettings.boardKHz = {38, 200};
    const std::string nvuText = CNvuSimulator(nvuSettings).VersionText();
    Put("discovery", "seed-nvu-two-boards", search(5, CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, nvuText)));
    Put("discovery", "seed-nvu-board-word",
        search(5, CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, nvuText + "KVL58 Master\r\n")));
    CHxuSimulator::Settings hxuSettings;
    hxuSettings.ethernet = "0010F3A1B2C3";
    const std::string description = CHxuSimulator(hxuSettings).Description();
    const auto hxu = CHxuSimulator::EncodeVersion(description, "HXUSIM", false, "");
    Put("discovery", "seed-hxu-hydrography", search(1, hxu));
    Put("discovery", "seed-hxu-on-a-fishery-model", search(2, hxu));
    Put("discovery", "seed-hxu-cut-short", search(1, std::vector<std::uint8_t>(hxu.begin(), hxu.begin() + 40)));
    Put("discovery", "seed-hxu-fatal",
        search(1, CHxuSimulator::EncodeVersion(description, "HXUSIM", true, "DSP halted")));
    Put("discovery", "seed-deck-unit", Bytes({1, 1}) + Dword(0x7F000004) + CGeoSimulator::Settings().beginAnswer);
}

void CSeedWriter::Svp()
{
    const struct
    {
        int choice;
        const char* file;
    } imports[] = {{0, "calc_cast.txt"}, {1, "s10_datagram.txt"},  {2, "zelvar_a.txt"},   {3, "sbe_win.txt"},
                   {3, "svplus.txt"},    {4, "xbt_sonar2090.txt"}, {5, "asvp_named.txt"}, {5, "calc_cast.txt"}};
    for (const auto& i : imports)
        Put("svp", "seed-" + std::to_string(i.choice) + "-" + i.file, Bytes({i.choice}) + Profile(i.file));
    CSvpProfile profile;
    profile.AddPoint(0.0, 1495.0);
    profile.AddPoint(20.0, 1490.25);
    profile.AddPoint(100.0, 1485.5);
    const std::string asvp = CFuzzEnvironment::Get().Folder() + "/seed.asvp";
    profile.WriteAsvp(asvp);
    Put("svp", "seed-5-written-asvp", Bytes({5}) + ReadFile(asvp));
    Put("svp", "seed-6-profile-text", Bytes({6}) + profile.FormatProfile());
    Put("svp", "regress-s10-ten-digit-date",
        Bytes({1}) + "$ABS10,1,1,134502,4294967313,4294967301,4294969320,0,1500,0,0,0\\");
}

void CSeedWriter::Bitmap()
{
    const std::string path = CFuzzEnvironment::Get().Folder() + "/seed.bmp";
    for (int bits : {1, 4, 8, 24}) {
        CDIBSection dib;
        const int width = 13, height = bits == 8 ? -6 : 6;
        if (!dib.Create(width, height, bits, DIB_RGB_COLORS) || !dib.CreateSection()) {
            m_error = "bitmap of " + std::to_string(bits) + " bits";
            return;
        }
        for (std::size_t i = 0; i < dib.ColourTable().size(); ++i)
            dib.ColourTable()[i] =
                RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(2 * i), static_cast<BYTE>(255 - i), 0};
        for (DWORD i = 0; i < dib.GetHeader().biSizeImage; ++i)
            dib.GetBits()[i] = static_cast<BYTE>(i * 7);
        CFile file;
        if (!file.Open(path, CFile::modeCreate | CFile::modeWrite) || !dib.Save(file)) {
            m_error = "cannot save a bitmap";
            return;
        }
        file.Close();
        Put("bitmap", "seed-" + std::to_string(bits) + "-bits", ReadFile(path));
    }

    // A page as the printing writes it into the history folder, and damaged
    // history files: cut short, a wrong signature, sizes far beyond the file.
    CPrinterPage page;
    if (!page.Create(40, 30)) {
        m_error = "history page";
        return;
    }
    for (int x = 0; x < page.Width(); ++x)
        page.FillColumn(x, x % 30, 5, static_cast<BYTE>(x % CPrinterPage::kColours));
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite) || !page.Bitmap().Save(file)) {
        m_error = "cannot save a history page";
        return;
    }
    file.Close();
    const std::string history = ReadFile(path);
    Put("bitmap", "seed-history-page", history);
    Put("bitmap", "seed-history-short", history.substr(0, 30));
    Put("bitmap", "seed-history-signature", "MB" + history.substr(2));
    std::string huge = history;
    for (std::size_t at : {18u, 22u})
        huge.replace(at, 4, std::string("\xff\xff\xff\x7f", 4));
    Put("bitmap", "seed-history-huge-sizes", huge);
}

void CSeedWriter::TrList()
{
    Put("trlist", "seed-hxu", std::string("GPX HXU V1.02 00907200ab12\n") + kTrList);
    Put("trlist", "seed-dru-card", std::string("017\n") + kTrList);
    Put("trlist", "seed-qy42", std::string("UNIT QY42\n") + kTrList);
    // Numbers that fit no int where the entry holds an int: a filter length
    // read from the file, and a frequency in kHz read back from the
    // installation.
    Put("trlist", "regress-filter-length-beyond-int", "UNIT QY42\n" + QY42TrList("200", "1e10"));
    Put("trlist", "regress-infinite-filter-length", "UNIT QY42\n" + QY42TrList("200", "inf"));
    Put("trlist", "regress-frequency-beyond-int", "UNIT QY42\n" + QY42TrList("1e10", "63"));
    // The installation's other intake: what units answer its search.
    Discovery();
}

void CSeedWriter::Bootp()
{
    // bootp: the boot folder's length, then choices: a datagram (0, then
    // its 16-bit size and bytes) or an address set (3, six bytes of
    // hardware address, four of address).
    auto datagram = [](const std::vector<std::uint8_t>& bytes) {
        std::string piece(1, '\0');
        piece += static_cast<char>(bytes.size() & 0xFF);
        piece += static_cast<char>(bytes.size() >> 8);
        piece.append(bytes.begin(), bytes.end());
        return piece;
    };
    const std::uint8_t unit[6] = {0x02, 0x00, 0x00, 0x00, 0x1a, 0x2b};
    const std::uint8_t other[6] = {0x02, 0x00, 0x00, 0x00, 0x1a, 0x2c};
    const auto request = CNvuSimulator::MakeBootRequest(0x1a2b0001, unit);
    Put("bootp", "seed-unit-asks-twice",
        std::string(1, '\x20') + datagram(request) + datagram(CNvuSimulator::MakeBootRequest(0x1a2b0002, unit)));
    // 127.0.0.9 as the input's little-endian double word.
    std::string set(1, '\x03');
    set.append(reinterpret_cast<const char*>(other), 6);
    set.append("\x09\x00\x00\x7f", 4);
    Put("bootp", "seed-address-set-then-asked",
        std::string(1, '\x10') + set + datagram(CNvuSimulator::MakeBootRequest(0x1a2c0001, other)));
    // A boot folder of 110 characters: the path no longer fits the field.
    Put("bootp", "seed-path-too-long", std::string(1, '\x6e') + datagram(request));
    std::vector<std::uint8_t> tokenRing = request;
    tokenRing[1] = 6;
    std::vector<std::uint8_t> nvux = request;
    nvux[108 + 3] = 'X';  // the file field "NVUX"
    const std::vector<std::uint8_t> cut(request.begin(), request.begin() + 235);
    Put("bootp", "seed-refusals", std::string(1, '\x20') + datagram(tokenRing) + datagram(nvux) + datagram(cut));

    // ipaddresses: the table file as the server writes it, and damaged.
    const std::vector<sIp> entries{{"02:00:00:00:1a:2b", "192.168.0.150"}, {"0a:1b:2c:3d:4e:5f", "10.0.0.7"}};
    Put("ipaddresses", "seed-two-units", CIpAddressTable::Format(entries));
    std::vector<sIp> full;
    for (std::uint32_t ip = CIpAddressTable::kFirstAddress; ip <= CIpAddressTable::kLastAddress; ++ip) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:00:01:%02x", static_cast<unsigned>(ip & 0xFF));
        full.push_back({mac, "192.168.0." + std::to_string(ip & 0xFF)});
    }
    Put("ipaddresses", "seed-full-range", CIpAddressTable::Format(full));
    Put("ipaddresses", "seed-bad-lines",
        "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150\nMAC\nMAC=\nMAC=02-00-00-00-1a-2b\tIP=1.2.3.4\r\n"
        "MAC=02:00:00:00:1a:2c\tIP=192.168.0.256\r\nMAC=02:00:00:00:1A:2B\tIP=10.0.0.1\r\nMACMAC=IP=");
}

void CSeedWriter::Archive()
{
    CChannel::Construction construction;
    construction.ChannelName = "T38 38 kHz";
    construction.SourceName = "T38 38 kHz";
    construction.StandardParts = true;
    CChannel channel(construction);
    const CSettingsFolder& settings = CFuzzEnvironment::Get().SettingsFolder();
    const std::string folder = settings.Get();
    for (const char* kind : {CChannelLayoutFile::kFirstKind, CChannelLayoutFile::kSecondKind}) {
        CChannelLayoutFile layout(settings, &channel, kind);
        const bool first = kind == CChannelLayoutFile::kFirstKind;
        layout.m_depth.m_minimumAlarm = first;
        layout.m_depth.m_minimumDepth = 3.5;
        layout.m_depth.m_maximumDepth = 250.0;
        layout.m_echograms[1].m_range = 40.0;
        layout.m_echograms[1].m_start = 10.0;
        if (!layout.SaveSettings("seed.ser")) {
            m_error = "cannot save a channel layout";
            return;
        }
        Put("archive", first ? "seed-first-frame-kind" : "seed-second-frame-kind", ReadFile(folder + "seed.ser"));
    }
    {
        // The second kind with its echo traces set, as written before it had
        // them (the three documents alone), and damaged: an echo trace's
        // presentation out of range, and the file cut inside the last
        // document. A damaged file loads nothing.
        CChannelLayoutFile layout(settings, &channel, CChannelLayoutFile::kSecondKind);
        layout.m_traces[0].m_presentation = CEchoTraceDoc::kHistogram;
        layout.m_traces[1].m_sizeScale = CEchoTraceDoc::kWeight;
        if (!layout.SaveSettings("seed.ser")) {
            m_error = "cannot save a channel layout";
            return;
        }
        const std::string five = ReadFile(folder + "seed.ser");
        Put("archive", "seed-second-frame-kind-echo-traces", five);
        CChannelLayoutFile old(settings, &channel, CChannelLayoutFile::kFirstKind);
        std::vector<BYTE> proportions;
        {
            CArchive ar(proportions, CArchive::store);
            ar << std::string(CChannelLayoutFile::kSecondKind) << 0.2 << 0.15 << 20.0 << 0.65;
            old.m_depth.Serialize(ar);
            old.m_echograms[0].Serialize(ar);
            old.m_echograms[1].Serialize(ar);
        }
        Put("archive", "seed-second-frame-kind-before-echo-traces",
            std::string(proportions.begin(), proportions.end()));
        // The first echo trace follows the version text (1 + 27 bytes), four
        // doubles and the depth document.
        std::vector<BYTE> depth;
        {
            CArchive ar(depth, CArchive::store);
            layout.m_depth.Serialize(ar);
        }
        std::string bad = five;
        bad[28 + 32 + depth.size()] = 7;
        Put("archive", "seed-second-frame-kind-bad-presentation", bad);
        Put("archive", "seed-second-frame-kind-cut", five.substr(0, five.size() - 3));
    }
    // Nothing but UTF-16 markers: once one nested read per marker.
    std::string markers;
    for (int i = 0; i < 100000; ++i)
        markers += Bytes({0xFF, 0xFE, 0xFF});
    Put("archive", "regress-utf16-markers", markers);
}

void CSeedWriter::Detector()
{
    CBottomDetector::Construction c;
    c.SourceName = "T38 38 kHz";
    c.UseSettingsFolder = false;
    CBottomDetector plain(c);
    const auto a = plain.EncodeSettings();
    Put("detector", "seed-defaults", std::string_view(reinterpret_cast<const char*>(a.data()), a.size()));
    CBottomDetector layered(c);
    layered.SetMinimumDepth(2.5);
    layered.SetMaximumDepth(300.0);
    layered.SetDisplayMode(2, "bottom");
    layered.SetSecondLayer(true, "T120 120 kHz", 2.5);
    const auto b = layered.EncodeSettings();
    Put("detector", "seed-second-layer", std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

void CSeedWriter::PingerFile()
{
    // "Pinger.dta" as the pinger writes it, then its settings archive.
    struct CSeedPingerHost : IPingerModeHost
    {
        std::string GetSerializePath() override { return CFuzzEnvironment::Get().Folder() + "/"; }
        bool IsReplaying() override { return false; }
        bool RunPingerDialog(SPingerDialogValues& v) override
        {
            v = values;
            return true;
        }
        void PostToFrame(unsigned, std::intptr_t, std::intptr_t) override {}
        SPingerDialogValues values;
    } host;
    const struct
    {
        const char* name;
        double period, pulse;
    } rows[] = {{"seed-period-and-pulse", 0.5, 2.0}, {"seed-slow-pinger", 2.0, 10.0}};
    for (const auto& r : rows) {
        host.values = {120.0, 400.0, r.pulse, r.period, false};
        CPingerMode pinger(host);
        if (!pinger.Synchronise()) {
            m_error = "cannot set a pinger up";
            return;
        }
        std::vector<BYTE> archive;
        {
            CArchive ar(archive, CArchive::store);
            pinger.Serialize(ar);
        }
        Put("pingerfile", r.name,
            ReadFile(pinger.DataFilePath()) +
                std::string(reinterpret_cast<const char*>(archive.data()), archive.size()));
    }
    // A file cut short.
    Put("pingerfile", "seed-short-file", Bytes({0, 0, 0, 0, 0, 0, 0xE0, 0x3F, 1, 2}));
}

void CSeedWriter::Serial()
{
    using Make = std::function<std::unique_ptr<CProtocol>(CSercor*)>;
    const std::string eight = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
    const struct
    {
        int kind;
        const char* name;
        Make make;
        std::vector<std::string> messages;
    } rows[] = {
        {0,
         "ascii",
         [](CSercor* p) { return std::make_unique<CASCII>(p, PROT_TRANSMIT, 0); },
         {"T38 depth 12.34", "second line"}},
        {1,
         "ascii-cr-lf",
         [](CSercor* p) {
             auto a = std::make_unique<CASCII>(p, PROT_TRANSMIT, 0);
             a->SetTerminator(TRUE, TRUE);
             return a;
         },
         {"T38 depth 12.34", "second line"}},
        {2, "raw", [](CSercor* p) { return std::make_unique<CRAW>(p, PROT_TRANSMIT, 0); }, {"raw bytes \x01\x02"}},
        {3,
         "nmea",
         [](CSercor* p) { return std::make_unique<CNMEA>(p, PROT_TRANSMIT, 0); },
         {"SDDPT,12.3,0.5", "GPZDA,123456.50,07,12,2026,00,00"}},
        {4,
         "quelto",
         [](CSercor* p) { return std::make_unique<CQuelto>(p, PROT_TRANSMIT, 0); },
         {Bytes({1, 2, 0x55, 0xAA}), "status"}},
        {5, "zlt", [](CSercor* p) { return std::make_unique<CZLT2_300>(p, PROT_TRANSMIT, 0); }, {"12", "345"}},
        {6,
         "modbus",
         [](CSercor* p) { return std::make_unique<CModBus>(p, PROT_TRANSMIT, 0); },
         {Bytes({1, 3, 0, 0, 0, 1}), Bytes({1, 6, 0, 2, 0x12, 0x34})}},
        {7,
         "motion",
         [](CSercor* p) { return std::make_unique<CMoviraZelvar>(p, PROT_TRANSMIT, 0); },
         {Bytes({0x90, 0x90}) + eight, Bytes({0x91, 0x90}) + eight}},
        {8,
         "motion-vn1500",
         [](CSercor* p) { return std::make_unique<CMoviraVN1500>(p, PROT_TRANSMIT, 0); },
         {Bytes({0x00, 0x90}) + eight}},
    };
    for (const auto& row : rows) {
        const std::string wire = OnTheLine(row.make, row.messages);
        if (wire.empty()) {
            m_error = std::string("nothing on the line from ") + row.name;
            return;
        }
        // Whole, then cut in two with silence after each part, then with a
        // line error and a modem event in the middle.
        const std::string kind = Bytes({row.kind});
        const std::size_t cut = wire.size() / 2;
        Put("serial", std::string("seed-") + row.name, kind + Bytes({0}) + Sized(wire) + Bytes({2}));
        Put("serial", std::string("seed-") + row.name + "-cut-by-silence",
            kind + Bytes({0}) + Sized(wire.substr(0, cut)) + Bytes({2, 0}) + Sized(wire.substr(cut)) + Bytes({2}));
        Put("serial", std::string("seed-") + row.name + "-line-error-and-modem",
            kind + Bytes({0}) + Sized(wire.substr(0, cut)) +
                Bytes({1, CE_FRAME, 3, static_cast<int>(EV_CTS), MS_CTS_ON, 0}) + Sized(wire) + Bytes({2}));
    }
}

void CSeedWriter::RegText()
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.FreshHivesInMemory();
    ProgramSettings();
    std::string text = "; zvreg export\n", error;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT})
        CRegText::Export(root, "", text, error);
    Put("regtext", "seed-program-settings", text);
    // 30,000 names deep: taken, it took every walk over the tree that deep.
    std::string deep = "[HKCU\\a";
    for (int i = 1; i < 30000; ++i)
        deep += "\\a";
    Put("regtext", "regress-deep-key-path", deep + "]\n");
    // The store refuses the last line (a name of 300 characters): the lines
    // before it must not be kept either.
    Put("regtext", "regress-refused-line-keeps-nothing",
        "[HKCU\\Software\\Zelvar]\n\"Kept\"=dword:00000001\n[HKCU\\Software\\" + std::string(300, 'n') + "]\n");
}

void CSeedWriter::Hive()
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    const std::string folder = environment.FreshHiveFolder();
    ProgramSettings();
    RegFlushKey(HKEY_CURRENT_USER);
    RegFlushKey(HKEY_CLASSES_ROOT);
    RegistryResetStore();
    const std::string hive = ReadFile(folder + "/user.db");
    Put("hive", "seed-user-settings", hive);
    Put("hive", "seed-component-classes", ReadFile(folder + "/classes.db"));

    // A key row with an empty name below "EchoSounder": it names its parent
    // again, so each walk over the tree went round it for ever.
    sqlite3* db = nullptr;
    const std::string damaged = folder + "/damaged.db";
    std::ofstream(damaged, std::ios::binary) << hive;
    if (sqlite3_open(damaged.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db,
                     "PRAGMA journal_mode = DELETE; INSERT INTO keys(parent, name, lname, class) "
                     "SELECT id, '', '', '' FROM keys WHERE lname = 'echosounder'",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        m_error = "cannot damage a hive";
    sqlite3_close(db);
    Put("hive", "regress-empty-key-name", ReadFile(damaged));
    environment.FreshHivesInMemory();
}

void CSeedWriter::LocalServer()
{
    // The runtime's own server answering a creation and the calls of the
    // calibration hand-over, its answers recorded as they reach the client.
    class CRecorded final : public ILocalServerTransport
    {
    public:
        CRecorded(int fd, std::string& answers) : m_fd(fd), m_answers(answers) {}
        bool Send(const std::uint8_t* data, std::size_t size) override
        {
            return ::send(m_fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
        }
        long Receive(std::uint8_t* data, std::size_t size, std::chrono::steady_clock::time_point) override
        {
            const ssize_t n = ::recv(m_fd, data, size, 0);
            if (n > 0)
                m_answers.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
            return n < 0 ? 0 : long(n);
        }

    private:
        int m_fd;
        std::string& m_answers;
    };
    class CObject final : public ILocalServerObject
    {
    public:
        // "Frequency" is refused once, as a component may do.
        HRESULT Invoke(ULONG slot, VARIANT*, ULONG) override { return slot == 7 && m_calls++ == 0 ? E_FAIL : S_OK; }

    private:
        int m_calls = 0;
    };
    const GUID clsid = {0x52CBDAD9, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};
    const GUID iid = {0x52CBDAD8, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};
    const auto run = [&](const GUID& asked) {
        int ends[2];
        std::string answers;
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
            return answers;
        SLocalServerClass serverClass{clsid, {iid}, [] { return std::make_unique<CObject>(); }};
        std::thread server([&] { RunLocalServer(serverClass, ends[1]); });
        {
            CLocalServerConnection c(std::make_unique<CRecorded>(ends[0], answers));
            if (SUCCEEDED(c.Create(asked, iid))) {
                VARIANT args[4];
                args[0].vt = VT_BSTR;
                args[0].bstrVal = SysAllocString("Frequency");
                args[1].vt = VT_R8;
                args[1].dblVal = 38000.0;
                c.Call(7, args, 2);
                c.Call(7, args, 2);
                args[2].vt = VT_UI2;
                args[2].uiVal = 1;
                args[3].vt = VT_ARRAY | VT_R8;
                args[3].parray = SafeArrayCreateVector(VT_R8, 0, 6);
                c.Call(8, args, 4);
                for (VARIANT& v : args)
                    VariantClear(&v);
            }
        }
        ::close(ends[0]);
        server.join();
        ::close(ends[1]);
        return answers;
    };
    Put("localserver", "seed-calls", run(clsid));
    Put("localserver", "seed-refused", run(iid));
}

// What the post-processing output and the raw-data output send, as their
// peers' sinks receive it: each datagram as it goes, and for the raw sink a
// recording it compares with as well.
void CSeedWriter::Sinks()
{
    const auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
    const std::uint64_t time = 134'108'208'000'000'000ULL;
    const std::string t = CLX750::TimeText(time);
    CLX750::Settings s;
    const std::vector<std::int16_t> surface(40, -1200), bottom(10, -3000);
    Put("lx750sink", "seed-echogram", text(CLX750::BuildEchogramDatagram(2, t, s, 55.5f, surface, bottom)));
    const std::vector<std::array<float, 5>> targets(3, {31.0f, -45.0f, -46.0f, 1.5f, -2.0f});
    Put("lx750sink", "seed-echo-trace", text(CLX750::BuildEchoTraceDatagram(1, t, targets)));
    Put("lx750sink", "seed-vessel-log", text(CLX750::BuildVesselLog(time, 12.345)));
    const std::string parameter = CLX750::PulseLengthParameter(t, 1, 0.001024);
    Put("lx750sink", "seed-parameter", std::string_view(parameter.c_str(), parameter.size() + 1));
    Put("lx750sink", "seed-navigation", text(CLX750::BuildNavigation("$GPVTG,45.0,T,,M,8.0,N,14.8,K*6B")));

    using namespace zv::recording;
    SConfiguration config;
    config.fileName = config.lineText = "DUMMY";
    config.programName = "QY310";
    for (double kHz : {38.0, 120.0}) {
        SConfigChannel c;
        c.id = "T38 " + std::to_string(int(kHz)) + " kHz";
        c.frequency = kHz * 1000.0;
        config.channels.push_back(c);
    }
    const auto body = [](const CFramedDatagram& d) {
        return std::string(reinterpret_cast<const char*>(d.Body().data()), d.Body().size());
    };
    Put("rawsink", "seed-configuration",
        body(CDatagramWriter::BuildConfiguration(config, CDatagramWriter::EChannels::All)));
    const std::vector<std::int16_t> power(60, -4000), angle(60, 257);
    SSampleData sample;
    sample.header.channel = 2;
    sample.header.frequency = 120000.0;
    sample.header.time = time;
    sample.power = power;
    sample.angle = angle;
    Put("rawsink", "seed-samples", body(CDatagramWriter::BuildSample(sample)));
    Put("rawsink", "seed-sentence", body(CDatagramWriter::BuildText(kTypeNME0, "$GPGGA,120000.00,6000.0,N", time)));
    Put("rawsink", "seed-profile",
        body(CDatagramWriter::BuildProfile("( SoundVelocity 1.00 )\r\n0.0 1495.0", time, 3)));
    const SDepthEntry depths[] = {{55.5, 0.0}};
    Put("rawsink", "seed-depth", body(CDatagramWriter::BuildDepth(depths, time)));

    // A recording the sink compares with, as a whole framed file.
    zv::recgen::SRecGenScene scene;
    std::string why;
    for (const char* setting : {"pings=2", "channels=38,120", "samples=30"})
        if (!zv::recgen::ApplySetting(scene, setting, &why))
            m_error = "recording generator: " + why;
    const std::string path = CFuzzEnvironment::Get().Folder() + "/sink.raw";
    fs::remove(path);
    if (!zv::recgen::CRecordingGenerator(scene).Write(path, nullptr, &why))
        m_error = "recording generator: " + why;
    Put("rawsink", "seed-recording", ReadFile(path));
}

// Records as fuzz/xyz reads them: a choice byte, then a sentence received
// some 10 ms after the one before, a depth pair about that time, the
// antenna height, or the lines that can be written.
void CSeedWriter::Xyz()
{
    const auto sentence = [](int hundredths, const std::string& text) {
        return Bytes({0}) + Word(std::size_t(hundredths)) + text + "\n";
    };
    const auto depth = [](double metres, double second, int hundredths) {
        return Bytes({1}) + Word(std::size_t(std::lround(metres * 100))) +
               Word(std::size_t(std::lround(second * 100))) + Word(std::size_t(32768 + hundredths));
    };
    const std::string lines = Bytes({3});
    // A generated track: each ping's sentences (the first a ping interval
    // after the ones before), then each channel's depth 0.2 s later.
    const auto track = [&](std::initializer_list<const char*> settings) {
        zv::recgen::SRecGenScene scene;
        for (const char* setting : settings)
            zv::recgen::ApplySetting(scene, setting, nullptr);
        zv::recgen::CompleteScene(scene);
        const zv::recgen::CRecordingGenerator generator(scene);
        std::string out = Bytes({2}) + Word(250);
        for (int ping = 0; ping < 8; ++ping) {
            int delay = ping ? int(std::lround(scene.pingInterval * 100)) : 0;
            for (const std::string& s : generator.PingSentences(ping)) {
                out += sentence(delay, s);
                delay = 0;
            }
            for (std::size_t c = 0; c < generator.RecordedChannels(); ++c) {
                float d = 0.0f, second = 0.0f;
                generator.PingDepth(ping, c, d, second);
                out += depth(d, second, 20);
            }
            out += lines;
        }
        return out;
    };
    Put("xyz", "seed-south-west-without-fix",
        track({"lat=-33.9", "lon=-151.2", "course=225", "gll=1", "nofix-first=3", "nofix-last=4"}));
    Put("xyz", "seed-grid-track", track({"llq=1", "course=90"}));
    Put("xyz", "seed-date-line", track({"lat=10.0", "lon=179.9995", "course=90", "speed=30"}));
    // The other position types, sentences that are none, and what a
    // receiver sends that must give no position.
    std::string others =
        sentence(0, Sentence("$PTNL,GGK,120000.00,070126,5957.1234,N,01045.6789,E,3,08,1.2,EHT12.3,M")) +
        sentence(100, Sentence("$PTNL,GGK,120001.00,070126,5957.1300,N,01045.6800,E,3,08,1.2,EHT12.4,M")) +
        depth(20.5, 0.0, -50) + lines +
        sentence(100, Sentence("$PTNL,PJK,120002.00,070126,6618643.123,N,500123.456,E,1,08,1.2,EHT45.1,M")) +
        sentence(100, Sentence("$GPLLK,120003.00,070126,500123.456,M,6618643.123,M,3,08,0.012,45.10,M")) +
        sentence(100, Sentence("$GPLLQ,120004.00,070126,500124.456,M,6618644.123,M,3,08,0.012,45.20,M")) +
        depth(21.0, 0.0, -50) + lines + sentence(0, Sentence("$GPGGA,120005,,,,,0,00,,,M,,M,,")) +
        sentence(100, Sentence("$GPGGA,120006,59x7.1,N,01045.6789,E,1,08,0.9,5.4,M,46.9,M,,")) +
        sentence(0, Sentence("$HEHDT,274.07,T")) + sentence(0, "$PGEOA,DEPTH,12.5") + sentence(0, "$GPG") +
        sentence(0, "") + depth(22.0, 0.0, 0) + lines;
    Put("xyz", "seed-other-types-and-no-positions", others);
}
