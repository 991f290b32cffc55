#include "display/ui/PrinterView.h"

#include "base/AppIds.h"
#include "base/DepthUnit.h"
#include "base/File.h"
#include "display/EchogramDoc.h"
#include "display/HistoryFolder.h"
#include "display/PaletteControl.h"
#include "display/PrintedEchogram.h"
#include "display/ui/PaperPrinter.h"
#include "engine/Channel.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"
#include "transceivers/Transceiver.h"

#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr const char* kCaption = "Ostrival";
// The class library's prompt for a print job that failed to start.
constexpr const char* kFailedToStartPrint = "Could not start print job.";
constexpr int kTextRow = 15;

QRgb EntryColour(const LOGPALETTE& block, int index)
{
    // Entries 0..235 of a palette show at indices 10..245.
    if (index < 10 || index > 245)
        return index < 10 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    const PALETTEENTRY& e = block.palPalEntry[static_cast<std::size_t>(index - 10)];
    return qRgb(e.peRed, e.peGreen, e.peBlue);
}

// The day palette as the palette control makes it, until a palette is
// broadcast.
const LOGPALETTE& DefaultPalette()
{
    static const CPaletteControl palettes;
    return *palettes.GetLogPalette(2);
}

// The scale of an echogram in the depth unit, degrees for a slope.
double InUnit(double value, int reference)
{
    return reference == CEchogramDoc::SLOPE ? value : CDepthUnit::FromMeters(value);
}

std::string UnitOf(int reference)
{
    return reference == CEchogramDoc::SLOPE ? std::string("deg") : CDepthUnit::GetUnitSymbol();
}

void WriteHistoryFile(CPrinterDoc& document, const std::atomic<bool>& saving, CPageRenderer::SPage& page,
                      const std::string& folder)
{
    const int number = document.GetHistoryFileNumber();
    CPageRenderer::DrawHistory(page, number);
    SYSTEMTIME local;
    CFileTime::ToLocalSystemTime(page.startTime, local);
    const std::string path = folder + CHistoryFolder::FileName(number, local);
    CPaths::CreateFolder(folder);
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeReadWrite)) {
        PostMessageBox(0, "History path error!!", kCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const bool written = page.page.Bitmap().Save(file);
    file.Close();
    if (!written) {
        PostMessageBox(0, "History write error!!", kCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    document.HistoryFileWritten(path, saving.load());
}

}  // namespace

CPrinterView::CPrinterView(CPrinterDoc& document, bool historyView, QSize screen, IPaperPrinter* paper,
                           const SViewContext& context)
    : m_document(document), m_history(historyView), m_screen(screen), m_paper(paper), m_context(context)
{
    const LOGPALETTE& palette = DefaultPalette();
    for (int i = 0; i < 256; ++i)
        m_palette[static_cast<std::size_t>(i)] = EntryColour(palette, i);
    for (int k = 0; k < CPrinterPage::kColours; ++k)
        m_printerColours[static_cast<std::size_t>(k)] = m_palette[kColourIndices[static_cast<std::size_t>(k)]];
    // Paper is white under the echograms.
    m_printerColours[0] = qRgb(255, 255, 255);
    m_historyColours = m_printerColours;
    BuildColourMap();
    m_document.AddView(this);
    m_document.AddPageView(this);
    m_hwnd = CreateMessageWindow([this](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == app::WM_ES_BACKGROUNDCOLOR)
            OnColorChange(static_cast<int>(w), reinterpret_cast<const LOGPALETTE*>(l));
        return 0;
    });
    m_context.Host().RegisterView(m_hwnd, true);
}

CPrinterView::~CPrinterView()
{
    // A running job keeps what it has: the partial page is written or printed.
    if (m_historyJob.load())
        StopHistoryJob();
    if (m_paperJob.load())
        EndPaperJob();
    m_document.Worker().WaitIdle();
    m_context.Host().RegisterView(m_hwnd, false);
    DestroyWindow(m_hwnd);
    m_document.RemovePageView(this);
    m_document.RemoveView(this);
}

// ---------------------------------------------------------------------------
// Colours

void CPrinterView::OnColorChange(int palette, const LOGPALETTE* block)
{
    if (!CPaletteControl::IsPaletteBlock(block))
        return;
    std::lock_guard lk(m_document.PageLock());
    for (int i = 0; i < 256; ++i)
        m_palette[static_cast<std::size_t>(i)] = EntryColour(*block, i);
    for (int k = 0; k < CPrinterPage::kColours; ++k) {
        const QRgb c = m_palette[kColourIndices[static_cast<std::size_t>(k)]];
        m_historyColours[static_cast<std::size_t>(k)] = c;
        if (palette == 2)
            m_printerColours[static_cast<std::size_t>(k)] = c;
    }
    BuildColourMap();
}

void CPrinterView::BuildColourMap()
{
    // Each display index prints as the page colour nearest to it; the
    // sixteen of the page print as themselves.
    for (int i = 0; i < 256; ++i) {
        const QRgb c = m_palette[static_cast<std::size_t>(i)];
        int best = 0;
        long bestDistance = -1;
        for (int k = 0; k < CPrinterPage::kColours; ++k) {
            const QRgb p = m_palette[kColourIndices[static_cast<std::size_t>(k)]];
            const long dr = qRed(c) - qRed(p), dg = qGreen(c) - qGreen(p), db = qBlue(c) - qBlue(p);
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) {
                best = k;
                bestDistance = d;
            }
        }
        m_map[static_cast<std::size_t>(i)] = static_cast<BYTE>(best);
    }
    for (int k = 0; k < CPrinterPage::kColours; ++k)
        m_map[kColourIndices[static_cast<std::size_t>(k)]] = static_cast<BYTE>(k);
}

// ---------------------------------------------------------------------------
// Jobs

int CPrinterView::FirstColumn() const
{
    return m_document.GetSettings().sounderDetails ? kSounderDetailsColumns : 0;
}

void CPrinterView::InitialUpdateLocked()
{
    if (m_page.IsValid())
        return;
    const int width = m_history ? m_screen.width() / 2 : m_screen.width();
    const int height = m_screen.height() + (m_history ? CPageRenderer::kHeaderHeight : 0);
    m_page.Create(width, height);
    m_column = FirstColumn();
}

bool CPrinterView::StartPageLocked()
{
    if (!m_page.IsValid())
        return false;
    m_page.Clear(0);
    m_texts.clear();
    m_scaleTexts.clear();
    m_column = FirstColumn();
    m_newPage = true;
    return true;
}

bool CPrinterView::StartHistoryJob()
{
    std::lock_guard lk(m_document.PageLock());
    if (!m_history)
        return false;
    InitialUpdateLocked();
    if (!StartPageLocked())
        return false;
    m_historyJob.store(true);
    return true;
}

void CPrinterView::StopHistoryJob()
{
    std::lock_guard lk(m_document.PageLock());
    if (!m_historyJob.load())
        return;
    m_historyJob.store(false);
    FinishPageLocked();
}

bool CPrinterView::StartPaperJob()
{
    std::lock_guard lk(m_document.PageLock());
    if (m_history)
        return false;
    InitialUpdateLocked();
    if (!m_paper || !m_paper->HasPrinter()) {
        PostMessageBox(0, kFailedToStartPrint, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    m_pageNumber = 1;
    m_paperFailed.store(false);
    if (!StartPageLocked())
        return false;
    m_paperJob.store(true);
    return true;
}

void CPrinterView::EndPaperJob()
{
    std::lock_guard lk(m_document.PageLock());
    if (!m_paperJob.load())
        return;
    m_paperJob.store(false);
    FinishPageLocked();
}

void CPrinterView::FinishPageLocked()
{
    // The page itself goes to the worker; a fresh one takes its place.
    auto page = std::make_shared<CPageRenderer::SPage>();
    page->page = std::move(m_page);
    page->texts = std::move(m_texts);
    page->scales = std::move(m_scaleTexts);
    page->startTime = m_pageStart;
    page->pageNumber = m_pageNumber;
    page->transparentTexts = m_document.GetSettings().textBackground == 1;
    page->printer = m_printerColours;
    page->history = m_historyColours;
    m_page.Create(page->page.Width(), page->page.Height());
    if (m_history) {
        m_document.Worker().Post([this, page, folder = m_document.GetHistoryPathLocked()] {
            WriteHistoryFile(m_document, m_historyJob, *page, folder);
        });
    } else {
        ++m_pageNumber;
        const bool landscape = m_document.GetSettings().orientationLandscape != 0;
        m_document.Worker().Post([this, page, landscape] {
            std::unique_ptr<QPrinter> printer = m_paper ? m_paper->MakePrinter(landscape, "Echogram") : nullptr;
            if (!printer || !CPageRenderer::PrintPaper(*printer, *page)) {
                PostMessageBox(0, kFailedToStartPrint, kCaption, MB_OK | MB_ICONEXCLAMATION);
                m_paperFailed.store(true);
            }
        });
    }
    StartPageLocked();
}

// ---------------------------------------------------------------------------
// Texts

bool CPrinterView::AddTextLocked(const std::string& text, int priority)
{
    if ((!m_paperJob.load() && !m_historyJob.load()) || m_page.Height() <= 0)
        return false;
    SPrintedText t;
    t.x = m_column + 1;
    t.y = kTextRow;
    t.pageHeight = m_page.Height();
    t.topAnchored = true;
    t.text = text;
    t.priority = priority;
    t.below = true;
    m_texts.push_back(std::move(t));
    return true;
}

bool CPrinterView::AddText(const std::string& text, int priority)
{
    std::lock_guard lk(m_document.PageLock());
    return AddTextLocked(text, priority);
}

void CPrinterView::QueueNavigationText(const std::string& text, int every)
{
    std::lock_guard lk(m_document.PageLock());
    ++m_navigationCounter;
    if (m_navigationCounter >= every && !text.empty() && AddTextLocked(text, SPrintedText::kStatus))
        m_navigationCounter = 0;
}

void CPrinterView::ResetNavigationCounter()
{
    std::lock_guard lk(m_document.PageLock());
    m_navigationCounter = 0;
}

// ---------------------------------------------------------------------------
// Columns

void CPrinterView::OnUpdate()
{
    std::lock_guard lk(m_document.PageLock());
    if (m_paperFailed.exchange(false) && m_paperJob.load()) {
        // The printer refused a page: paper printing ends until it is
        // switched on again.
        m_paperJob.store(false);
        StartPageLocked();
    }
    if (!m_paperJob.load() && !m_historyJob.load())
        return;
    ColumnLocked();
}

void CPrinterView::ColumnLocked()
{
    const CPrinterDoc::SSettings settings = m_document.GetSettings();
    const int kind = m_history ? 1 : 0;
    const int header = m_history ? CPageRenderer::kHeaderHeight : 0;

    struct SStrip
    {
        CPrinterDoc::SViewAndRange* entry;
        CEchogramDoc* doc;
        int extent;
    };
    std::vector<SStrip> strips;
    int sum = 0;
    for (CPrinterDoc::SViewAndRange& entry : m_document.ViewList()) {
        CEchogramDoc* doc = entry.view->GetPrintedDocument();
        if (!doc || doc->m_frozen)
            continue;
        int extent = 0;
        entry.view->AddLineExtent(extent);
        strips.push_back({&entry, doc, extent});
        sum += extent;
    }
    const int available = m_page.Height() - 4 - 4 * static_cast<int>(strips.size()) - header;
    // Nothing to print, or no room: no column.
    if (strips.empty() || sum <= 0 || available <= 0)
        return;
    const double scale = static_cast<double>(available) / sum;

    if (m_column == FirstColumn() || m_newPage) {
        m_newPage = false;
        CChannel* channel = strips.front().doc->GetChannel();
        m_pageStart = channel ? channel->GetPingTime() : CFileTime::Now();
        if (m_pageStart == 0)
            m_pageStart = CFileTime::Now();
    }

    int row = 4;
    for (const SStrip& strip : strips) {
        CEchogramDoc& doc = *strip.doc;
        const int top = row;
        int y = row;
        strip.entry->view->CopyNewestLine(m_page, m_map, m_column, y, scale);
        const int drawn = static_cast<int>(strip.extent * scale);
        const bool heightChanged = drawn != strip.entry->height[static_cast<std::size_t>(kind)];
        const int reference = doc.m_rangeReference;
        const std::string unit = UnitOf(reference);

        // Sounder details, once a page, in the columns kept for them.
        CChannel* channel = doc.GetChannel();
        if (settings.sounderDetails && m_column == kSounderDetailsColumns && reference == CEchogramDoc::SURFACE &&
            channel) {
            double pulse = 0.0, power = 0.0, gain = 0.0, length = 0.0;
            if (CTransceiver* transceiver = channel->GetTransceiver())
                transceiver->GetChannelValues(channel, pulse, power, gain, length);
            const CChannel::TvgRecord tvg = channel->GetTvgRecord(doc.m_echogramType);
            const std::string texts[2] = {
                CPrinterTexts::SounderDetails(channel->GetChannelName(), power, pulse, length),
                CPrinterTexts::Tvg(CDepthUnit::FromMeters(tvg.from), CDepthUnit::FromMeters(tvg.to),
                                   CDepthUnit::GetUnitSymbol(), tvg.limitDb, doc.m_echogramType)};
            const int xs[2] = {0, m_history ? 15 : 20};
            for (int i = 0; i < 2; ++i) {
                SPrintedText t;
                t.x = xs[i];
                t.y = top + 5;
                t.pageHeight = m_page.Height();
                t.topAnchored = true;
                t.text = texts[i];
                t.priority = SPrintedText::kRange;
                m_texts.push_back(std::move(t));
            }
        }

        // The range beside the strip whenever it or the strip changed.
        const double start = InUnit(doc.ShownRangeStart(), reference);
        const double end = InUnit(doc.ShownRangeOffset(), reference);
        const std::string key = CPrinterTexts::RangeKey(start, end, unit);
        std::string& remembered = strip.entry->rangeText[static_cast<std::size_t>(kind)];
        if (key != remembered || heightChanged) {
            remembered = key;
            const bool swapped = doc.m_sidescan;
            const double values[2] = {swapped ? end : start, swapped ? start : end};
            for (int i = 0; i < 2; ++i) {
                SPrintedText t;
                t.x = m_column + 2;
                t.y = i == 0 ? top : top + drawn;
                t.pageHeight = m_page.Height();
                t.text = CPrinterTexts::RangeValue(values[i], unit);
                t.priority = SPrintedText::kRange;
                t.below = i == 0;
                m_texts.push_back(std::move(t));
            }
        }

        // Scale marks at the page's first and middle column, and when the
        // strip changed.
        if (settings.scaleAnnotation && strip.entry->view->ShowsScale() &&
            (m_column == 0 || m_column == m_page.Width() / 2 || heightChanged)) {
            const double step = CPrinterTexts::ScaleStep(start, end, doc.m_depthLines);
            for (int i = 0; step > 0.0 && i <= 1000; ++i) {
                const double value = start + i * step;
                if (value > end + 1e-9)
                    break;
                SPrintedText t;
                t.x = m_column + 20;
                t.y = top + static_cast<int>((value - start) / (end - start) * drawn);
                t.pageHeight = m_page.Height();
                t.text = CPrinterTexts::ScaleMark(value, step, end);
                t.priority = SPrintedText::kRange;
                t.below = false;
                m_scaleTexts.push_back(std::move(t));
            }
        }
        strip.entry->height[static_cast<std::size_t>(kind)] = drawn;

        row = top + drawn;
        if (row + 4 <= m_page.Height() - header) {
            m_page.FillColumn(m_column, row, 4, kSeparatorColour);
            row += 4;
        }
    }

    if (++m_column >= m_page.Width())
        FinishPageLocked();
}

// ---------------------------------------------------------------------------
// Tests

int CPrinterView::GetCurrentColumn() const
{
    std::lock_guard lk(m_document.PageLock());
    return m_column;
}

int CPrinterView::GetPageNumber() const
{
    std::lock_guard lk(m_document.PageLock());
    return m_pageNumber;
}

CPrinterPage CPrinterView::GetPage() const
{
    std::lock_guard lk(m_document.PageLock());
    return m_page;
}

std::vector<SPrintedText> CPrinterView::GetTexts() const
{
    std::lock_guard lk(m_document.PageLock());
    return m_texts;
}

std::vector<SPrintedText> CPrinterView::GetScaleTexts() const
{
    std::lock_guard lk(m_document.PageLock());
    return m_scaleTexts;
}
