// The printing's pages: history files written to a folder of the test's
// own (names, numbers, the 16-colour layout read back by our reader and by
// Qt, the half page a stop writes, the pages a program's end writes), the
// columns, texts and marks of a page, and paper pages printed to PDF and
// looked at with the system's PDF tools. Also the settings dialog.
#include "display/ui/tests/PrintingFixture.h"

#include "base/File.h"
#include "display/HistoryFolder.h"
#include "display/ui/PaperPrinter.h"
#include "display/ui/PrintDlg.h"
#include "display/ui/PrinterDevices.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using printingtest::PrintingFixture;

namespace {

std::vector<fs::path> HistoryFiles(const std::string& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A page column in page colours, top to foot.
std::string Column(const CPrinterPage& page, int x, int from, int to)
{
    std::string s;
    for (int y = from; y < to; ++y)
        s += static_cast<char>(page.Pixel(x, y) < 10 ? '0' + page.Pixel(x, y) : 'a' + page.Pixel(x, y) - 10);
    return s;
}

std::string Tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return "did not finish";
    return process.readAllStandardOutput().toStdString();
}

// The page count pdfinfo reports; -1 when it reports none.
int PdfPages(const std::string& info)
{
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

TEST(Printing, HistoryPagesAreWrittenNumberedAndReadBack)
{
    PrintingFixture f;
    f.echogram.m_depthLines = 0;
    f.printer.SetDefaults();
    f.printer.StartPrinting();
    ASSERT_TRUE(f.printer.HasPrintingView());
    EXPECT_FALSE(f.printer.IsPaperPrinting());
    // A page of the history view is 100 columns; the last one ends it.
    f.Pings(100);
    EXPECT_EQ(f.historyView->GetCurrentColumn(), 0) << "a new page began";
    f.Pings(30);
    f.printer.StopPrinting();
    EXPECT_FALSE(f.printer.HasPrintingView());
    f.printer.Worker().WaitIdle();

    const auto files = HistoryFiles(f.folder.File("history"));
    ASSERT_EQ(files.size(), 2u) << "a full page and the half page of the stop";
    EXPECT_EQ(CHistoryFolder::NumberOf(files[0].filename().string()), 0);
    EXPECT_EQ(CHistoryFolder::NumberOf(files[1].filename().string()), 1);
    EXPECT_EQ(f.printer.GetHistoryFileNumber(), 2);
    EXPECT_EQ(f.printer.GetHistoryFiles().size(), 2u);

    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        CFile in;
        ASSERT_TRUE(in.Open(file.string(), CFile::modeRead));
        CDIBSection dib;
        ASSERT_TRUE(dib.Load(in));
        EXPECT_EQ(dib.GetHeader().biBitCount, 4);
        EXPECT_EQ(dib.GetHeader().biWidth, 100);
        EXPECT_EQ(dib.GetHeader().biHeight, 128);
        EXPECT_EQ(dib.GetColourCount(), 16u);
        EXPECT_EQ(fs::file_size(file), 54u + 16 * 4 + 52u * 128) << "rows of 50 bytes padded to 52";

        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(file.string()), "BMP"));
        ASSERT_EQ(image.size(), QSize(100, 128));
        // Column 25 lies clear of the range texts (and there are no scale
        // marks): the band of samples 10..40 of 100 rows, stretched to 92
        // rows from row 4, in echo colour 5.
        const RGBQUAD echo = dib.ColourTable()[5];
        EXPECT_EQ(image.pixel(25, 4 + 20), qRgb(echo.rgbRed, echo.rgbGreen, echo.rgbBlue));
        const RGBQUAD back = dib.ColourTable()[0];
        EXPECT_EQ(image.pixel(25, 4 + 70), qRgb(back.rgbRed, back.rgbGreen, back.rgbBlue));
    }
    // The half page: columns past the 30th hold nothing but the header.
    QImage half(QString::fromStdString(files[1].string()), "BMP");
    EXPECT_EQ(half.pixel(29, 24), half.pixel(25, 24)) << "ping columns";
    EXPECT_NE(half.pixel(31, 24), half.pixel(29, 24)) << "an empty column after the stop";
}

TEST(Printing, AColumnStacksTheEchogramsAndItsMarksAndTexts)
{
    PrintingFixture f;
    f.echogram.m_depthLines = 4;
    f.printer.SetDefaults();
    f.printer.StartPrinting();
    f.printer.PrintStatusText("Bottom lost");
    f.Pings(1);
    const CPrinterPage page = f.historyView->GetPage();
    // Rows 0..3 kept free, the strip of 92 rows (the page's 128 less the
    // margins and the header), then the separator.
    EXPECT_EQ(Column(page, 0, 0, 4), "0000");
    EXPECT_EQ(Column(page, 0, 4 + 10, 4 + 12), "05") << "sample 10 starts at row 10 x 0.92 = 9.2";
    EXPECT_EQ(Column(page, 0, 96, 100), "dddd") << "the separator";
    EXPECT_EQ(Column(page, 0, 100, 128), std::string(28, '0')) << "the header's rows";

    const auto texts = f.historyView->GetTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, "Bottom lost");
    EXPECT_EQ(texts[0].x, 1);
    EXPECT_EQ(texts[1].text, "0 m");
    EXPECT_TRUE(texts[1].below);
    EXPECT_EQ(texts[2].text, "100 m");
    EXPECT_EQ(texts[2].y, 4 + 92);
    EXPECT_FALSE(texts[2].below);
    const auto marks = f.historyView->GetScaleTexts();
    ASSERT_EQ(marks.size(), 5u) << "0, 25, 50, 75, 100";
    EXPECT_EQ(marks[1].text, "25");
    EXPECT_EQ(marks[1].y, 4 + 23);

    // The range texts come again only when the range changes.
    f.Pings(1);
    EXPECT_EQ(f.historyView->GetTexts().size(), 3u);
    f.echogram.m_range = 50.0;
    f.Pings(1);
    EXPECT_EQ(f.historyView->GetTexts().size(), 5u);
}

TEST(Printing, NothingToPrintGivesNoColumnAndNoMarks)
{
    struct Case
    {
        const char* legend;
        std::function<void(PrintingFixture&)> set;
        int columns, marks;
    };
    const Case cases[] = {
        {"every echogram frozen: no scale", [](PrintingFixture& f) { f.echogram.m_frozen = true; }, 0, 0},
        {"no depth lines: no step", [](PrintingFixture& f) { f.echogram.m_depthLines = 0; }, 1, 0},
        {"no echogram at all", [](PrintingFixture& f) { f.printer.ClearViewList(); }, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        PrintingFixture f;
        f.printer.SetDefaults();
        f.printer.StartPrinting();
        c.set(f);
        f.printer.OnSourceUpdate(1);
        EXPECT_EQ(f.historyView->GetCurrentColumn(), c.columns);
        EXPECT_EQ(static_cast<int>(f.historyView->GetScaleTexts().size()), c.marks);
    }
}

TEST(Printing, SounderDetailsKeepTheFirstFortyColumns)
{
    PrintingFixture f;
    f.Set("SounderDetails", 1);
    f.printer.SetDefaults();
    f.printer.StartPrinting();
    EXPECT_EQ(f.historyView->GetCurrentColumn(), 40);
    f.Pings(1);
    const auto texts = f.historyView->GetTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_NE(texts[0].text.find(" 0 W "), std::string::npos) << texts[0].text;
    EXPECT_EQ(texts[0].x, 0);
    EXPECT_EQ(texts[1].x, 15);
    EXPECT_NE(texts[1].text.find("dB"), std::string::npos) << texts[1].text;
    f.Pings(59);
    EXPECT_EQ(f.historyView->GetCurrentColumn(), 40) << "the next page starts at column 40 too";
}

TEST(Printing, APageThatCannotBeWrittenIsReportedAndKeepsTheNumber)
{
    PrintingFixture f;
    // The history folder cannot be made: a file is in its way.
    {
        CFile blocker;
        ASSERT_TRUE(blocker.Open(f.folder.File("history"), CFile::modeCreate | CFile::modeWrite));
    }
    ClearMessageBoxRecord();
    f.printer.SetDefaults();
    f.printer.StartPrinting();
    f.Pings(5);
    f.printer.StopPrinting();
    f.printer.Worker().WaitIdle();
    ASSERT_FALSE(MessageBoxRecord().empty());
    EXPECT_EQ(MessageBoxRecord().back().text, "History path error!!");
    EXPECT_EQ(f.printer.GetHistoryFileNumber(), 0);
}

TEST(Printing, AtTheEndRunningJobsWriteAndPrintWhatTheyHave)
{
    TempFolder pdf;
    CPdfPaperPrinter paper(QString::fromStdString(pdf.File("")));
    CPrinterDevices devices(paper);
    std::string history;
    {
        PrintingFixture f(&devices, &paper);
        history = f.folder.File("history");
        f.Set("PrinterOn", 1);
        f.printer.SetDefaults();
        f.printer.StartPrinting();
        ASSERT_TRUE(f.printer.IsPaperPrinting());
        f.Pings(7);
        f.paperView.reset();
        f.historyView.reset();
        EXPECT_EQ(HistoryFiles(history).size(), 1u);
        EXPECT_EQ(paper.Jobs(), 1);
    }
}

TEST(Printing, PaperPagesPrintAsPdfWithStripsPageLineAndOrientation)
{
    if (QProcess::execute("pdfinfo", {"-v"}) != 0)
        GTEST_SKIP() << "pdfinfo is not installed";
    TempFolder pdf;
    CPdfPaperPrinter paper(QString::fromStdString(pdf.File("")));
    CPrinterDevices devices(paper);
    PrintingFixture f(&devices, &paper);
    f.Set("PrinterOn", 1);
    f.Set("OrientationLandscape", 1);
    f.printer.SetDefaults();
    ASSERT_TRUE(f.printer.IsPaperPrinting());
    f.Pings(200 + 50);
    f.printer.EndPaperPrinting();
    f.printer.Worker().WaitIdle();
    ASSERT_EQ(paper.Jobs(), 2) << "a full page and the last half page";

    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        const QString file = QString::fromStdString(pdf.File("page-" + std::to_string(n) + ".pdf"));
        const std::string info = Tool("pdfinfo", {file});
        EXPECT_EQ(PdfPages(info), 1) << info;
        EXPECT_NE(Tool("pdftotext", {file, "-"}).find("Page " + std::to_string(n)), std::string::npos);
        const QString png = QString::fromStdString(pdf.File("p" + std::to_string(n)));
        Tool("pdftoppm", {"-r", "30", "-png", "-singlefile", file, png});
        QImage image(png + ".png");
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(image.width(), image.height()) << "landscape";
        // The echo band lies over rows 10..40 of the 100, stretched over
        // 97 % of the height; below it the white of paper.
        const int x = n == 1 ? image.width() * 3 / 4 : image.width() / 10;
        const QColor echo = image.pixelColor(x, static_cast<int>(image.height() * 0.97 * 0.25));
        const QColor paperWhite = image.pixelColor(x, static_cast<int>(image.height() * 0.97 * 0.7));
        EXPECT_GT(paperWhite.lightness(), 240);
        EXPECT_LT(echo.lightness(), 230) << "the echo colour";
        if (n == 2) {
            const QColor empty = image.pixelColor(image.width() * 3 / 4, static_cast<int>(image.height() * 0.25));
            EXPECT_GT(empty.lightness(), 240) << "the half page is empty past its last column";
        }
    }
}

TEST(Printing, TheDialogDisablesPrintingWithoutAPrinterAndTakesItsValues)
{
    shelltest::QtApp();
    IPrinterDevices::SPrintDialogValues values;
    values.status = 1;
    values.navigationTg = 60;
    values.speed = 3;
    values.textBackground = 1;
    for (bool printer : {false, true}) {
        SCOPED_TRACE(printer);
        CPrintDlg dialog(values, printer, {});
        EXPECT_EQ(shelltest::Control<QCheckBox>(dialog, 1237)->isEnabled(), printer);
        EXPECT_EQ(shelltest::Control<QPushButton>(dialog, 1209)->isEnabled(), printer);
        EXPECT_TRUE(shelltest::Control<QCheckBox>(dialog, 1235)->isChecked());
        EXPECT_TRUE(shelltest::Control<QRadioButton>(dialog, 1013)->isChecked());
        shelltest::Screenshot(dialog, printer ? "print-dialog" : "print-dialog-no-printer");
    }
    // "Print Setup.." runs the printer's set-up dialog; its OK brings the
    // orientation back.
    TempFolder pdf;
    CPdfPaperPrinter paper(QString::fromStdString(pdf.File("")));
    QTimer answer;
    answer.setInterval(10);
    std::string setupShown;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* setup = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!setup || setup->objectName() != "dialog_print_setup")
            return;
        setupShown = setup->windowTitle().toStdString();
        shelltest::Screenshot(*setup, "print-setup");
        setup->reject();
    });
    answer.start();
    bool landscape = false;
    EXPECT_FALSE(paper.RunPageSetup(nullptr, landscape)) << "answered with Cancel";
    answer.stop();
    EXPECT_FALSE(setupShown.empty());

    CPrintDlg dialog(values, true, [](bool& landscape) {
        landscape = true;
        return true;
    });
    shelltest::Control<QPushButton>(dialog, 1209)->click();
    shelltest::Control<QLineEdit>(dialog, 1241)->setText("1000");
    ClearMessageBoxRecord();
    dialog.accept();
    EXPECT_FALSE(MessageBoxRecord().empty()) << "1000 is past the 999 the count may be";
    shelltest::Control<QLineEdit>(dialog, 1241)->setText("0");
    shelltest::Control<QRadioButton>(dialog, 1008)->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetValues().navigationTg, 0);
    EXPECT_EQ(dialog.GetValues().speed, 4);
    EXPECT_EQ(dialog.GetValues().landscape, 1);
}

}  // namespace
