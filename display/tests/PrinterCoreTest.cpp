// The printing's pieces without a document: history file names and the
// folder scan, the page's pixels, the text placement rules and formats.
#include "display/HistoryFolder.h"
#include "display/PrinterPage.h"
#include "display/PrinterTexts.h"

#include <gtest/gtest.h>

namespace {

TEST(HistoryFolder, OnlyThePrintingsOwnNamesAreNumbered)
{
    struct Row
    {
        const char* name;
        int number;  // -1: none
    };
    const Row rows[] = {
        {"H0012-D20260312-T143005.bmp", 12},
        {"H12345-D20260312-T143005.bmp", 12345},
        {"H000000007-D20260312-T143005.bmp", 7},
        {"H012-D20260312-T143005.bmp", -1},         // too few digits
        {"H1234567890-D20260312-T143005.bmp", -1},  // too many to count
        {"H0012-D2026031-T143005.bmp", -1},         // a short date
        {"H0012-D20260312-T143005.BMP", -1},        // not our spelling
        {"H0012-D20260312-T143005.bmp.bak", -1},
        {"h0012-D20260312-T143005.bmp", -1},
        {"Harbour.bmp", -1},
        {"H.bmp", -1},
        {"", -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const auto number = CHistoryFolder::NumberOf(r.name);
        EXPECT_EQ(number.value_or(-1), r.number);
    }
    SYSTEMTIME t;
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 12;
    t.wHour = 14;
    t.wMinute = 30;
    t.wSecond = 5;
    EXPECT_EQ(CHistoryFolder::FileName(12, t), "H0012-D20260312-T143005.bmp");
    EXPECT_EQ(CHistoryFolder::NumberOf(CHistoryFolder::FileName(12, t)), 12);
}

TEST(HistoryFolder, ForeignHistoryNamesAreListedButNeverNumberedFrom)
{
    const auto scan = CHistoryFolder::Scan("/h/", {{"H0002-D20260101-T000000.bmp", 5},
                                                   {"hand.BMP", 9},
                                                   {"notes.txt", 99},
                                                   {"H99999-x.bmp", 9},
                                                   {"H0001-D20260101-T000000.bmp", 7}});
    EXPECT_EQ(scan.paths, (std::vector<std::string>{"/h/H0001-D20260101-T000000.bmp", "/h/H0002-D20260101-T000000.bmp",
                                                    "/h/H99999-x.bmp", "/h/hand.BMP"}));
    EXPECT_EQ(scan.newest, 3) << "the first of the latest times";
    EXPECT_EQ(scan.nextNumber, 3);
    EXPECT_EQ(CHistoryFolder::Scan("/h/", {{"Harbour.bmp", 1}}).nextNumber, 0);
}

TEST(PrinterPage, ColumnsStretchThroughTheColourMapAndSurviveANewSize)
{
    CPrinterPage page;
    ASSERT_TRUE(page.Create(5, 8));
    EXPECT_EQ(page.Bitmap().GetHeader().biBitCount, 4);
    EXPECT_GT(page.Bitmap().GetHeader().biHeight, 0) << "rows bottom-up, as in the file";
    CPrinterPage::ColourMap map{};
    map[160] = 1;
    map[171] = 12;
    const BYTE source[4] = {160, 171, 171, 160};
    page.CopyColumn(1, 2, 8, source, 4, 1, map);
    std::string column;
    for (int y = 0; y < 8; ++y)
        column += std::to_string(page.Pixel(1, y)) + " ";
    EXPECT_EQ(column, "0 0 1 1 12 12 12 12 ") << "clipped at the foot";
    EXPECT_EQ(page.Pixel(0, 3), 0);
    EXPECT_EQ(page.Pixel(2, 3), 0) << "the neighbour in the same byte is untouched";

    CPrinterPage taller;
    ASSERT_TRUE(taller.Create(6, 16));
    taller.CarryColumns(page, 1);
    EXPECT_EQ(taller.Pixel(1, 4), 1);
    EXPECT_EQ(taller.Pixel(1, 9), 12);
    EXPECT_FALSE(CPrinterPage().Create(0, 5));
}

SPrintedText Text(int left, int top, int priority)
{
    SPrintedText t;
    t.left = left;
    t.top = top;
    t.right = left + 10;
    t.bottom = top + 10;
    t.priority = priority;
    t.text = std::to_string(left) + "/" + std::to_string(priority);
    return t;
}

TEST(PrinterTexts, OverlapsGiveWayByPriority)
{
    struct Case
    {
        const char* legend;
        std::vector<SPrintedText> texts;
        std::vector<bool> suppressed;
    };
    const Case cases[] = {
        {"equal priority: the later one goes", {Text(0, 0, 1), Text(5, 5, 1)}, {false, true}},
        {"a lower first one goes", {Text(0, 0, 0), Text(5, 5, 2)}, {true, false}},
        {"a lower later one goes", {Text(0, 0, 2), Text(5, 5, 0)}, {false, true}},
        {"touching edges do not meet", {Text(0, 0, 0), Text(10, 0, 0)}, {false, false}},
        {"a suppressed text no longer pushes", {Text(0, 0, 0), Text(5, 0, 2), Text(14, 0, 1)}, {true, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<SPrintedText> texts = c.texts;
        CPrinterTexts::Thin(texts);
        std::vector<bool> suppressed;
        for (const SPrintedText& t : texts)
            suppressed.push_back(t.suppressed);
        EXPECT_EQ(suppressed, c.suppressed);
    }
}

TEST(PrinterTexts, FormatsOfTheTextsBesideTheEchograms)
{
    EXPECT_EQ(CPrinterTexts::SounderDetails("T38 38 kHz", 999.9, 0.001024, 12.34), "T38 38 kHz 999 W  1.0 ms 12.3 m");
    EXPECT_EQ(CPrinterTexts::SounderDetails("A", 100, 0.0001, 1), "A 100 W 100.0 us  1.0 m");
    EXPECT_EQ(CPrinterTexts::Tvg(0, 1234.56, " m", 300.9, 3), "0.0 <-> 1234.6 m 300 dB 20logR");
    EXPECT_EQ(CPrinterTexts::Tvg(0, 1, " ft", 80, 4), "0.0 <-> 1.0 ft 80 dB 30logR");
    EXPECT_EQ(CPrinterTexts::Tvg(0, 1, " m", 80, 1), "0.0 <-> 1.0 m 80 dB NoTVG");
    EXPECT_EQ(CPrinterTexts::RangeValue(123456789.0, " m"), "123456789 ") << "cut to 10 characters";

    struct Step
    {
        double start, end;
        int lines;
        double step;
    };
    for (const Step& s : {Step{0, 100, 10, 10}, Step{0, 4, 10, 0.25}, Step{0, 7, 10, 0.5}, Step{0, 26, 10, 3},
                          Step{0, 100, 0, 0}, Step{5, 5, 10, 0}}) {
        SCOPED_TRACE(std::to_string(s.end) + "/" + std::to_string(s.lines));
        EXPECT_EQ(CPrinterTexts::ScaleStep(s.start, s.end, s.lines), s.step);
    }
    EXPECT_EQ(CPrinterTexts::ScaleMark(2.5, 0.5, 200), "   2.5");
    EXPECT_EQ(CPrinterTexts::ScaleMark(20, 2, 50), "  20.0");
    EXPECT_EQ(CPrinterTexts::ScaleMark(1.25, 0.25, 200), "  1.25");
    EXPECT_EQ(CPrinterTexts::ScaleMark(120.4, 10, 200), "120");
}

}  // namespace
