// One run of the converter over a list of out files: each file, in the
// list's order, gives a file of records named after it in its own folder.
// A run never writes over one of its inputs or over an output it made
// before, and a file whose conversion fails leaves any earlier file of the
// output's name as it was.
#pragma once

#include "tools/converter/ConverterOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zv::converter {

struct SFileOutcome
{
    enum class EFailure {
        None,
        Open,           // the input cannot be opened
        NoDot,          // its name has no "." to make an output name from
        ReplacesInput,  // the output would be an input of the run
        OutputTwice,    // an earlier file of the run made the same output
        Create,         // the output cannot be created
        Read,           // the input failed part-way
        Write,          // the output failed part-way
    };
    std::string input;
    std::string output;  // empty when no output name could be made
    EFailure failure = EFailure::None;
    std::string cause;  // what failed, for the user; empty on success
    std::uint64_t records = 0;
    std::uint64_t skippedBytes = 0;      // passed over between whole datagrams
    std::uint64_t damagedDatagrams = 0;  // whole datagrams that gave less than they claimed
    bool Converted() const { return failure == EFailure::None; }
};

class CConversionRun
{
public:
    // The extension of every output file.
    static constexpr const char* kOutputExtension = "QY";

    explicit CConversionRun(const SConverterOptions& options) : m_options(options) {}

    // The order files are converted in: by name without regard to case, a
    // name going before the first that compares greater.
    static std::vector<std::string> SortedNames(std::vector<std::string> names);
    // The input's folder and its base name up to and including the first
    // "." of the base name, then "QY"; nothing when the base name has no ".".
    static std::optional<std::string> OutputName(const std::string& input);

    // Converts the files in sorted order; one outcome per file, in that order.
    std::vector<SFileOutcome> Run(const std::vector<std::string>& inputs);

private:
    SConverterOptions m_options;
};

}  // namespace zv::converter
