#include "display/ui/PaperPrinter.h"

#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>

bool IPaperPrinter::RunPageSetup(QWidget* parent, bool& landscape)
{
    std::unique_ptr<QPrinter> printer = MakePrinter(landscape, "setup");
    if (!printer)
        return false;
    QPageSetupDialog dialog(printer.get(), parent);
    dialog.setObjectName("dialog_print_setup");
    if (dialog.exec() != QDialog::Accepted)
        return false;
    landscape = printer->pageLayout().orientation() == QPageLayout::Landscape;
    return true;
}

bool CDefaultPaperPrinter::HasPrinter() const
{
    return !QPrinterInfo::defaultPrinter().isNull();
}

std::unique_ptr<QPrinter> CDefaultPaperPrinter::MakePrinter(bool landscape, const std::string& jobName)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer->setDocName(QString::fromStdString(jobName));
    return printer;
}

std::unique_ptr<QPrinter> CPdfPaperPrinter::MakePrinter(bool landscape, const std::string& jobName)
{
    int n = 0;
    {
        std::lock_guard lk(m_lock);
        n = ++m_jobs;
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(m_folder + QString("/page-%1.pdf").arg(n));
    printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer->setDocName(QString::fromStdString(jobName));
    return printer;
}

int CPdfPaperPrinter::Jobs() const
{
    std::lock_guard lk(m_lock);
    return m_jobs;
}
