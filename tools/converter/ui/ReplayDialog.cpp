#include "tools/converter/ui/ReplayDialog.h"

#include "app/widgets/DialogExchange.h"
#include "tools/converter/ui/AboutDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using widgets::WithId;

namespace zv::converter {

namespace {

struct SBoxRow
{
    int id;
    const char* label;
    bool SConverterOptions::*value;
};
constexpr SBoxRow kBoxes[6] = {
    {CReplayDialog::kGgaId, "GGA position", &SConverterOptions::gga},
    {CReplayDialog::kGllId, "GLL position", &SConverterOptions::gll},
    {CReplayDialog::kAsciiId, "ASCII position", &SConverterOptions::ascii},
    {CReplayDialog::kAnnotationId, "Annotation", &SConverterOptions::annotation},
    {CReplayDialog::kEventId, "Event", &SConverterOptions::event},
    {CReplayDialog::kDepthId, "Depth", &SConverterOptions::depth},
};

}  // namespace

CReplayDialog::CReplayDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString("dialog_%1").arg(kDialogId));
    setWindowTitle("Trovadel");
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));

    auto* layout = new QHBoxLayout(this);
    auto* boxes = new QVBoxLayout;
    const SConverterOptions defaults;
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        m_boxes[i] = WithId(new QCheckBox(kBoxes[i].label, this), kBoxes[i].id);
        m_boxes[i]->setChecked(defaults.*kBoxes[i].value);
        boxes->addWidget(m_boxes[i]);
    }
    boxes->addStretch();
    layout->addLayout(boxes);

    auto* buttons = new QVBoxLayout;
    auto* select = WithId(new QPushButton("Select files...", this), kSelectFilesId);
    select->setDefault(true);
    auto* exit = WithId(new QPushButton("Exit", this), kExitId);
    auto* about = new QPushButton("&About Trovadel...", this);
    about->setObjectName("about");
    buttons->addWidget(select);
    buttons->addWidget(exit);
    buttons->addStretch();
    buttons->addWidget(about);
    layout->addLayout(buttons);

    connect(select, &QPushButton::clicked, this, &CReplayDialog::OnSelectFiles);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(about, &QPushButton::clicked, this, &CReplayDialog::OnAbout);
}

SConverterOptions CReplayDialog::Options() const
{
    SConverterOptions options;
    for (std::size_t i = 0; i < std::size(kBoxes); ++i)
        options.*kBoxes[i].value = m_boxes[i]->isChecked();
    return options;
}

QFileDialog* CReplayDialog::MakeFileDialog()
{
    auto* dialog = new QFileDialog(this, "Convert dialog");
    // Qt's own dialog, so that the note and list of the child template can
    // be placed under it.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setDefaultSuffix("out");
    dialog->setNameFilters({"Out-files (*.out)", "All files (*)"});
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        auto* note = WithId(new QLabel("Please select file(s) to convert and press open.", dialog), kFileTemplateId);
        auto* list = WithId(new QListWidget(dialog), kFileListId);
        list->setMaximumHeight(list->fontMetrics().height() * 4);
        const int row = grid->rowCount();
        grid->addWidget(note, row, 0, 1, -1);
        grid->addWidget(list, row + 1, 0, 1, -1);
    }
    return dialog;
}

QStringList CReplayDialog::ChooseFiles()
{
    QFileDialog* dialog = MakeFileDialog();
    const QStringList files = dialog->exec() == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
    delete dialog;
    return files;
}

void CReplayDialog::OnSelectFiles()
{
    const QStringList files = ChooseFiles();
    if (!files.isEmpty())
        ConvertFiles(files);
}

void CReplayDialog::ConvertFiles(const QStringList& files)
{
    const SConverterOptions options = Options();
    std::vector<std::string> names;
    for (const QString& f : files)
        names.push_back(f.toStdString());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<SFileOutcome> outcomes = CConversionRun(options).Run(names);
    QApplication::restoreOverrideCursor();
    for (const SFileOutcome& o : outcomes) {
        if (o.Converted())
            continue;
        const QString detail = QString::fromStdString(o.input + ": " + o.cause);
        if (o.failure == SFileOutcome::EFailure::Open)
            Tell(kOpenFailedText, detail);
        else
            Tell(QString::fromStdString(o.input + " was not converted."), detail);
    }
}

void CReplayDialog::Tell(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, "Trovadel", text, QMessageBox::Ok, this);
    box.setInformativeText(detail);
    box.exec();
}

void CReplayDialog::OnAbout()
{
    CAboutDialog about(this);
    about.exec();
}

}  // namespace zv::converter
