// Trovadel's dialog: its boxes and their defaults, the file dialog it opens,
// the conversion of the files picked and the boxes that tell of failures.
#include "tools/converter/ui/ReplayDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "tools/converter/tests/ConverterTestSupport.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace zv::converter;

namespace {

// The dialog with the file dialog and the message boxes replaced by what a
// test hands in and reads back.
class CTestDialog : public CReplayDialog
{
public:
    QStringList files;
    std::vector<std::pair<QString, QString>> told;

protected:
    QStringList ChooseFiles() override { return files; }
    void Tell(const QString& text, const QString& detail) override { told.emplace_back(text, detail); }
};

template <typename W>
W* Control(QWidget& dialog, int id)
{
    W* w = dialog.findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
}

class ReplayDialogTest : public ::testing::Test
{
protected:
    ReplayDialogTest() { shelltest::QtApp(); }
};

}  // namespace

TEST_F(ReplayDialogTest, BoxesCarryTheirIdsLabelsAndDefaults)
{
    CTestDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Trovadel");
    EXPECT_EQ(dialog.objectName(), "dialog_102");
    dialog.show();
    EXPECT_TRUE(shelltest::Screenshot(dialog, "trovadel"));
    const struct
    {
        int id;
        const char* label;
        bool on;
        bool SConverterOptions::*value;
    } boxes[] = {
        {1007, "GGA position", true, &SConverterOptions::gga},
        {1008, "GLL position", true, &SConverterOptions::gll},
        {1009, "ASCII position", false, &SConverterOptions::ascii},
        {1010, "Annotation", false, &SConverterOptions::annotation},
        {1011, "Event", true, &SConverterOptions::event},
        {1012, "Depth", true, &SConverterOptions::depth},
    };
    for (const auto& b : boxes) {
        QCheckBox* box = Control<QCheckBox>(dialog, b.id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), b.label);
        EXPECT_EQ(box->isChecked(), b.on) << b.label;
        EXPECT_EQ(dialog.Options().*b.value, b.on) << b.label;
        box->setChecked(!b.on);
        EXPECT_EQ(dialog.Options().*b.value, !b.on) << b.label;
    }
    EXPECT_EQ(Control<QPushButton>(dialog, 1006)->text(), "Select files...");
    EXPECT_EQ(Control<QPushButton>(dialog, 1)->text(), "Exit");
}

TEST_F(ReplayDialogTest, FileDialogOffersOutFilesWithTheNoteOfItsTemplate)
{
    CTestDialog dialog;
    std::unique_ptr<QFileDialog> files(dialog.MakeFileDialog());
    EXPECT_EQ(files->windowTitle(), "Convert dialog");
    EXPECT_EQ(files->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(files->defaultSuffix(), "out");
    EXPECT_EQ(files->nameFilters(), (QStringList{"Out-files (*.out)", "All files (*)"}));
    EXPECT_EQ(Control<QLabel>(*files, 153)->text(), "Please select file(s) to convert and press open.");
    EXPECT_EQ(Control<QListWidget>(*files, 1119)->count(), 0);
}

TEST_F(ReplayDialogTest, SelectFilesConvertsThemAndTellsOfEachFailure)
{
    TempFolder dir;
    converter_test::WriteOutFile(dir.File("good.out"), {"pings=3"});
    converter_test::WriteOutFile(dir.File("nodot"), {"pings=3"});
    CTestDialog dialog;
    Control<QCheckBox>(dialog, 1012)->setChecked(false);  // no depth records
    dialog.files = {QString::fromStdString(dir.File("nodot")), QString::fromStdString(dir.File("missing.out")),
                    QString::fromStdString(dir.File("good.out"))};
    Control<QPushButton>(dialog, 1006)->click();

    // The header and one GGA position a ping.
    EXPECT_EQ(converter_test::ReadRecords(dir.File("good.QY")).size(), 4u);
    ASSERT_EQ(dialog.told.size(), 2u);
    EXPECT_EQ(dialog.told[0].first, "Check that the file is not used by another application !");
    EXPECT_TRUE(dialog.told[0].second.startsWith(QString::fromStdString(dir.File("missing.out") + ": cannot open")));
    EXPECT_EQ(dialog.told[1].first, QString::fromStdString(dir.File("nodot") + " was not converted."));
    EXPECT_TRUE(dialog.told[1].second.contains("no \".\"")) << dialog.told[1].second.toStdString();

    // A cancelled file dialog converts nothing.
    dialog.files.clear();
    dialog.told.clear();
    Control<QPushButton>(dialog, 1006)->click();
    EXPECT_TRUE(dialog.told.empty());
}

TEST_F(ReplayDialogTest, AboutBoxIsReachedFromTheDialog)
{
    CTestDialog dialog;
    QString title, name;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        if (!about)
            return;
        title = about->windowTitle();
        name = about->objectName();
        about->close();
    });
    dialog.findChild<QPushButton*>("about")->click();
    EXPECT_EQ(name, "dialog_100");
    EXPECT_EQ(title, "About Trovadel");
}
