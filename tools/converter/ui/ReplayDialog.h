// The converter's dialog (template 102): six boxes choose which datagrams
// become records, "Select files..." picks out files and converts them, and
// the about box is reached from a button, there being no system menu.
#pragma once

#include "tools/converter/ConversionRun.h"
#include "tools/converter/ConverterOptions.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QFileDialog;

namespace zv::converter {

class CReplayDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDialogId = 102;
    static constexpr int kExitId = 1;
    static constexpr int kSelectFilesId = 1006;
    static constexpr int kGgaId = 1007;
    static constexpr int kGllId = 1008;
    static constexpr int kAsciiId = 1009;
    static constexpr int kAnnotationId = 1010;
    static constexpr int kEventId = 1011;
    static constexpr int kDepthId = 1012;
    static constexpr int kFileTemplateId = 153;  // the file dialog's child template
    static constexpr int kFileListId = 1119;     // its list box

    static constexpr const char* kOpenFailedText = "Check that the file is not used by another application !";

    explicit CReplayDialog(QWidget* parent = nullptr);

    SConverterOptions Options() const;
    // Converts the files in the run's order and tells of every one that
    // failed; what the boxes say is read first.
    void ConvertFiles(const QStringList& files);
    // The file dialog of "Select files...", made but not shown.
    QFileDialog* MakeFileDialog();

protected:
    // The files the user picks; empty when the dialog is cancelled.
    virtual QStringList ChooseFiles();
    // One box per file that failed: what failed, and the file with the cause.
    virtual void Tell(const QString& text, const QString& detail);

private:
    void OnSelectFiles();
    void OnAbout();

    QCheckBox* m_boxes[6] = {};
};

}  // namespace zv::converter
