// A view of the printing document, never shown: the paper view prints the
// layout's echograms on the default printer page after page, the history
// view renders the same kind of page and writes each one as a history file
// "H<n>-D<date>-T<time>.bmp". Each printed ping adds one pixel column to
// the page, copied from every echogram view that is not frozen, stacked
// from the top and scaled together to the page's height, with range texts
// and scale marks beside them; a full page goes to the document's worker,
// and a fresh one takes its place.
//
// Threads: the user-interface thread, but for the texts, which may come on
// any thread; the page state is kept under the document's page lock.
#pragma once

#include "display/AbstractESDoc.h"
#include "display/PrinterDoc.h"
#include "display/PrinterPage.h"
#include "display/PrinterTexts.h"
#include "display/ui/PageRenderer.h"
#include "display/ui/ViewContext.h"

#include <QSize>

#include <atomic>
#include <cstdint>
#include <vector>

class IPaperPrinter;
struct LOGPALETTE;

class CPrinterView final : public IPrinterPageView, public IDocumentView
{
public:
    static constexpr int kSounderDetailsColumns = 40;
    static constexpr int kSeparatorColour = 13;
    // Display-palette index of each page colour: background, the twelve
    // echo levels, lines and text, two marks.
    static constexpr std::array<BYTE, CPrinterPage::kColours> kColourIndices = {78,  160, 161, 162, 163, 164, 165, 166,
                                                                                167, 168, 169, 170, 171, 79,  173, 174};

    // screen: the size a page has (the history view takes half its width
    // and adds its header); paper: where paper pages go (the paper view).
    CPrinterView(CPrinterDoc& document, bool historyView, QSize screen, IPaperPrinter* paper = nullptr,
                 const SViewContext& context = {});
    ~CPrinterView() override;
    CPrinterView(const CPrinterView&) = delete;
    CPrinterView& operator=(const CPrinterView&) = delete;

    // The window the main window's colour broadcasts reach.
    HWND GetSafeHwnd() const { return m_hwnd; }

    // IPrinterPageView
    bool IsHistoryView() const override { return m_history; }
    bool HasHistoryJob() const override { return m_historyJob.load(); }
    bool HasPaperJob() const override { return m_paperJob.load(); }
    bool StartHistoryJob() override;
    void StopHistoryJob() override;
    bool StartPaperJob() override;
    void EndPaperJob() override;
    bool AddText(const std::string& text, int priority) override;
    void QueueNavigationText(const std::string& text, int every) override;
    void ResetNavigationCounter() override;

    // IDocumentView: one column of every echogram.
    void OnUpdate() override;
    int RealizeViewPalette() override { return 0; }

    // A palette the main window broadcast: the history colours follow
    // every palette, the printer colours the day palette (2) alone.
    void OnColorChange(int palette, const LOGPALETTE* block);

    // For tests and the status: the page as it stands, under the page lock.
    int GetCurrentColumn() const;
    int GetPageNumber() const;
    CPrinterPage GetPage() const;
    std::vector<SPrintedText> GetTexts() const;
    std::vector<SPrintedText> GetScaleTexts() const;
    int FirstColumn() const;

private:
    bool StartPageLocked();
    bool AddTextLocked(const std::string& text, int priority);
    void InitialUpdateLocked();
    void BuildColourMap();
    // The page so far handed to the worker, written or printed; a new page
    // begins. Under the page lock.
    void FinishPageLocked();
    void ColumnLocked();

    CPrinterDoc& m_document;
    const bool m_history;
    const QSize m_screen;
    IPaperPrinter* m_paper;
    const SViewContext m_context;
    HWND m_hwnd = 0;

    std::atomic<bool> m_paperJob{false};
    std::atomic<bool> m_historyJob{false};
    // A page the worker could not print ends the job at the next column.
    std::atomic<bool> m_paperFailed{false};
    int m_navigationCounter = 0;
    int m_column = 0;
    int m_pageNumber = 1;
    bool m_newPage = true;
    std::uint64_t m_pageStart = 0;
    CPrinterPage m_page;
    std::vector<SPrintedText> m_texts;
    std::vector<SPrintedText> m_scaleTexts;
    CPageRenderer::Colours m_printerColours{};
    CPageRenderer::Colours m_historyColours{};
    CPrinterPage::ColourMap m_map{};
    // The colours of the display palette's 256 indices, as last broadcast.
    std::array<QRgb, 256> m_palette{};
};
