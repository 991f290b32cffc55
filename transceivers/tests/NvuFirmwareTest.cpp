// The wide-band unit's firmware files and its diagnostic report: dates read
// from titles, the newest file of a folder, the unit's own firmware name,
// the report's name and layout, and a report never written over another.
#include "transceivers/NvuFirmware.h"
#include "transceivers/NvuDiagnosticReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::time_t LocalMidnight(int year, int month, int day)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

struct TempFolder
{
    fs::path path = fs::temp_directory_path() / ("zvnvufw-" + std::to_string(getpid()) + "-" +
                                                 testing::UnitTest::GetInstance()->current_test_info()->name());
    TempFolder() { fs::create_directories(path); }
    ~TempFolder() { fs::remove_all(path); }
    void File(const std::string& name, const std::string& text = "x") const { std::ofstream(path / name) << text; }
};

TEST(NvuFirmware, TitlesCarryTheirDateBeforeFiveCharacters)
{
    struct Row
    {
        const char* title;
        std::time_t expected;  // 0: no date
    };
    const Row rows[] = {
        {"nvu4_main_05032024_v101", LocalMidnight(2024, 3, 5)},
        {"05032024_v101", LocalMidnight(2024, 3, 5)},  // exactly 13 characters
        {" nvu4_main_31122030_abcd", LocalMidnight(2030, 12, 31)},
        {"5032024_v101", 0},              // 12 characters: no date
        {"nvu4_main_05031999_v101", 0},   // before 2000
        {"nvu4_main_05132024_v101", 0},   // month 13
        {"nvu4_main_00032024_v101", 0},   // day 0
        {"nvu4_main_32032024_v101", 0},   // day 32
        {"nvu4_main_0503202x_v101", 0},   // not digits
        {"nvu4_main_05032024_v1010", 0},  // six characters after the date
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        const auto date = CNvuFirmware::TitleDate(row.title);
        if (row.expected == 0)
            EXPECT_FALSE(date.has_value());
        else
            EXPECT_EQ(date, std::optional<std::time_t>(row.expected));
    }
}

TEST(NvuFirmware, SearchKeepsTheLatestDateAndTheFirstOfEqualOnes)
{
    TempFolder folder;
    EXPECT_FALSE(CNvuFirmware::Search(folder.path.string()).found);
    folder.File("nvu4_b_05032024_v102.xsvf");
    folder.File("nvu4_a_05032024_v101.xsvf");
    folder.File("nvu4_c_01012023_v100.xsvf");
    folder.File("nvu4_undated.xsvf");
    folder.File("other_06062025_v101.xsvf");  // not a unit firmware name
    folder.File("nvu4_e_06062025_v101.txt");
    fs::create_directories(folder.path / "nvu4_d_07072025_v101.xsvf");  // a folder, not a file
    auto newest = CNvuFirmware::Search(folder.path.string());
    ASSERT_TRUE(newest.found);
    EXPECT_EQ(newest.name, "nvu4_a_05032024_v101.xsvf");
    EXPECT_EQ(newest.path, (folder.path / "nvu4_a_05032024_v101.xsvf").string());
    EXPECT_EQ(newest.time, LocalMidnight(2024, 3, 5));

    folder.File("nvu4_z_06032024_v103.xsvf");
    EXPECT_EQ(CNvuFirmware::Search(folder.path.string()).name, "nvu4_z_06032024_v103.xsvf");
    EXPECT_FALSE(CNvuFirmware::Search((folder.path / "absent").string()).found);
}

TEST(NvuFirmware, UnitFirmwareNameFromTheVersionAnswer)
{
    EXPECT_EQ(CNvuFirmware::UnitFirmwareName("NVU SIM\r\nSerial no.6699\r\nFirmware Filename: "
                                             "nvu4_main_05032024_v101.xsvf\r\n"),
              std::optional<std::string>("nvu4_main_05032024_v101"));
    EXPECT_FALSE(CNvuFirmware::UnitFirmwareName("Serial no.1\r\n").has_value());
    EXPECT_FALSE(CNvuFirmware::UnitFirmwareName("Firmware Filename: nvu4_main_05032024_v101\r\n").has_value());
    EXPECT_FALSE(CNvuFirmware::UnitFirmwareName("Firmware Filename: \r\nnext.xsvf").has_value());
}

TEST(NvuFirmware, SameContentsOnlyForEqualReadableFiles)
{
    TempFolder folder;
    folder.File("a", std::string(3000, 'a'));
    folder.File("b", std::string(3000, 'a'));
    folder.File("c", std::string(2999, 'a') + "b");
    EXPECT_TRUE(CNvuFirmware::SameContents((folder.path / "a").string(), (folder.path / "b").string()));
    EXPECT_FALSE(CNvuFirmware::SameContents((folder.path / "a").string(), (folder.path / "c").string()));
    EXPECT_FALSE(CNvuFirmware::SameContents((folder.path / "a").string(), (folder.path / "none").string()));
}

TEST(NvuDiagnosticReport, NameLayoutAndNoOverwrite)
{
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    EXPECT_EQ(CNvuDiagnosticReport::FileName(1, 0x1A2B, t), "Diagnostic-1-1A2B-D20240305-T140709.txt");

    EXPECT_EQ(CNvuDiagnosticReport::Block("NVU CHANNEL INFO 0: ", {{"bValid", "1"}, {"SampleIntervalInSeconds", "2"}}),
              "NVU CHANNEL INFO 0: \r\n bValid\t\t\t\t1 \r\n SampleIntervalInSeconds\t2 \r\n\r\n");
    const std::string system = CNvuDiagnosticReport::SystemInfo();
    EXPECT_EQ(system.rfind("SYSTEM INFO: \r\n", 0), 0u) << system;
    EXPECT_NE(system.find(" NumberOfProcessors\t"), std::string::npos) << system;

    TempFolder folder;
    const std::string path = (folder.path / "report.txt").string();
    EXPECT_EQ(CNvuDiagnosticReport::Write(path, "first"), CNvuDiagnosticReport::EResult::Written);
    EXPECT_EQ(CNvuDiagnosticReport::Write(path, "second"), CNvuDiagnosticReport::EResult::NotCreated);
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "first");
    EXPECT_EQ(CNvuDiagnosticReport::Write((folder.path / "absent" / "r.txt").string(), "x"),
              CNvuDiagnosticReport::EResult::NotCreated);
}

}  // namespace
