#include "sim/recgen/RecGenScene.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

namespace zv::recgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
// FILETIME of 2026-01-01 00:00:00 UTC: seconds from 1601 to 1970, then to 2026.
constexpr std::uint64_t kDefaultStart = (11644473600ULL + 1767225600ULL) * 10000000ULL;

// Locale-free numbers: from_chars never looks at the C or C++ locale.
bool ParseDouble(const std::string& s, double& out)
{
    const char* end = s.data() + s.size();
    auto r = std::from_chars(s.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool ParseInt(const std::string& s, long long& out)
{
    const char* end = s.data() + s.size();
    auto r = std::from_chars(s.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep))
        parts.push_back(cur);
    return parts;
}

}  // namespace

// to_chars ignores the locale, whatever a host program has set.
std::string Fixed(double v, int decimals)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

bool ApplySetting(SRecGenScene& scene, const std::string& setting, std::string* error)
{
    const auto eq = setting.find('=');
    if (eq == std::string::npos || eq == 0)
        return Fail(error, "expected key=value: " + setting);
    const std::string key = setting.substr(0, eq);
    const std::string value = setting.substr(eq + 1);

    auto number = [&](double& target, double lo, double hi) {
        double v;
        if (!ParseDouble(value, v))
            return Fail(error, key + ": not a number: " + value);
        if (v < lo || v > hi)
            return Fail(error, key + ": out of range: " + value);
        target = v;
        return true;
    };
    auto integer = [&](auto& target, long long lo, long long hi) {
        long long v;
        if (!ParseInt(value, v))
            return Fail(error, key + ": not an integer: " + value);
        if (v < lo || v > hi)
            return Fail(error, key + ": out of range: " + value);
        target = static_cast<std::remove_reference_t<decltype(target)>>(v);
        return true;
    };

    if (key == "out") {
        scene.outFile = value;
        return !value.empty() || Fail(error, "out: empty");
    }
    if (key == "kind") {
        if (value != "raw" && value != "out")
            return Fail(error, "kind: raw or out");
        scene.outKind = value == "out";
        return true;
    }
    if (key == "program") {
        scene.programName = value;
        return true;
    }
    if (key == "start-unix") {
        long long unixSeconds;
        if (!integer(unixSeconds, 0, 20000000000LL))
            return false;
        scene.startTime = (std::uint64_t(unixSeconds) + 11644473600ULL) * 10000000ULL;
        return true;
    }
    if (key == "pings")
        return integer(scene.pings, 1, 10000000);
    if (key == "interval")
        return number(scene.pingInterval, 0.001, 3600);
    if (key == "seed")
        return integer(scene.seed, 0, 0xFFFFFFFFLL);
    if (key == "channels") {
        std::vector<SRecGenChannel> list;
        for (const std::string& f : Split(value, ',')) {
            double khz;
            if (!ParseDouble(f, khz) || khz <= 0 || khz > 2000)
                return Fail(error, "channels: bad frequency: " + f);
            SRecGenChannel ch;
            ch.frequencyHz = khz * 1000.0;
            list.push_back(ch);
        }
        if (list.empty() || list.size() > 8)
            return Fail(error, "channels: 1 to 8 frequencies");
        scene.channels = list;
        return true;
    }
    static const std::map<std::string, double SRecGenChannel::*> beam = {
        {"beam-along", &SRecGenChannel::beamWidthAlong},   {"beam-athwart", &SRecGenChannel::beamWidthAthwart},
        {"sens-along", &SRecGenChannel::sensitivityAlong}, {"sens-athwart", &SRecGenChannel::sensitivityAthwart},
        {"offset-along", &SRecGenChannel::offsetAlong},    {"offset-athwart", &SRecGenChannel::offsetAthwart}};
    if (const auto it = beam.find(key); it != beam.end()) {
        CompleteScene(scene);
        const bool offset = key.rfind("offset", 0) == 0;
        for (SRecGenChannel& ch : scene.channels)
            if (!number(ch.*(it->second), offset ? -10.0 : 0.1, offset ? 10.0 : 180.0))
                return false;
        return true;
    }
    if (key == "samples" || key == "sample-interval" || key == "single-beam") {
        CompleteScene(scene);
        for (SRecGenChannel& ch : scene.channels) {
            if (key == "samples" && !integer(ch.samples, 0, 1000000))
                return false;
            if (key == "sample-interval" && !number(ch.sampleInterval, 1e-7, 0.1))
                return false;
            if (key == "single-beam") {
                long long v;
                if (!integer(v, 0, 1))
                    return false;
                ch.splitBeam = v == 0;
            }
        }
        return true;
    }
    if (key == "sound-velocity")
        return number(scene.soundVelocity, 1300, 1800);
    if (key == "water-temperature")
        return number(scene.waterTemperature, -5, 40);
    if (key == "bottom")
        return number(scene.bottomDepth, 0.5, 12000);
    if (key == "bottom-swing")
        return number(scene.bottomSwing, 0, 5000);
    if (key == "bottom-period")
        return number(scene.bottomPeriod, 1, 1e9);
    if (key == "bottom-sv")
        return number(scene.bottomSv, -100, 20);
    if (key == "school-depth")
        return number(scene.schoolDepth, 0, 12000);
    if (key == "school-height")
        return number(scene.schoolHeight, 0, 1000);
    if (key == "school-first")
        return integer(scene.schoolFirstPing, -1, 100000000);
    if (key == "school-last")
        return integer(scene.schoolLastPing, -1, 100000000);
    if (key == "school-sv")
        return number(scene.schoolSv, -120, 0);
    if (key == "targets")
        return integer(scene.targetsPerPing, 0, 100);
    if (key == "target-ts")
        return number(scene.targetTs, -120, 0);
    if (key == "sphere-ts")
        return number(scene.sphereTs, -120, 0);
    if (key == "sphere-range")
        return number(scene.sphereRange, 1, 10000);
    if (key == "sphere-grid")
        return integer(scene.sphereGrid, 0, 99);
    if (key == "sphere-span")
        return number(scene.sphereSpan, 0, 2);
    if (key == "noise")
        return number(scene.noiseDb, -230, 0);
    if (key == "pinger-period")
        return number(scene.pingerPeriod, 0, 100);
    if (key == "pinger-depth")
        return number(scene.pingerDepth, 0, 12000);
    if (key == "pinger-drift")
        return number(scene.pingerDrift, -100, 100);
    if (key == "pinger-pulse")
        return number(scene.pingerPulse, 1e-5, 0.1);
    if (key == "pinger-level")
        return number(scene.pingerLevel, -200, 0);
    if (key == "lat")
        return number(scene.latitude, -89.9, 89.9);
    if (key == "lon")
        return number(scene.longitude, -180, 180);
    if (key == "speed")
        return number(scene.speedKnots, 0, 60);
    if (key == "course")
        return number(scene.courseDeg, 0, 360);
    if (key == "gll") {
        long long v;
        if (!integer(v, 0, 1))
            return false;
        scene.gll = v == 1;
        return true;
    }
    if (key == "llq") {
        long long v;
        if (!integer(v, 0, 1))
            return false;
        scene.llq = v == 1;
        return true;
    }
    if (key == "nofix-first")
        return integer(scene.noFixFirst, -1, 100000000);
    if (key == "nofix-last")
        return integer(scene.noFixLast, -1, 100000000);
    if (key == "annotate-every")
        return integer(scene.annotationEvery, 0, 100000000);
    if (key == "svp-kind") {
        if (value != "0" && value != "3")
            return Fail(error, "svp-kind: 0 or 3");
        scene.svpKind = value == "3" ? 3 : 0;
        return true;
    }
    if (key == "svp") {
        std::vector<std::pair<double, double>> pts;
        for (const std::string& p : Split(value, ';')) {
            const auto parts = Split(p, ':');
            double d, v;
            if (parts.size() != 2 || !ParseDouble(parts[0], d) || !ParseDouble(parts[1], v) || v < 1400 || v > 1700)
                return Fail(error, "svp: expected depth:velocity;...: " + p);
            pts.emplace_back(d, v);
        }
        if (pts.empty())
            return Fail(error, "svp: no points");
        scene.svp = pts;
        return true;
    }
    if (key == "heave")
        return number(scene.heaveAmplitude, 0, 20);
    if (key == "roll")
        return number(scene.rollAmplitude, 0, 45);
    if (key == "pitch")
        return number(scene.pitchAmplitude, 0, 45);
    if (key == "tide")
        return number(scene.tide, -300, 300);
    return Fail(error, "unknown setting: " + key);
}

bool ApplySceneText(SRecGenScene& scene, const std::string& text, std::string* error)
{
    int lineNo = 0;
    for (std::string line : Split(text, '\n')) {
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::string why;
        if (!ApplySetting(scene, line.substr(first), &why))
            return Fail(error, "line " + std::to_string(lineNo) + ": " + why);
    }
    return true;
}

void CompleteScene(SRecGenScene& scene)
{
    if (scene.startTime == 0)
        scene.startTime = kDefaultStart;
    if (scene.channels.empty()) {
        SRecGenChannel a;
        a.frequencyHz = 38000.0;
        SRecGenChannel b;
        b.frequencyHz = 120000.0;
        b.pulseDuration = 0.000256;
        b.power = 250.0;
        b.sampleInterval = 0.000064;
        b.samples = 2500;
        b.x = 0.4;
        scene.channels = {a, b};
    }
}

double BottomDepthAt(const SRecGenScene& scene, int ping)
{
    return scene.bottomDepth + scene.bottomSwing * std::sin(2.0 * kPi * ping / scene.bottomPeriod);
}

void SphereAnglesAt(const SRecGenScene& scene, int ping, double& along, double& athwart)
{
    along = athwart = 0.0;
    const int n = scene.sphereGrid;
    if (n <= 0 || scene.channels.empty())
        return;
    const SRecGenChannel& ch = scene.channels.front();
    const int cell = ping % (n * n);
    // Row by row across the beam, from one edge of the grid to the other.
    const auto place = [&](int k, double width) {
        return n == 1 ? 0.0 : scene.sphereSpan * width / 2.0 * (2.0 * k / (n - 1) - 1.0);
    };
    along = place(cell % n, ch.beamWidthAlong);
    athwart = place(cell / n, ch.beamWidthAthwart);
}

double PingerDepthAt(const SRecGenScene& scene, int ping)
{
    return scene.pingerDepth + scene.pingerDrift * ping;
}

long PingerSampleAt(const SRecGenScene& scene, int ping)
{
    if (scene.pingerPeriod <= 0.0 || scene.channels.empty())
        return -1;
    const SRecGenChannel& ch = scene.channels.front();
    constexpr double kTransmitDelay = 0.0008;
    // Times in seconds from the first ping; the pulse reaches the
    // transducer one way after it was sent.
    const double start = ping * scene.pingInterval + kTransmitDelay;
    const double travel = PingerDepthAt(scene, ping) / scene.soundVelocity;
    const double sent = std::ceil((start - travel) / scene.pingerPeriod) * scene.pingerPeriod;
    const double at = (sent + travel - start) / ch.sampleInterval;
    const double width = scene.pingerPulse / ch.sampleInterval;
    if (!(at >= 0.0) || at + width >= double(ch.samples))
        return -1;
    return long(std::llround(at));
}

std::uint64_t PingTime(const SRecGenScene& scene, int ping)
{
    const std::uint64_t start = scene.startTime ? scene.startTime : kDefaultStart;
    return start + std::uint64_t(std::llround(ping * scene.pingInterval * 1e7));
}

void PositionAt(const SRecGenScene& scene, int ping, double& lat, double& lon)
{
    // Flat-earth dead reckoning is plenty for the few kilometres of a demo.
    const double metres = scene.speedKnots * 1852.0 / 3600.0 * ping * scene.pingInterval;
    const double c = scene.courseDeg * kPi / 180.0;
    lat = scene.latitude + metres * std::cos(c) / 111120.0;
    lon = scene.longitude + metres * std::sin(c) / (111120.0 * std::cos(scene.latitude * kPi / 180.0));
    // A track across the date line goes on at the other side of it.
    if (lon > 180.0)
        lon -= 360.0;
    else if (lon <= -180.0)
        lon += 360.0;
}

void GridAt(const SRecGenScene& scene, int ping, double& easting, double& northing)
{
    const double metres = scene.speedKnots * 1852.0 / 3600.0 * ping * scene.pingInterval;
    const double c = scene.courseDeg * kPi / 180.0;
    easting = 500000.0 + metres * std::sin(c);
    northing = 6000000.0 + metres * std::cos(c);
}

bool HasFix(const SRecGenScene& scene, int ping)
{
    return !(ping >= scene.noFixFirst && ping <= scene.noFixLast && scene.noFixFirst >= 0);
}

std::string ProfileText(const SRecGenScene& scene)
{
    std::string s = std::to_string(scene.svp.size());
    for (const auto& [d, v] : scene.svp)
        s += "," + Fixed(d, 2) + "," + Fixed(v, 2);
    return s;
}

}  // namespace zv::recgen
