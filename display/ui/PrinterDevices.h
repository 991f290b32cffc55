// The printer as the printing document asks for it: whether the default
// printer is there (with the orientation to use), and its settings dialog
// with the printer set-up behind "Print Setup..".
#pragma once

#include "display/PrinterDoc.h"
#include "display/ui/HistoryDialog.h"

#include <functional>

class IPaperPrinter;
class QWidget;

class CPrinterDevices final : public IPrinterDevices
{
public:
    // parent: the window the dialogs belong to; none: top level.
    CPrinterDevices(IPaperPrinter& paper, std::function<QWidget*()> parent = {});

    bool GetPrinterDefaults(bool landscape) override;
    bool RunPrintDialog(SPrintDialogValues& values) override;
    void RunHistoryDialog(std::function<SHistoryFiles()> files, const std::string& folder) override;

    // What the history dialog takes from the program at every opening: the
    // palette, the model, the main frame's caption.
    std::function<void(CHistoryDialog::SContext&)> historyContext;

private:
    IPaperPrinter& m_paper;
    std::function<QWidget*()> m_parent;
};
