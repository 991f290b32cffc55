#include "sim/recgen/RecordingGenerator.h"

#include "sim/recgen/RecGenWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zv::recgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kUnitsPerDb = 85.0413592;

// A counter-based generator: the value for (seed, ping, channel, index) is
// the same whatever order samples are made in, so tests can recompute any
// ping without writing the file.
std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

double Uniform(std::uint64_t seed, std::uint64_t a, std::uint64_t b, std::uint64_t c)
{
    const std::uint64_t h = Mix(seed ^ Mix(a ^ Mix(b ^ Mix(c))));
    return double(h >> 11) * (1.0 / 9007199254740992.0);  // [0, 1)
}

std::string Checksummed(const std::string& body)
{
    unsigned cs = 0;
    for (char c : body)
        cs ^= std::uint8_t(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", cs);
    return "$" + body + tail;
}

// Degrees as NMEA "ddmm.mmmm" (or dddmm.mmmm) and its hemisphere letter.
std::string NmeaAngle(double deg, int degreeDigits, char pos, char neg, char& hemi)
{
    hemi = deg >= 0 ? pos : neg;
    deg = std::fabs(deg);
    int whole = int(deg);
    double minutes = (deg - whole) * 60.0;
    if (minutes >= 59.99995) {  // would print as 60.0000
        minutes = 0;
        ++whole;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", degreeDigits, whole % 1000);
    std::string m = Fixed(minutes, 4);
    if (minutes < 10)
        m = "0" + m;
    return buf + m;
}

void TimeOfDay(std::uint64_t filetime, int& h, int& m, double& s, int& year, int& month, int& day)
{
    const std::uint64_t secs1601 = filetime / 10000000ULL;
    const std::int64_t unixSecs = std::int64_t(secs1601) - 11644473600LL;
    const std::int64_t days = unixSecs >= 0 ? unixSecs / 86400 : (unixSecs - 86399) / 86400;
    const std::int64_t sod = unixSecs - days * 86400;
    h = int(sod / 3600);
    m = int(sod / 60 % 60);
    s = double(sod % 60) + double(filetime % 10000000ULL) / 1e7;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// The echo a point target makes as the channel will see it: its received
// level at sample i (range (i + 1) x d, as the channel ranges it) is what
// the channel's TS samples turn back into the target's strength, with the
// channel's own sonar equation (TS constant, 40 log R TVG with its range
// offset and its start at 1 m), less the two-way loss of the beam pattern at
// the target's angles.
class CPointEcho
{
public:
    CPointEcho(const SRecGenChannel& ch, double alpha, double d) : m_ch(ch), m_alpha(alpha), m_d(d)
    {
        const double waveTerm = 20.0 * std::log10(1470.6 / (4.0 * 3.14159265 * ch.frequencyHz));
        m_tsConstant = -(10.0 * std::log10(ch.power) + 2.0 * ch.gain + waveTerm);
        m_r0 = 12.6 / ch.frequencyHz * 1500.0 * 0.5 + 1500.0 * ch.pulseDuration * 0.25;
    }

    double Level(std::size_t i, double ts, double along, double athwart) const
    {
        const double r = double(i + 1) * m_d;
        double tvg = 0.0;
        if (r > std::max(m_r0, 1.0))
            tvg = std::clamp(40.0 * std::log10(r - m_r0) + 2.0 * m_alpha * (r - m_r0), 0.0, 300.0);
        return ts - BeamLoss(along, athwart) - tvg - m_tsConstant;
    }

    // Two-way loss (dB) at the angles: 6.0206 dB where both lie at half
    // their beam width's half, the shape the channel compensates.
    double BeamLoss(double along, double athwart) const
    {
        const double x = along / (m_ch.beamWidthAlong / 2.0);
        const double y = athwart / (m_ch.beamWidthAthwart / 2.0);
        return 6.0206 * (x * x + y * y - 0.18 * x * x * y * y);
    }

    // The phase word of the angles: along-ship in the high byte.
    std::int16_t Phase(double along, double athwart) const
    {
        const double step = 180.0 / 128.0;
        const int a =
            std::clamp(int(std::lround((along + m_ch.offsetAlong) * m_ch.sensitivityAlong / step)), -128, 127);
        const int b =
            std::clamp(int(std::lround((athwart + m_ch.offsetAthwart) * m_ch.sensitivityAthwart / step)), -128, 127);
        return std::int16_t(std::uint16_t((std::uint8_t(std::int8_t(a)) << 8) | std::uint8_t(std::int8_t(b))));
    }

private:
    const SRecGenChannel& m_ch;
    double m_alpha, m_d, m_tsConstant = 0.0, m_r0 = 0.0;
};

}  // namespace

CRecordingGenerator::CRecordingGenerator(SRecGenScene scene) : m_scene(std::move(scene))
{
    CompleteScene(m_scene);
}

std::int16_t CRecordingGenerator::PowerWord(double db)
{
    const double w = std::trunc(db * kUnitsPerDb);
    if (!(w == w) || w <= -20000.0)
        return -20000;
    return std::int16_t(std::min(w, 32767.0));
}

double CRecordingGenerator::Absorption(double f) const
{
    // A smooth stand-in for sea-water absorption, dB/m: about 0.01 at
    // 38 kHz and 0.04 at 200 kHz.
    return 0.0098 * std::pow(f / 38000.0, 0.85);
}

std::string CRecordingGenerator::ChannelId(std::size_t channel) const
{
    const SRecGenChannel& ch = m_scene.channels.at(channel);
    char buf[64];
    std::snprintf(buf, sizeof buf, "Synthetic %d kHz CH%zu", int(ch.frequencyHz / 1000.0), channel + 1);
    return buf;
}

void CRecordingGenerator::PingSamples(int ping, std::size_t channel, std::vector<std::int16_t>& power,
                                      std::vector<std::int16_t>& angle) const
{
    const SRecGenChannel& ch = m_scene.channels.at(channel);
    const std::uint64_t seed = m_scene.seed;
    const double c = m_scene.soundVelocity;
    const double rangePerSample = ch.sampleInterval * c * 0.5;
    const double alpha = Absorption(ch.frequencyHz);
    const double bottomRange = BottomDepthAt(m_scene, ping) - ch.draught;
    const bool school = ping >= m_scene.schoolFirstPing && ping <= m_scene.schoolLastPing;
    const double schoolTop = m_scene.schoolDepth - m_scene.schoolHeight / 2 - ch.draught;
    const double schoolBottom = m_scene.schoolDepth + m_scene.schoolHeight / 2 - ch.draught;
    const std::size_t n = ch.samples;
    power.assign(n, 0);
    angle.assign(ch.splitBeam ? n : 0, 0);

    // Targets of this ping: range, and the two angles in degrees.
    struct Target
    {
        double range, along, athwart;
    };
    std::vector<Target> targets;
    // Each target in a band of its own between 5 m and the bottom, clear of
    // the next one, and well inside the beam, so that the detection finds
    // every one of them.
    const int count = m_scene.targetsPerPing;
    for (int k = 0; k < count; ++k) {
        const double lo = 5.0, hi = std::max(lo + 1.0, bottomRange - 3.0);
        const double band = (hi - lo) / count;
        targets.push_back({lo + band * (k + 0.1 + 0.8 * Uniform(seed, 1000 + ping, 7, k)),
                           -2.0 + 4.0 * Uniform(seed, 2000 + ping, 7, k),
                           -2.0 + 4.0 * Uniform(seed, 3000 + ping, 7, k)});
    }
    const double pulseRange = std::max(ch.pulseDuration * c * 0.5, rangePerSample);
    const CPointEcho echo(ch, alpha, rangePerSample);

    // The sphere's echo peaks on one sample and falls off in a Gaussian, 6 dB
    // down half a pulse length (as the detection measures it) plus half a
    // sample from its peak.
    double sphereAlong = 0.0, sphereAthwart = 0.0;
    SphereAnglesAt(m_scene, ping, sphereAlong, sphereAthwart);
    const long spherePeak = m_scene.sphereGrid > 0 ? std::lround(m_scene.sphereRange / rangePerSample) - 1 : -1;
    const double pulseSamples = std::max(1.0, std::round(1500.0 * ch.pulseDuration / 2.0 / rangePerSample));
    const long sphereReach = long(2.0 * pulseSamples);

    const long pingerAt = channel == 0 ? PingerSampleAt(m_scene, ping) : -1;
    const long pingerWidth = std::max(1L, long(std::lround(m_scene.pingerPulse / ch.sampleInterval)));

    for (std::size_t i = 0; i < n; ++i) {
        const double r = (double(i) + 0.5) * rangePerSample;
        const double noise = m_scene.noiseDb + 6.0 * (Uniform(seed, ping, channel, i) - 0.5);
        double spreadCache = -1.0;
        auto spread = [&] {
            return spreadCache >= 0.0 ? spreadCache
                                      : (spreadCache = std::max(0.0, 20.0 * std::log10(r) + 2.0 * alpha * r));
        };
        double linear = 0.0;
        double along = 0.0, athwart = 0.0;
        if (school && r >= schoolTop && r <= schoolBottom)
            linear +=
                std::pow(10.0, (m_scene.schoolSv + 3.0 * Uniform(seed, ping, channel + 100, i) - spread()) / 10.0);
        if (r >= bottomRange) {
            // The bottom echo peaks at the bottom and fades 6 dB a metre.
            const double below = r - bottomRange;
            linear += std::pow(10.0, (m_scene.bottomSv - 6.0 * below - spread()) / 10.0);
        }
        for (const Target& t : targets) {
            if (r >= t.range && r < t.range + pulseRange) {
                linear += std::pow(10.0, echo.Level(i, m_scene.targetTs, t.along, t.athwart) / 10.0);
                along = t.along;
                athwart = t.athwart;
            }
        }
        const long k = long(i) - spherePeak;
        if (spherePeak >= 0 && k >= -sphereReach && k <= sphereReach) {
            const double shape = 6.0206 * std::pow(2.0 * double(k) / (pulseSamples + 1.0), 2.0);
            linear += std::pow(10.0, (echo.Level(i, m_scene.sphereTs, sphereAlong, sphereAthwart) - shape) / 10.0);
            along = sphereAlong;
            athwart = sphereAthwart;
        }
        double db = noise;
        if (linear > 0.0)
            db = 10.0 * std::log10(linear + std::pow(10.0, noise / 10.0));
        // The pinger's pulse is heard as it arrives, without the spreading
        // of an echo.
        if (pingerAt >= 0 && long(i) >= pingerAt && long(i) < pingerAt + pingerWidth)
            db = std::max(db, m_scene.pingerLevel);
        power[i] = PowerWord(db);
        if (ch.splitBeam) {
            if (linear == 0.0) {
                along = 20.0 * (Uniform(seed, ping, channel + 200, i) - 0.5);
                athwart = 20.0 * (Uniform(seed, ping, channel + 300, i) - 0.5);
            }
            angle[i] = echo.Phase(along, athwart);
        }
    }
}

std::vector<std::string> CRecordingGenerator::PingSentences(int ping) const
{
    double lat, lon;
    PositionAt(m_scene, ping, lat, lon);
    int h, m, year, month, day;
    double s;
    TimeOfDay(PingTime(m_scene, ping), h, m, s, year, month, day);
    char hms[32];
    std::snprintf(hms, sizeof hms, "%02d%02d%s", h, m, (s < 10 ? "0" + Fixed(s, 2) : Fixed(s, 2)).c_str());
    char ns, ew;
    const std::string la = NmeaAngle(lat, 2, 'N', 'S', ns);
    const std::string lo = NmeaAngle(lon, 3, 'E', 'W', ew);
    char mmddyy[40];
    std::snprintf(mmddyy, sizeof mmddyy, "%02d%02d%02d", month, day, year % 100);
    std::vector<std::string> out;
    if (!HasFix(m_scene, ping)) {
        // A receiver without a fix: the sentences come, their positions empty.
        out.push_back(Checksummed("GPGGA," + std::string(hms) + ",,,,,0,00,,,M,,M,,"));
        if (m_scene.llq)
            out.push_back(Checksummed("GPLLQ," + std::string(hms) + "," + mmddyy + ",,M,,M,0,00,,,M"));
        if (m_scene.gll)
            out.push_back(Checksummed("GPGLL,,,,," + std::string(hms) + ",V,N"));
    } else {
        out.push_back(Checksummed("GPGGA," + std::string(hms) + "," + la + "," + ns + "," + lo + "," + ew +
                                  ",1,08,1.0,0.0,M,45.0,M,,"));
        if (m_scene.llq) {
            double easting, northing;
            GridAt(m_scene, ping, easting, northing);
            out.push_back(Checksummed("GPLLQ," + std::string(hms) + "," + mmddyy + "," + Fixed(easting, 3) + ",M," +
                                      Fixed(northing, 3) + ",M,3,08,0.012," + Fixed(m_scene.gridHeight, 2) + ",M"));
        }
        if (m_scene.gll)
            out.push_back(Checksummed("GPGLL," + la + "," + ns + "," + lo + "," + ew + "," + hms + ",A,A"));
    }
    out.push_back(Checksummed("GPVTG," + Fixed(m_scene.courseDeg, 1) + ",T,,M," + Fixed(m_scene.speedKnots, 1) + ",N," +
                              Fixed(m_scene.speedKnots * 1.852, 1) + ",K"));
    char date[48];
    std::snprintf(date, sizeof date, ",%02d,%02d,%04d,00,00", day, month, year);
    out.push_back(Checksummed("GPZDA," + std::string(hms) + date));
    return out;
}

std::size_t CRecordingGenerator::RecordedChannels() const
{
    return m_scene.outKind ? std::min<std::size_t>(m_scene.channels.size(), 4) : m_scene.channels.size();
}

void CRecordingGenerator::PingDepth(int ping, std::size_t channel, float& depth, float& second) const
{
    // Each channel sees the scene's bottom; the second value is the bottom
    // echo's strength, a little weaker on every further channel.
    depth = float(BottomDepthAt(m_scene, ping));
    second = float(m_scene.bottomSv - double(channel));
}

std::string CRecordingGenerator::AnnotationText(int ping) const
{
    return "Synthetic event at ping " + std::to_string(ping);
}

bool CRecordingGenerator::Write(const std::string& path, SRecGenSummary* summary, std::string* error)
{
    SRecGenSummary sum;
    CRecGenWriter w;
    if (!w.Open(path, error))
        return false;
    auto fail = [&] {
        if (error)
            *error = "write error on " + path;
        return false;
    };
    const std::string fileName =
        path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::uint64_t t0 = PingTime(m_scene, 0);

    // Configuration: texts, motion sensor offsets, then one record a channel.
    CRecGenBody con("CON0", t0);
    con.FixedText(fileName, 128);
    con.FixedText("L0001", 128);
    con.FixedText(m_scene.programName, 128);
    con.F32(0.0f);
    con.F32(0.0f);
    con.F32(1.0f);
    con.Zeros(116);
    con.U32(std::uint32_t(RecordedChannels()));
    for (std::size_t k = 0; k < RecordedChannels(); ++k) {
        const SRecGenChannel& ch = m_scene.channels[k];
        con.FixedText(ChannelId(k), 128);
        con.U32(ch.splitBeam ? 1 : 0);
        con.F32(float(ch.frequencyHz));
        // The transceiver's channel values 1, 2, 6, 7, 4, 5, 8, 9.
        con.F32(float(ch.gain));            // 1 gain
        con.F32(-20.6f);                    // 2 two-way beam angle
        con.F32(float(ch.beamWidthAlong));  // 6, 7 3 dB beam widths
        con.F32(float(ch.beamWidthAthwart));
        con.F32(ch.splitBeam ? float(ch.sensitivityAlong) : 0.0f);  // 4, 5 angle sensitivities
        con.F32(ch.splitBeam ? float(ch.sensitivityAthwart) : 0.0f);
        con.F32(float(ch.offsetAlong));  // 8, 9 angle offsets
        con.F32(float(ch.offsetAthwart));
        con.F32(float(ch.x));
        con.F32(float(ch.y));
        con.F32(float(ch.z));
        con.F32(0.0f);  // pitch, roll, azimuth of the transducer
        con.F32(0.0f);
        con.F32(0.0f);
        con.Zeros(128);
    }
    if (!w.Write(con))
        return fail();

    CRecGenBody svp("SVP0", t0);
    svp.U32(m_scene.svpKind);
    svp.PaddedText(ProfileText(m_scene), 25016);
    if (!w.Write(svp))
        return fail();
    ++sum.profiles;

    std::vector<std::int16_t> power, angle;
    for (int ping = 0; ping < m_scene.pings; ++ping) {
        const std::uint64_t t = PingTime(m_scene, ping);
        for (const std::string& s : PingSentences(ping)) {
            CRecGenBody nme("NME0", t - 2000000);  // received 0.2 s before the ping
            nme.PaddedText(s, 212);
            if (!w.Write(nme))
                return fail();
            ++sum.sentences;
        }
        if (m_scene.outKind) {
            CRecGenBody dep("DEP0", t);
            dep.U32(std::uint32_t(RecordedChannels()));
            for (std::size_t k = 0; k < RecordedChannels(); ++k) {
                float depth, second;
                PingDepth(ping, k, depth, second);
                dep.F32(depth);
                dep.F32(second);
                dep.Zeros(4);
            }
            if (!w.Write(dep))
                return fail();
            ++sum.depthDatagrams;
        }
        const double phase = 2.0 * kPi * ping / 8.0;
        for (std::size_t k = 0; !m_scene.outKind && k < m_scene.channels.size(); ++k) {
            const SRecGenChannel& ch = m_scene.channels[k];
            PingSamples(ping, k, power, angle);
            CRecGenBody raw("RAW0", t);
            raw.U16(std::uint16_t(k + 1));
            const bool hasPower = !power.empty();
            raw.U16(std::uint16_t((hasPower ? 1 : 0) | (hasPower && ch.splitBeam ? 2 : 0)));
            raw.F32(float(ch.draught));
            raw.F32(float(ch.frequencyHz));
            raw.F32(float(ch.power));
            raw.F32(float(ch.pulseDuration));
            raw.F32(float(0.1 * ch.frequencyHz));  // bandwidth
            raw.F32(float(ch.sampleInterval));
            raw.F32(float(m_scene.soundVelocity));
            raw.F32(float(Absorption(ch.frequencyHz)));
            raw.F32(float(m_scene.heaveAmplitude * std::sin(phase)));
            raw.F32(float(m_scene.rollAmplitude * std::sin(phase + 1.0)));
            raw.F32(float(m_scene.pitchAmplitude * std::sin(phase + 2.0)));
            raw.F32(float(m_scene.waterTemperature));
            raw.I16(std::int16_t(std::trunc(m_scene.tide * 100.0)));
            raw.U16(0);
            raw.F32(float(m_scene.rollAmplitude * std::sin(phase + 1.1)));
            raw.F32(float(m_scene.pitchAmplitude * std::sin(phase + 2.1)));
            raw.U32(0);  // no leading samples dropped
            raw.U32(std::uint32_t(power.size()));
            for (std::int16_t v : power)
                raw.I16(v);
            if (hasPower && ch.splitBeam)
                for (std::int16_t v : angle)
                    raw.I16(v);
            if (!w.Write(raw))
                return fail();
            ++sum.sampleDatagrams;
        }
        if (m_scene.annotationEvery > 0 && ping % m_scene.annotationEvery == 0) {
            CRecGenBody tag("TAG0", t);
            tag.PaddedText(AnnotationText(ping), 212);
            if (!w.Write(tag))
                return fail();
            ++sum.annotations;
        }
        ++sum.pings;
    }
    sum.bytes = w.BytesWritten();
    if (!w.Close())
        return fail();
    if (summary)
        *summary = sum;
    return true;
}

}  // namespace zv::recgen
