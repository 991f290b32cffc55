// The history dialog over a folder of pictures written here: which pair it
// shows, how the scroll bar steps the ring, which files it refuses, its
// colours, and the pair printed on one page.
#include "display/ui/HistoryDialog.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/File.h"
#include "display/DIBSection.h"
#include "display/tests/TempFolder.h"
#include "display/ui/PaperPrinter.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QFileDialog>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace {

// A 4-bit picture filled with colour index `index`; the file's own table
// gives index i the grey 16 * i.
bool WritePicture(const std::string& path, int width, int height, BYTE index)
{
    CDIBSection dib;
    if (!dib.Create(width, height, 4, DIB_RGB_COLORS) || !dib.CreateSection())
        return false;
    for (std::size_t i = 0; i < dib.ColourTable().size(); ++i) {
        const BYTE grey = static_cast<BYTE>(16 * i);
        dib.ColourTable()[i] = {grey, grey, grey, 0};
    }
    dib.Fill(static_cast<BYTE>(index << 4 | index));
    CFile file;
    return file.Open(path, CFile::modeCreate | CFile::modeWrite) && dib.Save(file);
}

std::string Tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return "did not finish";
    return process.readAllStandardOutput().toStdString();
}

class HistoryDialogTest : public ::testing::Test
{
protected:
    HistoryDialogTest()
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }

    // n legal pictures "H<i>.bmp", i from 0, filled with index i % 14.
    void MakeFiles(int n, int newest)
    {
        list.exists = true;
        list.newest = newest;
        list.files.clear();
        for (int i = 0; i < n; ++i) {
            list.files.push_back(folder.File("H" + std::to_string(i) + ".bmp"));
            ASSERT_TRUE(WritePicture(list.files.back(), 301, 401, static_cast<BYTE>(i % 14)));
        }
    }
    CHistoryDialog::SContext Context()
    {
        CHistoryDialog::SContext c;
        c.list = [this] { return list; };
        c.screenDepth = 24;
        c.historyFolder = folder.File("");
        return c;
    }
    std::string Shown(CHistoryPicture& picture) const
    {
        const std::string& file = picture.File();
        return file.empty() ? "" : std::filesystem::path(file).filename().string();
    }
    int Boxes() const { return static_cast<int>(MessageBoxRecord().size()); }

    TempFolder folder;
    CHistoryDialog::SList list;
};

TEST_F(HistoryDialogTest, OpensOnTheNewestPairWithTheNewestOnTheRight)
{
    struct Case
    {
        int n, newest;
        const char *left, *right;
    };
    // The newest need not be the last in the list: the ring turns at it.
    for (const Case& c : {Case{5, 5, "H3.bmp", "H4.bmp"}, Case{5, 2, "H0.bmp", "H1.bmp"},
                          Case{5, 1, "H4.bmp", "H0.bmp"}, Case{1, 1, "H0.bmp", "H0.bmp"}}) {
        SCOPED_TRACE(c.n * 10 + c.newest);
        MakeFiles(c.n, c.newest);
        CHistoryDialog dialog(Context());
        EXPECT_EQ(Shown(dialog.Left()), c.left);
        EXPECT_EQ(Shown(dialog.Right()), c.right);
        EXPECT_EQ(dialog.Position(), c.n - 1);
    }
    EXPECT_EQ(Boxes(), 0);
}

TEST_F(HistoryDialogTest, NoFilesOrNoListShowNothingAndScrollingChangesNothing)
{
    for (bool exists : {true, false}) {
        list = {};
        list.exists = exists;
        CHistoryDialog dialog(Context());
        for (int code : {CHistoryDialog::SB_LINELEFT, CHistoryDialog::SB_LINERIGHT, CHistoryDialog::SB_PAGERIGHT,
                         CHistoryDialog::SB_THUMBTRACK}) {
            const int before = dialog.Position();
            dialog.OnHScroll(code, 3);
            EXPECT_EQ(dialog.Position(), before);
        }
        EXPECT_TRUE(dialog.Left().Image().isNull());
        EXPECT_TRUE(dialog.Right().Image().isNull());
    }
    EXPECT_EQ(Boxes(), 0);
}

TEST_F(HistoryDialogTest, TheScrollBarStepsTheRingButNeverShowsNewestBesideOldest)
{
    MakeFiles(51, 51);
    CHistoryDialog dialog(Context());
    EXPECT_EQ(dialog.ScrollBar().minimum(), 1);
    EXPECT_EQ(dialog.ScrollBar().maximum(), 50);
    EXPECT_EQ(dialog.PageStep(), 11);

    dialog.OnHScroll(CHistoryDialog::SB_LINERIGHT, 0);
    EXPECT_EQ(dialog.Position(), 50) << "not beyond the right end";
    dialog.OnHScroll(CHistoryDialog::SB_PAGELEFT, 0);
    EXPECT_EQ(dialog.Position(), 39);
    EXPECT_EQ(Shown(dialog.Right()), "H39.bmp");
    dialog.OnHScroll(CHistoryDialog::SB_THUMBTRACK, 1);
    EXPECT_EQ(Shown(dialog.Left()), "H0.bmp") << "the leftmost pair is the two oldest";
    EXPECT_EQ(Shown(dialog.Right()), "H1.bmp");
    dialog.OnHScroll(CHistoryDialog::SB_PAGELEFT, 0);
    EXPECT_EQ(dialog.Position(), 1);
    // Releasing the thumb elsewhere does not move the pair; dragging does.
    dialog.OnHScroll(CHistoryDialog::SB_THUMBPOSITION, 20);
    EXPECT_EQ(dialog.Position(), 1);
    EXPECT_EQ(Shown(dialog.Right()), "H1.bmp");
    dialog.OnHScroll(CHistoryDialog::SB_THUMBTRACK, 20);
    EXPECT_EQ(Shown(dialog.Right()), "H20.bmp");
    // The slider's own actions reach the same handler.
    dialog.ScrollBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog.Position(), 21);
    EXPECT_EQ(dialog.ScrollBar().value(), 21);
}

TEST_F(HistoryDialogTest, AScrollTakesTheListAfreshAndFollowsANewNewest)
{
    MakeFiles(3, 3);
    CHistoryDialog dialog(Context());
    // A page written while the dialog is open.
    list.files.push_back(folder.File("H3.bmp"));
    ASSERT_TRUE(WritePicture(list.files.back(), 301, 401, 3));
    list.newest = 4;
    dialog.OnHScroll(CHistoryDialog::SB_PAGERIGHT, 0);
    EXPECT_EQ(dialog.ScrollBar().maximum(), 3);
    EXPECT_EQ(dialog.Position(), 3);
    EXPECT_EQ(Shown(dialog.Right()), "H3.bmp");
}

TEST_F(HistoryDialogTest, SmallOrDamagedFilesAreRefusedWithOneBoxEachWhileOpen)
{
    struct Case
    {
        int width, height;
        bool legal;
    };
    for (const Case& c : {Case{300, 401, false}, Case{301, 400, false}, Case{301, 401, true}}) {
        ClearMessageBoxRecord();
        const std::string path = folder.File(std::to_string(c.width) + "x" + std::to_string(c.height) + ".bmp");
        ASSERT_TRUE(WritePicture(path, c.width, c.height, 1));
        CHistoryDialog dialog(Context());
        EXPECT_EQ(dialog.OpenHistoryFile(path), c.legal) << path;
        if (c.legal) {
            EXPECT_EQ(Boxes(), 0);
        } else {
            ASSERT_EQ(Boxes(), 1);
            EXPECT_EQ(MessageBoxRecord()[0].text, "Illegal History File");
            EXPECT_EQ(MessageBoxRecord()[0].flags & MB_ICONSTOP, MB_ICONSTOP);
        }
    }

    // Damaged files in the folder: a short one, a wrong signature, sizes
    // far beyond the file; and one that is missing gives no box at all.
    list = {true,
            4,
            {folder.File("short.bmp"), folder.File("sig.bmp"), folder.File("huge.bmp"), folder.File("missing.bmp")}};
    std::ofstream(list.files[0], std::ios::binary) << "BM\x10";
    std::ofstream(list.files[1], std::ios::binary) << std::string(200, 'Z');
    {
        ASSERT_TRUE(WritePicture(list.files[2], 301, 401, 2));
        std::fstream f(list.files[2], std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(18);
        const char huge[8] = {'\xff', '\xff', '\xff', '\x7f', '\xff', '\xff', '\xff', '\x7f'};
        f.write(huge, 8);
    }
    ClearMessageBoxRecord();
    CHistoryDialog dialog(Context());
    dialog.show();
    // Every resize shows the pair again: no more boxes than files.
    for (int step = 0; step < 5; ++step) {
        dialog.resize(400 + 10 * step, 300 + 10 * step);
        QApplication::processEvents();
    }
    for (int i = 0; i < 6; ++i)
        dialog.OnHScroll(CHistoryDialog::SB_LINELEFT, 0);
    // Each damaged file once (its load may add a box of its own); the
    // missing one none.
    int illegal = 0;
    for (const MessageBoxEntry& box : MessageBoxRecord())
        illegal += box.text == "Illegal History File";
    EXPECT_EQ(illegal, 3);
    EXPECT_LE(Boxes(), 6);
    EXPECT_TRUE(dialog.Left().Image().isNull());
    EXPECT_TRUE(dialog.Right().Image().isNull());
}

TEST_F(HistoryDialogTest, ThePicturesTakeTheEchogramColoursOnlyOnAScreenOfMoreThan8Bits)
{
    MakeFiles(2, 2);
    LOGPALETTE palette;
    palette.palPalEntry[78] = {10, 20, 30, 0};  // background, colour 0
    palette.palPalEntry[160] = {200, 0, 0, 0};  // echo level 1, colour 1
    palette.palPalEntry[79] = {1, 2, 3, 0};     // text, colour 13
    const CHistoryPicture::Colours colours = CHistoryDialog::ColoursOf(palette);
    EXPECT_EQ(colours[0], RGB(10, 20, 30));
    EXPECT_EQ(colours[1], RGB(200, 0, 0));
    EXPECT_EQ(colours[13], RGB(1, 2, 3));

    for (int depth : {8, 24}) {
        CHistoryDialog::SContext c = Context();
        c.palette = &palette;
        c.screenDepth = depth;
        CHistoryDialog dialog(c);
        // The right picture is filled with index 1: the echo colour with the
        // dialog's colours, the file's grey 16 without.
        const QRgb pixel = dialog.Right().Image().pixel(0, 0);
        if (depth == 8) {
            EXPECT_FALSE(dialog.Right().GetColors().has_value());
            EXPECT_EQ(pixel, qRgb(16, 16, 16));
        } else {
            EXPECT_EQ(dialog.Left().GetColors(), colours);
            EXPECT_EQ(pixel, qRgb(200, 0, 0));
        }
    }
    // Indices 14 and 15 keep the file's own colours.
    CHistoryPicture picture;
    picture.SetColors(colours);
    ASSERT_TRUE(WritePicture(folder.File("15.bmp"), 301, 401, 15));
    ASSERT_TRUE(picture.ShowFile(folder.File("15.bmp")));
    EXPECT_EQ(picture.Image().pixel(0, 0), qRgb(240, 240, 240));
}

TEST_F(HistoryDialogTest, PrintMultipleIsBlankAndInertOnRM30AndBrowsesTheFolderElsewhere)
{
    MakeFiles(2, 2);
    for (bool rm30 : {true, false}) {
        CHistoryDialog::SContext c = Context();
        c.rm30 = rm30;
        CHistoryDialog dialog(c);
        EXPECT_EQ(dialog.PrintMultipleButton().icon().isNull(), rm30);
        EXPECT_FALSE(dialog.PrintSingleButton().icon().isNull());
        QString title;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                box->reject();
            }
        });
        dialog.PrintMultipleButton().click();
        QApplication::processEvents();
        EXPECT_EQ(title, rm30 ? QString() : QString("History Multiple Print Dialog"));
    }
}

TEST_F(HistoryDialogTest, PrintSinglePutsThePairOnOnePageLeftAndRight)
{
    if (QProcess::execute("pdfinfo", {"-v"}) != 0 || QProcess::execute("pdftoppm", {"-v"}) != 0)
        GTEST_SKIP() << "pdfinfo or pdftoppm is not installed";
    MakeFiles(2, 2);
    // Left black (index 0), right mid grey (index 8 of the file's table).
    ASSERT_TRUE(WritePicture(list.files[1], 301, 401, 8));
    TempFolder pdf;
    CPdfPaperPrinter printer(QString::fromStdString(pdf.File("")));
    CHistoryDialog::SContext c = Context();
    c.printer = &printer;
    CHistoryDialog dialog(c);
    dialog.OnPrintSingle();
    ASSERT_EQ(printer.Jobs(), 1);
    const std::string file = pdf.File("page-1.pdf");
    const std::string info = Tool("pdfinfo", {QString::fromStdString(file)});
    EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
    const QString png = QString::fromStdString(pdf.File("p"));
    Tool("pdftoppm", {"-r", "30", "-png", "-singlefile", QString::fromStdString(file), png});
    QImage image(png + ".png");
    ASSERT_FALSE(image.isNull());
    const int y = image.height() / 2;
    EXPECT_LT(qGray(image.pixel(image.width() / 4, y)), 40) << "the older picture, left";
    const int right = qGray(image.pixel(image.width() * 3 / 4, y));
    EXPECT_GT(right, 100) << "the newer picture, right";
    EXPECT_LT(right, 160) << "picture, not paper";
    EXPECT_EQ(MessageBoxRecord().size(), 0u);
}

}  // namespace
