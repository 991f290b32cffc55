// A recording file that runs out of room keeps every datagram that fitted
// and none that did not. The room is limited with RLIMIT_FSIZE in a child
// process, so the real write path meets the real error.
#include "recording/DatagramFile.h"
#include "recording/DatagramReader.h"
#include "recording/DatagramWriter.h"
#include "recording/SampleFrame.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zv::recording;
namespace fs = std::filesystem;

namespace {

fs::path TempDir()
{
    char tmpl[] = "/tmp/zvdatafileXXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? fs::path(d) : fs::path();
}

std::vector<std::uint8_t> ReadFile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(DatagramFileTest, FullFileKeepsWholeDatagramsOnly)
{
    const fs::path dir = TempDir();
    ASSERT_FALSE(dir.empty());
    const fs::path path = dir / "full.raw";
    const std::vector<std::int16_t> power(1000, 7);  // 2084-byte bodies

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Child: 10,000 bytes of room; report how the writes went by exit code.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{10000, 10000};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            _exit(10);
        CDatagramFile file;
        if (file.CreateNew(path.string()) != 0)
            _exit(11);
        SSampleData d;
        d.power = power;
        int ok = 0;
        for (int i = 0; i < 10; ++i) {
            d.header.channel = std::uint16_t(i + 1);
            const CDatagramFile::EResult r = file.Write(CDatagramWriter::BuildSample(d).Framed());
            if (r == CDatagramFile::EResult::Ok) {
                ++ok;
                continue;
            }
            if (r != CDatagramFile::EResult::DiskFull)
                _exit(12);
            // A later small datagram that fits still goes in whole.
            if (file.Write(CDatagramWriter::BuildText(kTypeTAG0, "after", 1).Framed()) != CDatagramFile::EResult::Ok)
                _exit(13);
            _exit(ok == 4 && file.Size() == 4 * 2092 + 28 ? 0 : 14);
        }
        _exit(15);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    // The file holds four whole sample datagrams and the annotation, nothing torn.
    const std::vector<std::uint8_t> bytes = ReadFile(path);
    EXPECT_EQ(bytes.size(), 4u * 2092 + 28);
    CDatagramReader r(bytes.data(), bytes.size());
    SDatagramView v;
    int samples = 0, texts = 0;
    while (r.Next(v)) {
        if (v.type == kTypeRAW0)
            ++samples;
        if (v.type == kTypeTAG0)
            ++texts;
    }
    EXPECT_EQ(samples, 4);
    EXPECT_EQ(texts, 1);
    EXPECT_EQ(r.SkippedBytes(), 0u);
    fs::remove_all(dir);
}

TEST(DatagramFileTest, GatheredFramesThatRunOutOfRoomKeepEveryFrameThatFits)
{
    // A ping's sample frames, each written from its pieces (the samples
    // where they lie), with a text between: room for two samples and a
    // part of the third. The third is left out whole, the text behind it
    // still goes in, and the fourth sample, too large for what is left, is
    // left out as well.
    const fs::path dir = TempDir();
    ASSERT_FALSE(dir.empty());
    const fs::path path = dir / "gathered.raw";
    std::vector<std::vector<std::int16_t>> power;
    for (int k = 0; k < 4; ++k)
        power.emplace_back(1000, std::int16_t(k + 1));  // 4092-byte frames with the angles
    std::vector<SSampleData> data(4);
    for (std::size_t k = 0; k < 4; ++k) {
        data[k].header.channel = std::uint16_t(k + 1);
        data[k].power = power[k];
        data[k].angle = power[k];
    }
    const CFramedDatagram text = CDatagramWriter::BuildText(kTypeTAG0, "between", 1);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{2 * 4092 + 3000, 2 * 4092 + 3000};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            _exit(10);
        CDatagramFile file;
        if (file.CreateNew(path.string()) != 0)
            _exit(11);
        std::deque<CSampleFrame> frames(4);
        const std::span<const std::uint8_t> textPiece = text.Framed();
        std::vector<CDatagramFile::Pieces> pieces;
        for (std::size_t k = 0; k < 4; ++k) {
            frames[k].Set(data[k]);
            pieces.push_back(frames[k].Pieces());
            if (k == 2)
                pieces.push_back(CDatagramFile::Pieces(&textPiece, 1));
        }
        if (file.WriteFrames(pieces) != CDatagramFile::EResult::DiskFull)
            _exit(12);
        _exit(file.Size() == 2 * 4092 + 28 ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    std::vector<std::uint8_t> expected;
    for (const CFramedDatagram& f :
         {CDatagramWriter::BuildSample(data[0]), CDatagramWriter::BuildSample(data[1]), text})
        expected.insert(expected.end(), f.Framed().begin(), f.Framed().end());
    EXPECT_EQ(ReadFile(path), expected);
    fs::remove_all(dir);
}

TEST(DatagramFileTest, CreateNewNeverReplacesAFile)
{
    const fs::path dir = TempDir();
    const fs::path path = dir / "a.raw";
    {
        CDatagramFile f;
        ASSERT_EQ(f.CreateNew(path.string()), 0);
        ASSERT_EQ(f.Write(CDatagramWriter::BuildText(kTypeNME0, "keep", 1).Framed()), CDatagramFile::EResult::Ok);
    }
    CDatagramFile again;
    EXPECT_EQ(again.CreateNew(path.string()), EEXIST);
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(again.Write(CDatagramWriter::BuildText(kTypeNME0, "x", 1).Framed()), CDatagramFile::EResult::NotOpen);
    EXPECT_EQ(fs::file_size(path), 28u);
    fs::remove_all(dir);
}
