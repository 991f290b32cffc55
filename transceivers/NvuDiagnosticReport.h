// The wide-band unit's diagnostic report: a text file written when the
// unit's sample data stops, into the "Diag" folder, named
//   Diagnostic-<reason>-<serial, hex>-D<yyyymmdd>-T<hhmmss>.txt
// (local time), and never over a file that exists. It holds the PC's
// processor and memory data, a block per present channel, the decimation
// lines, the ring's status lines and the unit's information log.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

class CNvuDiagnosticReport
{
public:
    // Why the report is written.
    enum Reason : int { kTimeout = 1, kRequestedNoneCame = 2, kStoppedArriving = 3 };
    enum class EResult { Written, NotCreated, DiskFull, WriteError };
    using Rows = std::vector<std::pair<std::string, std::string>>;

    static std::string FileName(int reason, std::uint32_t serial, const std::tm& local);
    // "SYSTEM INFO: " with the PC's processor and memory data.
    static std::string SystemInfo();
    // A heading on its line, then each value on its own line (a blank, the
    // label, tabs, the value, a blank, CR LF), then an empty line.
    static std::string Block(const std::string& heading, const Rows& rows);
    // A heading, then each line as it stands, then an empty line.
    static std::string Lines(const std::string& heading, const std::vector<std::string>& lines);
    // Creates the file new (an existing one is left alone: NotCreated) and
    // writes the text at once; *error takes the system's error number.
    static EResult Write(const std::string& path, const std::string& text, int* error = nullptr);
};
