// Where every newly delivered profile is kept, whatever brought it (the
// network input, the serial hub, the probe's cast): an ".asvp" file named by
// the local time of storing, in the running recorder's folder, else in the
// model's profile folder. Two profiles of one second get two files: the
// later one takes a counter ("_2", "_3" ...) instead of replacing the first
// before the operator has seen it.
//
// Threads: any; the choice of a free name and the write are one step under
// the store's lock.
#pragma once

#include "base/ModelCodes.h"
#include "sensors/SvpProfile.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

class CEnvironment;

class CSvpProfileStore
{
public:
    struct SStored
    {
        std::string folder;  // with a trailing separator
        std::string fileName;
    };

    // recorderFolder: the running recorder's folder, empty when none runs;
    // model: for the profile folder otherwise.
    CSvpProfileStore(std::function<std::string()> recorderFolder, std::function<SounderModel()> model);

    // Writes the profile under a new name; none when it could not be written
    // (nothing written, or no point in it).
    std::optional<SStored> Write(const CSvpProfile& profile);
    // Writes it and tells the environment, which asks the operator (no road
    // applies a profile unasked). False when nothing was stored.
    bool StoreAndAnnounce(const CSvpProfile& profile, CEnvironment& environment);

    // The clock of the names (tests); a file time.
    void SetClock(std::function<std::uint64_t()> now) { m_now = std::move(now); }

private:
    std::function<std::string()> m_recorderFolder;
    std::function<SounderModel()> m_model;
    std::function<std::uint64_t()> m_now;
    std::mutex m_lock;
};
