// A sounder, an event sink and a raw-data socket that stand in for the
// engine and the application, and helpers that read recorded files back.
#pragma once

#include "platform/FileTime.h"
#include "recording/DatagramReader.h"
#include "recording/Store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace zv::recording::test {

namespace fs = std::filesystem;

class CFakeSounder : public IStoreSounder
{
public:
    explicit CFakeSounder(int channels, std::size_t samples = 100) : m_samples(samples)
    {
        for (int i = 0; i < channels; ++i) {
            SConfigChannel c;
            c.id = "Fake " + std::to_string(38 + 50 * i) + " kHz";
            c.frequency = (38 + 50 * i) * 1000.0;
            c.transducerZ = 2.0 + i;
            m_config.push_back(c);
        }
        SetPing(0, 1);
    }

    // Every channel's samples at a ping are a ramp from a ping-dependent
    // start, so each ping and channel is told apart when read back.
    void SetPing(int ping, FileTime time)
    {
        std::lock_guard lock(m_lock);
        m_ping = ping;
        m_time = time;
        m_power.assign(m_config.size(), {});
        m_angle.assign(m_config.size(), {});
        for (std::size_t c = 0; c < m_config.size(); ++c)
            for (std::size_t i = 0; i < m_samples; ++i) {
                m_power[c].push_back(std::int16_t(ping * 100 + int(c) * 10000 + int(i)));
                m_angle[c].push_back(std::int16_t(ping + int(i)));
            }
    }
    static std::int16_t Expected(int ping, int channel, std::size_t i)
    {
        return std::int16_t(ping * 100 + channel * 10000 + int(i));
    }
    // What GetPingSamples gives: told apart by ping, channel, reference and
    // index, all below 0 (a level in dB as the echogram holds it).
    static std::int16_t ProductSample(int ping, std::size_t channel, int reference, int i)
    {
        return std::int16_t(-(ping * 7 + int(channel) * 1000 + reference * 100 + i % 97));
    }

    bool IsReplaying() const override { return replaying; }
    int ReplaySaveDataOption() const override { return saveDataOption; }
    void GetReplayNames(std::string& f, std::string& n, std::string& t1, std::string& t2) const override
    {
        f = replayFolder;
        n = replayName;
        t1 = "one";
        t2 = "two";
    }
    std::string ProgramName() const override { return "FAKE"; }
    void MotionOffsets(double& x, double& y, double& z) const override { x = 0.5, y = 0.25, z = 1.5; }
    std::size_t ChannelCount() const override { return m_config.size(); }
    bool GetConfigChannel(std::size_t i, SConfigChannel& out) const override
    {
        if (i >= m_config.size())
            return false;
        out = m_config[i];
        return true;
    }
    bool GetPingChannel(std::size_t i, SSampleData& out) override
    {
        std::lock_guard lock(m_lock);
        if (i >= m_config.size())
            return false;
        out = SSampleData{};
        out.header.time = m_time;
        out.header.frequency = m_config[i].frequency;
        out.header.soundVelocity = 1480.0;
        out.header.tide = 0.42;
        out.power = m_power[i];
        out.angle = m_angle[i];
        return true;
    }
    bool GetChannelDepth(std::size_t i, SDepthEntry& out) override
    {
        std::lock_guard lock(m_lock);
        if (i >= m_config.size())
            return false;
        out.depth = 10.0 * double(i + 1) + m_ping;
        out.second = 0.5;
        return true;
    }
    bool GetProductChannel(std::size_t i, SProductChannel& out) const override
    {
        std::lock_guard lock(m_lock);
        if (i >= m_config.size())
            return false;
        out = SProductChannel{};
        out.name = m_config[i].id;
        out.frequency = m_config[i].frequency;
        out.sampleCount = std::uint32_t(i < productSamples.size() ? productSamples[i] : m_samples);
        out.rangePerSample = 0.25;
        out.soundVelocity = 1480.0;
        out.firstEchogramType = 3;
        out.lastPingTime = m_time;
        out.side = i < sides.size() ? sides[i] : SProductChannel::kNoEchogramSide;
        return true;
    }
    bool GetPingSamples(std::size_t i, std::int16_t* out, int n, double range, double start, int type,
                        int reference) override
    {
        std::lock_guard lock(m_lock);
        if (i >= m_config.size())
            return false;
        sampleRequests.push_back({i, n, range, start, type, reference});
        for (int k = 0; k < n; ++k)
            out[k] = ProductSample(m_ping, i, reference, k);
        return true;
    }
    FileTime PingTime() const override
    {
        std::lock_guard lock(m_lock);
        return m_time;
    }
    bool PositionAtTime(FileTime, double& first, double& second) const override
    {
        if (!hasPosition)
            return false;
        first = -3356.5;
        second = 15112.25;
        return true;
    }
    double HeadingAtTime(FileTime) const override { return heading; }
    double SoundVelocity() const override { return 1490.5; }
    std::string FileVersionText() const override { return "2.10.3.14"; }

    bool replaying = false;
    int saveDataOption = 0;
    // Where the replayed file lies; empty: the recording folder.
    std::string replayFolder;
    std::string replayName = "replayed.raw";
    // Per channel: the echogram side (none when missing) and the sample
    // count the products see (the ramp's count when missing).
    std::vector<int> sides;
    std::vector<std::size_t> productSamples;
    bool hasPosition = true;
    double heading = 274.5;
    struct SRequest
    {
        std::size_t channel;
        int n;
        double range, start;
        int type, reference;
    };
    std::vector<SRequest> sampleRequests;

private:
    mutable std::mutex m_lock;
    std::size_t m_samples;
    std::vector<SConfigChannel> m_config;
    int m_ping = 0;
    FileTime m_time = 0;
    std::vector<std::vector<std::int16_t>> m_power, m_angle;
};

class CFakeEvents : public IStoreEvents
{
public:
    void RaiseAlarm(const std::string& t) override { Add(alarms, t); }
    void PostStatusMessage(const std::string& t) override { Add(status, t); }
    void RecordingState(bool active, int line) override
    {
        std::lock_guard lock(m_lock);
        states.emplace_back(active, line);
    }
    void SendLogLine(const std::string& t) override { Add(logLines, t); }
    void Notify(const std::string& t) override { Add(notices, t); }
    void LoggingStarted() override { Add(status, "<logging started>"); }
    void LoggingStopped() override { Add(status, "<logging stopped>"); }

    std::vector<std::string> alarms, status, logLines, notices;
    std::vector<std::pair<bool, int>> states;

private:
    void Add(std::vector<std::string>& v, const std::string& t)
    {
        std::lock_guard lock(m_lock);
        v.push_back(t);
    }
    std::mutex m_lock;
};

class CFakeSink : public IRawDataSink
{
public:
    bool IsEnabled() const override { return enabled; }
    bool Send(std::span<const std::uint8_t> body) override
    {
        std::lock_guard lock(m_lock);
        bodies.emplace_back(body.begin(), body.end());
        return true;
    }
    bool enabled = true;
    std::vector<std::vector<std::uint8_t>> bodies;

private:
    std::mutex m_lock;
};

struct TempFolder
{
    TempFolder()
    {
        char tmpl[] = "/tmp/zvstoreXXXXXX";
        path = mkdtemp(tmpl);
        ::setenv("ZELVAR_DATA_ROOT", (path / "root").c_str(), 1);
    }
    ~TempFolder()
    {
        ::unsetenv("ZELVAR_DATA_ROOT");
        fs::remove_all(path);
    }
    fs::path path;
};

inline std::vector<std::uint8_t> ReadBytes(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::vector<fs::path> FilesWith(const fs::path& folder, const std::string& ext)
{
    std::vector<fs::path> out;
    if (!fs::exists(folder))
        return out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ext)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// Every datagram of a file, in order; fails the test on skipped bytes.
struct SReadBack
{
    std::vector<std::uint32_t> types;
    std::vector<SConfiguration> configs;
    std::vector<std::vector<std::int16_t>> power;
    std::vector<std::uint16_t> channels;
    std::vector<double> tides;                          // metres, per sample datagram
    std::vector<double> soundVelocities, temperatures;  // m/s, degrees C, per sample datagram
    std::vector<FileTime> sampleTimes;
    std::vector<std::string> sentences, annotations, profiles;
    std::vector<std::vector<SDepthEntry>> depths;
    std::size_t skipped = 0;
};

inline SReadBack ReadBack(const fs::path& file)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    CDatagramReader r(bytes.data(), bytes.size());
    SReadBack out;
    SDatagramView v;
    while (r.Next(v)) {
        out.types.push_back(v.type);
        std::string text;
        std::uint32_t kind;
        if (v.type == kTypeCON0) {
            SConfiguration c;
            EXPECT_TRUE(CDatagramReader::ParseConfiguration(v, c));
            out.configs.push_back(c);
        } else if (v.type == kTypeRAW0) {
            SSampleView s;
            EXPECT_TRUE(CDatagramReader::ParseSample(v, s));
            out.power.push_back(s.PowerSamples());
            out.channels.push_back(s.header.channel);
            out.tides.push_back(s.header.tide);
            out.soundVelocities.push_back(s.header.soundVelocity);
            out.temperatures.push_back(s.header.temperature);
            out.sampleTimes.push_back(v.time);
        } else if (v.type == kTypeNME0 && CDatagramReader::ParseText(v, text)) {
            out.sentences.push_back(text);
        } else if (v.type == kTypeTAG0 && CDatagramReader::ParseText(v, text)) {
            out.annotations.push_back(text);
        } else if (v.type == kTypeSVP0 && CDatagramReader::ParseProfile(v, kind, text)) {
            out.profiles.push_back(std::to_string(kind) + ":" + text);
        } else if (v.type == kTypeDEP0) {
            std::vector<SDepthEntry> d;
            EXPECT_TRUE(CDatagramReader::ParseDepth(v, d));
            out.depths.push_back(d);
        }
    }
    out.skipped = r.SkippedBytes();
    return out;
}

}  // namespace zv::recording::test
