#include "tools/converter/ConversionRun.h"

#include "tools/converter/OutFileConverter.h"
#include "tools/converter/ReadFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::converter {

namespace {

namespace fs = std::filesystem;
using EFailure = SFileOutcome::EFailure;

// Records are handed to the disk in pieces of about this size.
constexpr std::size_t kWriteSize = std::size_t(1) << 20;

// One file, however it is named: its path with links and "." and ".."
// resolved, and its device and inode when it exists (which also finds hard
// links to it).
struct SFileIdentity
{
    std::string path;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;

    explicit SFileIdentity(const std::string& name)
    {
        std::error_code ec;
        path = fs::weakly_canonical(name, ec).string();
        if (ec)
            path = fs::absolute(name, ec).lexically_normal().string();
        struct stat st
        {};
        exists = ::stat(name.c_str(), &st) == 0;
        device = st.st_dev;
        inode = st.st_ino;
    }
    bool SameAs(const SFileIdentity& o) const
    {
        return path == o.path || (exists && o.exists && device == o.device && inode == o.inode);
    }
};

bool LessNoCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return std::uint8_t(lower(x)) < std::uint8_t(lower(y));
    });
}

// 0, or the errno of the failure.
int WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(std::size_t(n));
    }
    return 0;
}

std::string Cause(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

// A new file in the output's folder, named short enough to fit wherever
// the output's own name fits.
std::string PartName(const std::string& output)
{
    static std::atomic<unsigned> serial{0};
    const std::size_t slash = output.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    return folder + ".Trovadel-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".part";
}

// Converts into a new file beside the output and puts it in the output's
// place only when the whole input has been read and written.
void Convert(CReadFile& in, const SConverterOptions& options, SFileOutcome& o)
{
    // The file the output name leads to: replaced in its own folder, so that
    // a link named like the output keeps leading to it.
    std::error_code ec;
    std::string target = fs::weakly_canonical(o.output, ec).string();
    if (ec)
        target = o.output;
    // The output is replaced, not written into: one the user may not write
    // is kept, as opening it for writing would have refused.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        o.failure = EFailure::Create;
        o.cause = Cause("cannot create " + o.output, errno);
        return;
    }
    const std::string part = PartName(target);
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        o.failure = EFailure::Create;
        o.cause = Cause("cannot create " + o.output, errno);
        return;
    }
    COutFileConverter converter(options);
    std::string records;
    records.reserve(kWriteSize + 4096);
    recording::SDatagramView datagram;
    int writeError = 0;
    while (writeError == 0 && in.Next(datagram)) {
        converter.Convert(datagram, records);
        if (records.size() >= kWriteSize) {
            writeError = WriteAll(fd, records);
            records.clear();
        }
    }
    if (writeError == 0)
        writeError = WriteAll(fd, records);
    if (::close(fd) != 0 && writeError == 0)
        writeError = errno;
    o.records = converter.Records();
    o.damagedDatagrams = converter.Damaged();
    o.skippedBytes = in.SkippedBytes();
    if (in.Error() != 0) {
        o.failure = EFailure::Read;
        o.cause = Cause("read error", in.Error());
    } else if (writeError != 0) {
        o.failure = EFailure::Write;
        o.cause = Cause("cannot write " + o.output, writeError);
    } else if (::rename(part.c_str(), target.c_str()) != 0) {
        o.failure = EFailure::Create;
        o.cause = Cause("cannot create " + o.output, errno);
    }
    if (!o.Converted())
        ::unlink(part.c_str());
}

}  // namespace

std::vector<std::string> CConversionRun::SortedNames(std::vector<std::string> names)
{
    std::stable_sort(names.begin(), names.end(), LessNoCase);
    return names;
}

std::optional<std::string> CConversionRun::OutputName(const std::string& input)
{
    const std::size_t slash = input.rfind('/');
    const std::size_t dot = input.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (dot == std::string::npos)
        return std::nullopt;
    return input.substr(0, dot + 1) + kOutputExtension;
}

std::vector<SFileOutcome> CConversionRun::Run(const std::vector<std::string>& inputs)
{
    const std::vector<std::string> files = SortedNames(inputs);
    std::vector<SFileIdentity> inputIds;
    for (const std::string& f : files)
        inputIds.emplace_back(f);
    std::vector<std::pair<SFileIdentity, std::string>> written;  // output, from which input

    std::vector<SFileOutcome> outcomes;
    for (const std::string& input : files) {
        SFileOutcome& o = outcomes.emplace_back();
        o.input = input;
        CReadFile in;
        if (const int error = in.Open(input)) {
            o.failure = EFailure::Open;
            o.cause = Cause("cannot open", error);
            continue;
        }
        const std::optional<std::string> output = OutputName(input);
        if (!output) {
            o.failure = EFailure::NoDot;
            o.cause = "the name has no \".\", so no output name can be made from it";
            continue;
        }
        o.output = *output;
        const SFileIdentity outputId(o.output);
        for (std::size_t j = 0; j < files.size() && o.Converted(); ++j) {
            if (!outputId.SameAs(inputIds[j]))
                continue;
            o.failure = EFailure::ReplacesInput;
            o.cause = files[j] == input ? "the output " + o.output + " would replace the input itself"
                                        : "the output " + o.output + " would replace the input " + files[j];
        }
        for (std::size_t j = 0; j < written.size() && o.Converted(); ++j) {
            if (!outputId.SameAs(written[j].first))
                continue;
            o.failure = EFailure::OutputTwice;
            o.cause = "the output " + o.output + " was already written from " + written[j].second + " in this run";
        }
        if (!o.Converted())
            continue;
        Convert(in, m_options, o);
        if (o.Converted())
            written.emplace_back(SFileIdentity(o.output), input);
    }
    return outcomes;
}

}  // namespace zv::converter
