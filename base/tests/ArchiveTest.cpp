#include "base/Archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> list)
{
    std::vector<BYTE> out;
    for (int b : list)
        out.push_back(static_cast<BYTE>(b));
    return out;
}

TEST(Archive, ScalarsAreLittleEndianFieldByField)
{
    std::vector<BYTE> mem;
    {
        CArchive ar(mem, CArchive::store);
        ASSERT_TRUE(ar.IsStoring());
        ar << static_cast<BYTE>(0xAB) << static_cast<WORD>(0x1234) << static_cast<DWORD>(0x89ABCDEF)
           << static_cast<LONG>(-2) << true << false << 1.0f << -2.5 << static_cast<LONGLONG>(-3)
           << static_cast<std::int16_t>(-4);
    }
    const std::vector<BYTE> expected = Bytes({
        0xAB, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF, 0xFF, 0xFF,  // byte, word, dword, long
        1,    0,    0,    0,    0,    0,    0,    0,                       // bools as 4-byte BOOL
        0x00, 0x00, 0x80, 0x3F,                                            // 1.0f
        0,    0,    0,    0,    0,    0,    0x04, 0xC0,                    // -2.5
        0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,                    // -3 as 64-bit
        0xFC, 0xFF,                                                        // -4 as 16-bit
    });
    EXPECT_EQ(mem, expected);

    CArchive in(mem, CArchive::load);
    ASSERT_TRUE(in.IsLoading());
    BYTE b;
    WORD w;
    DWORD d;
    LONG l;
    bool t, f;
    float fl;
    double db;
    LONGLONG ll;
    std::int16_t s;
    in >> b >> w >> d >> l >> t >> f >> fl >> db >> ll >> s;
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(d, 0x89ABCDEFu);
    EXPECT_EQ(l, -2);
    EXPECT_TRUE(t);
    EXPECT_FALSE(f);
    EXPECT_EQ(fl, 1.0f);
    EXPECT_EQ(db, -2.5);
    EXPECT_EQ(ll, -3);
    EXPECT_EQ(s, -4);
    BYTE extra;
    EXPECT_EQ(in.Read(&extra, 1), 0u) << "Read returns short at the end instead of throwing";
}

TEST(Archive, StringLengthPrefixesAtEveryBoundary)
{
    const struct
    {
        size_t length;
        std::vector<BYTE> prefix;
    } cases[] = {
        {0, Bytes({0x00})},
        {254, Bytes({0xFE})},
        {255, Bytes({0xFF, 0xFF, 0x00})},
        {0xFFFD, Bytes({0xFF, 0xFD, 0xFF})},
        {0xFFFE, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {65536, Bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})},
    };
    for (const auto& c : cases) {
        std::string text(c.length, 'x');
        if (!text.empty())
            text.back() = 'y';
        std::vector<BYTE> mem;
        {
            CArchive ar(mem, CArchive::store);
            ar << text << static_cast<BYTE>(0x5A);
        }
        ASSERT_EQ(mem.size(), c.prefix.size() + c.length + 1) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), mem.begin())) << c.length;
        CArchive in(mem, CArchive::load);
        std::string back;
        BYTE marker = 0;
        in >> back >> marker;
        EXPECT_EQ(back, text) << c.length;
        EXPECT_EQ(marker, 0x5A) << c.length;
    }
}

TEST(Archive, Utf16MarkedStringsBecomeUtf8)
{
    // 0xFF 0xFFFE marks UTF-16 units; then the length in units: "Aé€😀".
    const std::vector<BYTE> mem =
        Bytes({0xFF, 0xFE, 0xFF, 0x05, 0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE});
    CArchive in(mem.data(), mem.size());
    std::string text;
    in >> text;
    EXPECT_EQ(text, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(Archive, TheUtf16MarkerIsReadOnceAndAMarkerAfterItIsALength)
{
    // FF FFFE marks UTF-16; FF FFFE after it is a length of 0xFFFE units.
    std::vector<BYTE> mem = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF});
    for (int i = 0; i < 0xFFFE; ++i)
        mem.insert(mem.end(), {'a', 0});
    {
        CArchive in(mem.data(), mem.size());
        std::string text;
        in >> text;
        EXPECT_EQ(text, std::string(0xFFFE, 'a'));
    }
    // A damaged file of nothing but markers is one string like any other,
    // not one nested read per marker until the stack runs out.
    std::vector<BYTE> markers;
    for (int i = 0; i < 1000000; ++i)
        markers.insert(markers.end(), {0xFF, 0xFE, 0xFF});
    CArchive in(markers.data(), markers.size());
    std::string text;
    EXPECT_NO_THROW(in >> text);
    EXPECT_FALSE(text.empty());
}

TEST(Archive, ReadingPastTheEndThrowsEndOfFileAtEveryCut)
{
    std::vector<BYTE> full;
    {
        CArchive ar(full, CArchive::store);
        ar << static_cast<DWORD>(7) << std::string(300, 'k') << 3.5 << static_cast<WORD>(9);
    }
    for (size_t cut = 0; cut < full.size(); ++cut) {
        CArchive in(full.data(), cut);
        DWORD d;
        std::string s;
        double x;
        WORD w;
        try {
            in >> d >> s >> x >> w;
            ADD_FAILURE() << "no exception at cut " << cut;
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::endOfFile) << cut;
        }
    }
}

TEST(Archive, HugeLengthInCorruptDataFailsWithoutHugeAllocation)
{
    // Claims a string of 2^40 bytes, then ends.
    const std::vector<BYTE> mem = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0, 'a'});
    CArchive in(mem.data(), mem.size());
    std::string s;
    EXPECT_THROW(in >> s, CArchiveException);
}

TEST(Archive, WrongDirectionIsRefused)
{
    std::vector<BYTE> mem;
    CArchive store(mem, CArchive::store);
    DWORD d;
    EXPECT_THROW(store >> d, CArchiveException);
    CArchive load(mem, CArchive::load);
    EXPECT_THROW(load << d, CArchiveException);
}

TEST(Archive, FileArchiveCrossesBufferBoundaries)
{
    const auto path = std::filesystem::temp_directory_path() / ("archive-" + std::to_string(getpid()) + ".bin");
    std::string big(10000, 'z');
    big[5000] = 'q';
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.string(), CFile::modeCreate | CFile::modeWrite));
        CArchive ar(&file, CArchive::store | CArchive::bNoFlushOnDelete);
        for (DWORD i = 0; i < 1500; ++i)
            ar << i;
        ar << big << 0.25;
        ar.Close();
        file.Close();
    }
    EXPECT_EQ(std::filesystem::file_size(path), 1500 * 4 + 3 + big.size() + 8);
    CFile file;
    ASSERT_TRUE(file.Open(path.string(), CFile::modeRead));
    CArchive in(&file, CArchive::load, 4096);
    for (DWORD i = 0; i < 1500; ++i) {
        DWORD v = 0;
        in >> v;
        ASSERT_EQ(v, i);
    }
    std::string back;
    double q = 0;
    in >> back >> q;
    EXPECT_EQ(back, big);
    EXPECT_EQ(q, 0.25);
    EXPECT_THROW(in >> q, CArchiveException);
    std::filesystem::remove(path);
}

TEST(Archive, NoFlushOnDeleteDropsBufferedBytes)
{
    const auto path = std::filesystem::temp_directory_path() / ("archive-nf-" + std::to_string(getpid()) + ".bin");
    CFile file;
    ASSERT_TRUE(file.Open(path.string(), CFile::modeCreate | CFile::modeWrite));
    {
        CArchive ar(&file, CArchive::store | CArchive::bNoFlushOnDelete);
        ar << static_cast<DWORD>(1);
    }
    {
        CArchive ar(&file, CArchive::store);
        ar << static_cast<DWORD>(2);
    }
    file.Close();
    EXPECT_EQ(std::filesystem::file_size(path), 4u);
    std::filesystem::remove(path);
}

TEST(File, OpenFailuresCarryTheirCause)
{
    const struct
    {
        std::string path;
        UINT flags;
        int cause;
    } cases[] = {
        {"/nonexistent-folder-zv/x.sav", CFile::modeCreate | CFile::modeWrite, CFileException::fileNotFound},
        {"/nonexistent-zv.sav", CFile::modeRead, CFileException::fileNotFound},
        {"/proc/self/exe/x", CFile::modeRead, CFileException::badPath},
        {"/tmp", CFile::modeRead, CFileException::accessDenied},
    };
    for (const auto& c : cases) {
        CFile file;
        CFileException e;
        EXPECT_FALSE(file.Open(c.path, c.flags, &e)) << c.path;
        EXPECT_EQ(e.m_cause, c.cause) << c.path;
        EXPECT_EQ(e.m_strFileName, c.path);
        EXPECT_FALSE(file.IsOpen());
    }
}

}  // namespace
