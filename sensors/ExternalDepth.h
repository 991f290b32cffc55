// Up to eight named depth sources: one per channel name the channels
// register, and "Geo", which the telegram decoder fills from GEOA depth
// telegrams. Stored and read by name or by source number (0..7).
//
// Threads: channels write on the ping-data thread while the decoder and the
// views use the user-interface thread; every member is kept under one lock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class CExternalDepth
{
public:
    static constexpr int kSources = 8;
    static constexpr int kBlockWords = 1000;
    static constexpr const char* kGeoSource = "Geo";

    struct SourceEntry
    {
        std::array<std::uint32_t, kBlockWords> block{};
        double depth = 0.0;
        std::int32_t valid = 0;
        std::int32_t first = 0, second = 0, third = 0;
    };

    CExternalDepth();
    virtual ~CExternalDepth() = default;

    // Depth of channel n of the running sounder; false when there is none.
    // Set by the program; empty in tests that do not need it.
    std::function<bool(int channel, double& depth)> channelDepth;

    // A source number outside 0..7 is refused with 0.
    int SetSourceName(int n, const std::string& name);
    double GetSource(int n, std::string& name) const;
    double GetCurrentDepth() const;
    void SetSlantOffset(double value);
    int SetDepthByName(const std::string& name, double depth);
    double GetSourceDepth(int n, std::string& name);
    int SetSource(const std::string& name, double depth, std::int32_t first, std::int32_t valid, std::int32_t second,
                  std::int32_t third);
    bool GetSource(const std::string& name, double& depth, std::int32_t& first, std::int32_t& valid,
                   std::int32_t& second, std::int32_t& third) const;
    bool GetSourceDepth(const std::string& name, double& depth) const;
    int SetSourceBlock(const std::string& name, const std::uint32_t* block);
    // A copy of the matching entry; false when no name matches.
    bool FindSource(const std::string& name, SourceEntry& entry) const;

    // Channel names may come with the replay prefix; it is not part of the
    // source's name.
    static std::string WithoutReplay(std::string name);

private:
    int Find(const std::string& name) const;  // under m_lock; -1 when none

    mutable std::mutex m_lock;
    std::array<SourceEntry, kSources> m_entries;
    std::array<std::uint8_t, kSources> m_flags{};
    double m_currentDepth = 0.0;
    std::array<double, kSources> m_nameDepths{};
    std::array<std::string, kSources> m_names;
};
