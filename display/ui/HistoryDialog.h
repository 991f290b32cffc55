// " History": two consecutive pictures of the history folder side by side,
// stepped through as a ring with a scroll bar (the newest pair first),
// printed as a pair on one page of the default printer ("Print S"), and a
// browser of the folder from which many are printed, a page each ("Print
// M"). The list belongs to the printing document, whose worker appends to
// it while the dialog runs: the dialog takes a copy of list and newest
// number at opening and at every scroll.
#pragma once

#include "display/PaletteControl.h"
#include "display/PrinterDoc.h"
#include "display/ui/HistoryPicture.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

class IPaperPrinter;
class QPushButton;
class QScrollBar;

class CHistoryDialog final : public QDialog
{
public:
    static constexpr int kScrollBarId = 1184;
    static constexpr int kLeftId = 1186;
    static constexpr int kRightId = 1187;
    static constexpr int kPrintSingleId = 1209;
    static constexpr int kPrintMultipleId = 1264;
    static constexpr int kMinWidth = 300;   // a legal picture is wider
    static constexpr int kMinHeight = 400;  // and higher

    // The printing document's history files as one copy.
    using SList = IPrinterDevices::SHistoryFiles;
    struct SContext
    {
        // A copy of list and number, taken under the document's lock.
        std::function<SList()> list;
        // The printer "Print S" and "Print M" print on; null: none.
        IPaperPrinter* printer = nullptr;
        // The current logical palette of the main frame; null: none.
        const LOGPALETTE* palette = nullptr;
        // Bits per pixel of the screen; 0: the screen's own.
        int screenDepth = 0;
        bool rm30 = false;
        std::string historyFolder;
        // The name of the print job: the main frame's caption.
        std::string documentName;
    };

    explicit CHistoryDialog(SContext context, QWidget* parent = nullptr);

    // The 14 colours of a logical palette: background, the twelve echogram
    // colours, text.
    static CHistoryPicture::Colours ColoursOf(const LOGPALETTE& palette);
    // Whether a bitmap file is a history picture; an illegal one gets its
    // stop box the first time it is shown while the dialog is open.
    bool OpenHistoryFile(const std::string& path);

    // Scroll codes, as the scroll bar reports them.
    enum ScrollCode {
        SB_LINELEFT,
        SB_LINERIGHT,
        SB_PAGELEFT,
        SB_PAGERIGHT,
        SB_THUMBPOSITION,
        SB_THUMBTRACK,
        SB_LEFT,
        SB_RIGHT,
        SB_ENDSCROLL
    };
    void OnHScroll(int code, int thumbPosition);
    void OnPrintSingle();
    void OnPrintMultiple();
    // Prints files a page each on the default printer.
    void PrintFiles(const std::vector<std::string>& paths);

    int Position() const { return m_nPosition; }
    int PageStep() const;
    CHistoryPicture& Left() { return *m_left; }
    CHistoryPicture& Right() { return *m_right; }
    QScrollBar& ScrollBar() { return *m_scrollBar; }
    QPushButton& PrintSingleButton() { return *m_printSingle; }
    QPushButton& PrintMultipleButton() { return *m_printMultiple; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnInitDialog();
    void TakeList();
    void ShowPictures();
    void ShowPicture(CHistoryPicture& picture, int index);
    QWidget* MakeButton(int id);

    const SContext m_context;
    int m_nNewest = 0;
    int m_nPosition = 1;
    SList m_list;
    std::set<std::string> m_refused;
    CHistoryPicture* m_left = nullptr;
    CHistoryPicture* m_right = nullptr;
    QScrollBar* m_scrollBar = nullptr;
    QPushButton* m_printSingle = nullptr;
    QPushButton* m_printMultiple = nullptr;
};
