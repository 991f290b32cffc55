// The history folder: the pages the printing has written, one bitmap file
// a page, named "H<number>-D<date>-T<time>.bmp". The folder's names come
// from outside (anything may lie there), so only a name of exactly that
// form gives a number; other "H*.bmp" files are listed and never numbered
// from.
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CHistoryFolder
{
public:
    // The highest number a name is read with (nine digits).
    static constexpr int kMaxNumber = 999'999'999;

    // A file found in the folder.
    struct SEntry
    {
        std::string name;
        std::uint64_t writeTime = 0;  // file time
    };
    // What a scan found: the files in name order, the 1-based position of
    // the newest (0: none), and the number the next page takes (one above
    // the highest numbered name; 0 when none is numbered).
    struct SScan
    {
        std::vector<std::string> paths;
        int newest = 0;
        int nextNumber = 0;
    };

    // "H%04d-D%04d%02d%02d-T%02d%02d%02d.bmp" of a number and a local time.
    static std::string FileName(int number, const SYSTEMTIME& local);
    // The number of a name of the printing's own form; none for any other.
    static std::optional<int> NumberOf(const std::string& name);
    // A history file: "H*.bmp", in any case.
    static bool IsHistoryName(const std::string& name);
    // The scan of the entries of a folder (folder ends in a separator).
    static SScan Scan(const std::string& folder, std::vector<SEntry> entries);
    // The files of a folder as the file system has them; none for a folder
    // that does not exist or cannot be read.
    static std::vector<SEntry> List(const std::string& folder);
};
