#include "display/ui/PrinterDevices.h"

#include "display/ui/PaperPrinter.h"
#include "display/ui/PrintDlg.h"

CPrinterDevices::CPrinterDevices(IPaperPrinter& paper, std::function<QWidget*()> parent)
    : m_paper(paper), m_parent(std::move(parent))
{}

bool CPrinterDevices::GetPrinterDefaults(bool)
{
    // The orientation goes with every job the printing makes.
    return m_paper.HasPrinter();
}

bool CPrinterDevices::RunPrintDialog(SPrintDialogValues& values)
{
    QWidget* parent = m_parent ? m_parent() : nullptr;
    CPrintDlg dialog(
        values, m_paper.HasPrinter(),
        [this, parent](bool& landscape) { return m_paper.RunPageSetup(parent, landscape); }, parent);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok)
        values = dialog.GetValues();
    else
        values.landscape = dialog.GetValues().landscape;
    return ok;
}

void CPrinterDevices::RunHistoryDialog(std::function<SHistoryFiles()> files, const std::string& folder)
{
    CHistoryDialog::SContext context;
    context.list = std::move(files);
    context.printer = &m_paper;
    context.historyFolder = folder;
    if (historyContext)
        historyContext(context);
    CHistoryDialog dialog(std::move(context), m_parent ? m_parent() : nullptr);
    dialog.exec();
}
