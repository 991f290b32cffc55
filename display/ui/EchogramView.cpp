#include "display/ui/EchogramView.h"

#include "base/AppIds.h"
#include "base/DepthUnit.h"
#include "base/DiagRecord.h"
#include "display/EchogramDoc.h"
#include "engine/Channel.h"
#include "platform/NumberText.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"

#include <QHelpEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {
// Height under which the document stops taking pings.
constexpr int kFreezeHeight = 15;
// A surface of this size or less is not drawn on.
constexpr int kMinimumSide = 5;

double ToDepthUnit(double metres, int reference)
{
    return reference == CEchogramDoc::SLOPE ? metres : CDepthUnit::FromMeters(metres);
}

// A font of the picture's texts: `height` pixels a line, characters
// `width` pixels wide on average, drawn without antialiasing so that only
// the text's own index is written.
QFont PictureFont(int height, int width, QFont::Weight weight)
{
    QFont font("Arial");
    font.setStyleStrategy(QFont::NoAntialias);
    font.setWeight(weight);
    font.setPixelSize(height);
    // The height is the whole line, as the layout of the marks assumes.
    const int line = QFontMetrics(font).height();
    if (line > height)
        font.setPixelSize(std::max(1, height * height / line));
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0)
        font.setStretch(std::clamp(100 * width / average, 1, 4000));
    return font;
}

// Rows of the minute tick and of the dotted line.
constexpr int kDotEvery = 3;
// Where the turned texts begin below the top, and the label countdown an
// annotation adds to the depth grid's.
constexpr int kTurnedTextTop = 4;
constexpr int kAnnotationGridDelay = 15;

// The view's reading of its document's channel, whichever channel the
// document has at the time, and of the external depth table of its context.
class CChannelAccess final : public IEchogramViewChannel
{
public:
    CChannelAccess(const CEchogramDoc* document, const CExternalDepth* table) : m_document(document), m_table(table) {}
    void GetColorScale(CColorScaleSettings& scale) override
    {
        if (CChannel* channel = Channel())
            channel->GetColorScale(scale);
    }
    bool GetDepth(double& depth) override
    {
        CChannel* channel = Channel();
        return channel && channel->ProcessPing(&depth);
    }
    bool IsSkipping() override
    {
        CChannel* channel = Channel();
        return channel && channel->GetSkip() == 1;
    }
    void SetSlopeHistorySize(int columns) override
    {
        if (CChannel* channel = Channel())
            channel->SetSlopeHistorySize(columns);
    }
    int GetSlopeHalfPointCount() override
    {
        CChannel* channel = Channel();
        return channel ? channel->GetSlopeHalfPointCount() : 0;
    }
    void UpdateSlopeValidity(bool valid) override
    {
        if (CChannel* channel = Channel())
            channel->UpdateSlopeValidity(valid);
    }
    bool GetSlopeAngle(double& degrees) override
    {
        CChannel* channel = Channel();
        return channel && channel->GetSlopeAngle(degrees);
    }
    bool GetSecondSide(const std::string& name, std::vector<std::int16_t>& samples) override
    {
        return CEchogramView::ReadSecondSide(m_table, name, samples);
    }
    std::uint64_t GetPingTime() override
    {
        CChannel* channel = Channel();
        if (!channel)
            return 0;
        std::uint32_t low = 0, high = 0;
        channel->GetPingCounters(low, high);
        return static_cast<std::uint64_t>(high) << 32 | low;
    }
    double GetSoundVelocity() override
    {
        CChannel* channel = Channel();
        return channel ? channel->GetSoundVelocity() : 0.0;
    }
    double GetThreshold(int selector) override
    {
        CChannel* channel = Channel();
        return channel ? channel->GetValueBySelector(selector) : 0.0;
    }
    void SetThreshold(int selector, double level) override
    {
        if (CChannel* channel = Channel())
            channel->SetValueBySelector(selector, level);
    }
    double GetBeamAngle() override
    {
        CChannel* channel = Channel();
        return channel ? channel->GetBeamAngle() : 0.0;
    }
    bool IsSlopeEnabled() override
    {
        CChannel* channel = Channel();
        return channel && channel->IsSlopeEnabled();
    }
    bool GetSlopeHistoryValue(int placesBack, double& value) override
    {
        CChannel* channel = Channel();
        return channel && channel->GetSlopeHistoryValue(placesBack, value);
    }
    double GetSlopeDistance(int a, int b) override
    {
        CChannel* channel = Channel();
        return channel ? channel->GetSlopeDistance(a, b) : 0.0;
    }
    void GetTrawl(bool& depthValid, double& depth, bool& openingValid, double& opening) override
    {
        depthValid = openingValid = false;
        CChannel* channel = Channel();
        if (!channel)
            return;
        std::uint32_t words[8] = {};
        channel->GetStatusWords(words);
        auto value = [&words](int at) {
            const std::uint64_t bits = static_cast<std::uint64_t>(words[at + 1]) << 32 | words[at];
            double d = 0.0;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        };
        depthValid = words[0] != 0;
        depth = depthValid ? value(2) : 0.0;
        openingValid = words[4] != 0;
        opening = openingValid ? value(6) : 0.0;
    }

private:
    CChannel* Channel() const { return m_document ? m_document->GetChannel() : nullptr; }

    const CEchogramDoc* m_document;
    const CExternalDepth* m_table;
};
}  // namespace

bool CEchogramView::ReadSecondSide(const CExternalDepth* table, const std::string& name,
                                   std::vector<std::int16_t>& samples)
{
    if (table == nullptr)
        return false;
    // A copy of the entry: the table is written on the ping-data thread.
    auto entry = std::make_unique<CExternalDepth::SourceEntry>();
    if (!table->FindSource(name, *entry))
        return false;
    EchogramMapping::UnpackSampleBlock(entry->block.data(), CExternalDepth::kBlockWords, samples);
    return true;
}

CEchogramView::CEchogramView(CEchogramDoc* document, const SViewContext& context, QWidget* parent)
    : CSCView(context, parent), m_document(document)
{
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &CEchogramView::FlushUpdates);
    m_sinceFlush.start();
    m_columnFont = PictureFont(14, 6, QFont::Normal);
    m_gridFont = PictureFont(10, 6, QFont::DemiBold);
    m_rowFont = PictureFont(14, 6, QFont::DemiBold);
    m_markFont = PictureFont(14, 10, QFont::DemiBold);
    // Moves without a button reach the view too: focus follows the mouse.
    setMouseTracking(true);
    SetChannelAccess(nullptr);
    if (m_document)
        m_document->AddView(this);
}

void CEchogramView::SetChannelAccess(IEchogramViewChannel* channel)
{
    if (channel) {
        m_access = channel;
        m_ownAccess.reset();
        return;
    }
    m_ownAccess = std::make_unique<CChannelAccess>(m_document, GetContext().externalDepth);
    m_access = m_ownAccess.get();
}

CEchogramView::~CEchogramView()
{
    m_picture.Detach();
    if (m_document) {
        m_document->RemoveView(this);
        m_document->SetViewCount(0);
    }
}

void CEchogramView::OnInitialUpdate()
{
    CSCView::OnInitialUpdate();
    if (!HasMemoryDC()) {
        CreateMemoryDC();
        CreateDibSection();
        if (GetSurface() && GetSurface()->GetBits())
            GetSurface()->Fill(EchogramMapping::kMarker);
    }
    Reattach();
    RebuildColours();
}

void CEchogramView::resizeEvent(QResizeEvent* event)
{
    // The old picture survives the new surface: kept aside in the order it
    // shows, then stretched to the new height and aligned at the right edge.
    std::vector<BYTE> old;
    const int oldWidth = m_picture.GetWidth();
    const int oldHeight = m_picture.GetHeight();
    const int oldArea = m_picture.PictureWidth();
    if (m_enabled) {
        old.resize(static_cast<std::size_t>(oldWidth) * oldHeight);
        m_picture.CopyTo(old.data(), oldWidth);
    }
    m_picture.Detach();
    CSCView::resizeEvent(event);
    // The base only remakes a surface it has; a view whose initial update
    // came before its first size gets its surface here.
    if (HasMemoryDC() && !GetSurface())
        CreateDibSection();
    if (m_document)
        m_document->SetViewSize(GetHeight(), GetWidth(), GetHeight() < kFreezeHeight);
    // The base made a new surface of the new size: start it as background.
    if (GetSurface() && GetSurface()->GetBits())
        GetSurface()->Fill(CPaletteControl::kBackgroundIndex);
    Reattach();
    if (m_enabled && !old.empty())
        CarryOver(old, oldWidth, oldArea, oldHeight);
    RebuildColours();
    // Qt repaints a resized window whole; what the pings left is in it.
    m_pendingAll = true;
    // The splitter around shows what the view no longer covers.
    if (QWidget* parent = parentWidget())
        parent->update();
}

void CEchogramView::moveEvent(QMoveEvent* event)
{
    CSCView::moveEvent(event);
    if (QWidget* parent = parentWidget())
        parent->update();
}

void CEchogramView::RebuildColours()
{
    CDIBSection* surface = GetSurface();
    if (!surface || !surface->GetBits() || GetWidth() <= 0 || GetHeight() <= 0) {
        m_colours = QImage();
        return;
    }
    if (m_colours.size() != QSize(GetWidth(), GetHeight()))
        m_colours = QImage(GetWidth(), GetHeight(), QImage::Format_RGB32);
    m_picture.Settle();
    ConvertSurface(QRect(0, 0, GetWidth(), GetHeight()));
}

void CEchogramView::ConvertSurface(const QRect& r)
{
    // Straight from the bytes: this runs for every line of every ping.
    const BYTE* from = GetSurface()->GetBits();
    const std::size_t fromStride = CDIBSection::RowBytes(GetWidth(), 8);
    uchar* to = m_colours.bits();
    const std::size_t toStride = static_cast<std::size_t>(m_colours.bytesPerLine());
    const QRgb* table = GetColourTable().constData();
    for (int row = r.top(); row <= r.bottom(); ++row) {
        const BYTE* in = from + row * fromStride;
        auto* out = reinterpret_cast<QRgb*>(to + row * toStride);
        for (int x = r.left(); x <= r.right(); ++x)
            out[x] = table[in[x]];
    }
}

void CEchogramView::ConvertColours(const QRect& shown)
{
    CDIBSection* surface = GetSurface();
    if (!surface || !surface->GetBits() || m_colours.size() != QSize(GetWidth(), GetHeight()))
        return;
    SurfacePart parts[kMaxSurfaceParts];
    const int n = SurfaceParts(shown, parts);
    for (int k = 0; k < n; ++k)
        ConvertSurface(parts[k].source);
}

void CEchogramView::PictureChanged(const QRect& rect)
{
    ConvertColours(rect);
    update(rect);
}

void CEchogramView::CarryOver(const std::vector<BYTE>& old, int oldWidth, int oldArea, int oldHeight)
{
    // A new surface shows as it lies, so the rows are written straight in.
    BYTE* bits = GetSurface()->GetBits();
    const int stride = static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8));
    const int area = m_picture.PictureWidth();
    const int shift = area - oldArea;  // >= 0: new columns on the left stay background
    for (int row = 0; row < GetHeight(); ++row) {
        const int from = static_cast<int>(static_cast<long long>(row) * oldHeight / GetHeight());
        for (int x = std::max(0, shift); x < area; ++x) {
            const int ox = x - shift;
            if (ox >= 0 && ox < oldArea)
                bits[static_cast<std::size_t>(row) * stride + x] = old[static_cast<std::size_t>(from) * oldWidth + ox];
        }
    }
}

void CEchogramView::Reattach()
{
    CDIBSection* surface = GetSurface();
    const bool usable = surface && surface->GetBits() && GetWidth() > kMinimumSide && GetHeight() > kMinimumSide;
    if (usable)
        m_picture.Attach(surface->GetBits(), GetWidth(), GetHeight(),
                         static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8)));
    else
        m_picture.Detach();
    m_enabled = m_picture.IsAttached();
    if (m_document)
        m_document->SetViewCount(m_enabled ? GetWidth() - m_picture.GetScaleMargin() : 0);
}

int CEchogramView::IsSideScan() const
{
    return m_document && m_document->m_sidescan ? 1 : 0;
}

int CEchogramView::RealizeViewPalette()
{
    // The base resets the surface's table to the identity and repaints the
    // window, scale included; texts written into the picture from now on
    // take the standard indices.
    CSCView::RealizeViewPalette();
    m_pictureBackground = EchogramMapping::kMarker;
    m_pictureText = CPaletteControl::kTextIndex;
    return 0;
}

void CEchogramView::OnUpdate()
{
    if (!m_enabled || !m_document || !m_document->GetChannel() || m_document->m_frozen)
        return;
    if (m_access->IsSkipping())
        return;
    CEchogramDoc& doc = *m_document;
    m_labels = QRegion();
    // Written all over by this ping: cleared, turned, or the slope strip.
    bool wholeArea = false;
    if (doc.m_resetRequest) {
        m_picture.ClearEchogram();
        doc.m_resetRequest = false;
        wholeArea = true;
    }
    const int margin = m_picture.GetScaleMargin();
    m_access->SetSlopeHistorySize(GetWidth() - margin - 1);
    if (m_picture.IsRowOrientation() != doc.m_sidescan)
        wholeArea = true;  // turned: cleared
    m_picture.SetRowOrientation(doc.m_sidescan);
    if (CGeographicInfo* history = GetContext().geographicHistory)
        history->EnsureHistoryLength(m_picture.IsRowOrientation() ? GetHeight() - m_picture.GetTopMargin()
                                                                  : GetWidth() - margin);
    m_picture.Shift();

    m_secondSide.clear();
    bool secondSide = false;
    if (doc.m_publishPartner)
        secondSide = m_access->GetSecondSide(doc.m_partnerName, m_secondSide);
    m_q = std::max(0, m_access->GetSlopeHalfPointCount());
    const int h = GetHeight();
    const bool rows = m_picture.IsRowOrientation();
    m_depth = 0.0;
    m_hasDepth = m_access->GetDepth(m_depth);

    // Slope pings are columns; a side-looking document never has them.
    m_slopeReference = doc.m_rangeReference == CEchogramDoc::SLOPE && !rows;
    if (m_slopeReference) {
        m_access->UpdateSlopeValidity(true);
        double angle = 0.0;
        if (m_access->GetSlopeAngle(angle) &&
            m_picture.WriteSlopeColumn(m_q, doc.Shown().start, doc.Shown().range, angle))
            wholeArea = true;  // the strip right of the slope column was cleared
    } else {
        m_picture.RequestSlopeStripClear();
        m_access->UpdateSlopeValidity(false);
        CEchogramPicture::Column column;
        if (secondSide) {
            column.secondSide = m_secondSide.data();
            column.secondSideCount = static_cast<int>(m_secondSide.size());
        }
        WritePing(doc, column, m_hasDepth, m_depth);

        // Marks of the new column.
        if (doc.m_rangeOtherMarker)
            MarkLinkedWindow(h);
        if (doc.m_purseSeineMarker)
            MarkNetSensors(h);
        if (doc.m_externalDepth) {
            if (rows)
                MarkExternalDepthsRow();
            else
                MarkExternalDepths(h);
        }
        MarkPingerDepth(h);
        if (doc.m_multiPulseMarker && !rows) {
            double smoothed = 0.0, period = 0.0;
            if (GetContext().MarkSources().GetMultiPulseDepths(smoothed, period))
                MarkMultiPulseDepths(smoothed, period, h);
        }
    }

    // Marks of either kind of ping.
    const SounderModel model = GetContext().model;
    if (doc.m_variableDepth &&
        (model == SounderModel::QY210 || model == SounderModel::QY310 || model == SounderModel::QYNVU))
        MarkMarkerDepth(doc.m_variableDepthValue, h);
    if (doc.m_scale && doc.m_depthLines != 0 && !rows)
        DrawDepthGrid(doc.m_depthLines, h);
    if (doc.m_minuteMarker)
        MarkMinute(h / 20);
    if (doc.m_newRangeMarker) {
        const double top = doc.Shown().rangeStart, bottom = doc.Shown().rangeOffset;
        if (rows)
            MarkRangeChange(bottom, top);
        else
            MarkRangeChange(top, bottom);
    }
    if (doc.m_newSvpMarker)
        MarkSoundSpeedChange(m_access->GetSoundVelocity());

    // Annotation.
    if (std::exchange(m_annotationMark, false) && doc.m_eventMarker) {
        Run(EchogramMapping::kMarker, 0, h);
        ++m_annotationsShown;
    }
    if (std::exchange(m_annotationTextDue, false) && doc.m_eventMarker && !m_annotationText.empty()) {
        ++m_annotationTextsShown;
        if (rows) {
            m_picture.PaintRowRun(EchogramMapping::kMarker, 0, GetWidth());
            DrawAnnotationTextRow(m_annotationText);
        } else {
            DrawAnnotationText(m_annotationText);
        }
    }

    // The colours of what this ping wrote: its line and its labels.
    if (wholeArea) {
        RebuildColours();
        m_pendingAll = true;
    } else {
        if (m_picture.IsRowOrientation())
            ConvertColours(QRect(0, m_picture.NewestRow(), GetWidth(), 1));
        else
            ConvertColours(QRect(m_picture.NewestColumn(), 0, 1, GetHeight()));
        if (m_slopeReference)
            ConvertColours(QRect(m_picture.SlopeColumn(m_q), 0, 1, GetHeight()));
        for (const QRect& label : m_labels)
            ConvertColours(label);
    }
    // Only the picture moved; the scale changes only with its values.
    const auto [top, bottom] = ScaleValues();
    NotePing(top != m_scaleTop || bottom != m_scaleBottom);

    // The measuring line's start moves on with the picture.
    if (m_measuring)
        m_measureStart.rx() -= 1;
    if (rows) {
        // The row's external depth, which a click on the row sends.
        double external = 0.0;
        if (doc.m_externalDepth)
            for (const SExternalSource& source : doc.GetContext().ExternalDepth().GetSources())
                if (!source.name.empty() && source.name.find(doc.m_depthSourceName) != std::string::npos)
                    external = source.depth;
        m_externalHistory.push_front(external);
        const std::size_t keep = static_cast<std::size_t>(std::max(GetWidth(), GetHeight()));
        while (m_externalHistory.size() > keep)
            m_externalHistory.pop_back();
    }
    if (doc.m_rangeReference == CEchogramDoc::SURFACE && m_hasDepth)
        FollowBottom(m_depth);
}

void CEchogramView::FollowBottom(double depth)
{
    CEchogramDoc& doc = *m_document;
    const bool refused = !doc.FollowBottom(depth);
    // A damaged or replayed ping keeps the start; told once until the
    // depths are usable again.
    if (refused && !m_autoStartRefused) {
        CDiagRecord("Ostrival", "Ostrival", std::string(), "EchogramView", __LINE__)
            .ReportText(
                0, CNumberText::Format("Automatic start kept: depth = %.2f, range = %.2f", depth, doc.Shown().range));
    }
    m_autoStartRefused = refused;
}

QRect CEchogramView::AreaRect() const
{
    if (m_picture.IsRowOrientation()) {
        const int header = m_picture.GetTopMargin();
        return QRect(0, header, GetWidth(), GetHeight() - header);
    }
    return QRect(0, 0, GetWidth() - m_picture.GetScaleMargin(), GetHeight());
}

QRect CEchogramView::ScrollRect() const
{
    // The slope strip right of the newest slope column stays background.
    const QRect area = AreaRect();
    if (m_slopeReference)
        return area.adjusted(0, 0, -std::min(m_q, area.width()), 0);
    return area;
}

QRect CEchogramView::ScaleRect() const
{
    const int margin = m_picture.GetScaleMargin();
    if (m_picture.IsRowOrientation())
        return QRect(0, 0, GetWidth(), m_picture.GetTopMargin());
    return QRect(GetWidth() - margin, 0, margin, GetHeight());
}

void CEchogramView::NotePing(bool scaleChanged)
{
    const QRect scroll = ScrollRect();
    if (scroll != m_pendingScroll) {
        m_pendingAll = m_pendingAll || m_pendingLines > 0;
        m_pendingScroll = scroll;
    }
    // Labels written earlier move on with the picture.
    if (m_picture.IsRowOrientation())
        m_pendingLabels.translate(0, 1);
    else
        m_pendingLabels.translate(-1, 0);
    m_pendingLabels = (m_pendingLabels & scroll) + (m_labels & AreaRect());
    m_labels = QRegion();
    ++m_pendingLines;
    m_pendingScale = m_pendingScale || scaleChanged;
    if (m_frameTimer.isActive())
        return;
    // At most one update of the window a screen frame.
    const double hz = screen() ? screen()->refreshRate() : 0.0;
    const int frame = hz >= 1.0 ? static_cast<int>(1000.0 / hz) : 16;
    m_frameTimer.start(static_cast<int>(std::max<qint64>(0, frame - m_sinceFlush.elapsed())));
}

void CEchogramView::FlushUpdates()
{
    m_frameTimer.stop();
    if (!HasPendingUpdates())
        return;
    const QRect moving = m_pendingScroll;
    const int lines = m_pendingLines;
    const bool rows = m_picture.IsRowOrientation();
    const int extent = rows ? moving.height() : moving.width();
    if (m_pendingAll || !isVisible() || lines >= extent) {
        update(AreaRect());
    } else if (lines > 0) {
        // Qt moves what the window shows and repaints the lines exposed.
        if (rows)
            scroll(0, lines, moving);
        else
            scroll(-lines, 0, moving);
        if (!m_pendingLabels.isEmpty())
            update(m_pendingLabels);
    }
    if (m_pendingScale)
        update(ScaleRect());
    // The overlays stay where they are while the picture moves under them.
    if (m_measuring) {
        update(AreaRect());
    } else if (m_document && m_document->m_variableDepth) {
        // A scroll along the line leaves it in place and moves only its
        // label; one across it (pings as rows) moves the line too. A line
        // moved or relabelled is repainted where it was and where it is.
        const int row = MarkerLineRow();
        const int across = rows ? lines : 0;
        const bool kept = row == m_markerDrawnRow && MarkerLabelText() == m_markerText.text;
        if (!kept && m_markerDrawnRow >= 0)
            update(MarkerBand(m_markerDrawnRow).adjusted(0, 0, 0, across));
        if (row >= 0)
            update(kept && !rows ? MarkerLabelBox(row) : MarkerBand(row).adjusted(0, 0, 0, across));
    }
    m_pendingLines = 0;
    m_pendingLabels = QRegion();
    m_pendingAll = false;
    m_pendingScale = false;
    m_sinceFlush.restart();
}

void CEchogramView::WritePing(CEchogramDoc& doc, CEchogramPicture::Column& column, bool hasDepth, double depth)
{
    const CEchogramDoc::SShownPing& ping = doc.Shown();
    column.samples = ping.column.data();
    column.sampleCount = static_cast<int>(ping.column.size());
    m_access->GetColorScale(m_scale);
    column.scale = &m_scale;
    column.selector = doc.m_echogramType;
    column.secondScale = ping.bottomSubstituted;
    column.secondScaleStart = ping.bottomRow;
    column.allBackground = doc.m_contourLine;
    column.keepBackground = doc.m_pingFilter;
    if (m_picture.IsRowOrientation()) {
        column.left = doc.m_sidescanRange[0];
        column.right = doc.m_sidescanRange[1];
        column.side = doc.m_sidescanSide == 1 ? 1 : 0;
        m_picture.WriteRow(column);
        return;
    }
    column.bottomGap = doc.m_whiteLine;
    column.bottomLine = doc.m_bottomShown;
    column.range = doc.Shown().range;
    column.hasDepth = hasDepth;
    column.depth = depth;
    switch (doc.m_rangeReference) {
    case CEchogramDoc::SURFACE:
    case CEchogramDoc::TRAWL:
        column.reference = doc.Shown().start;
        break;
    case CEchogramDoc::BOTTOM:
        column.reference = depth - doc.Shown().start;
        break;
    default:
        column.reference = 0.0;
        break;
    }
    m_picture.WriteColumn(column);
}

void CEchogramView::SetAnnotation(const char* text)
{
    if (!m_document || m_document->m_frozen)
        return;
    m_annotationMark = true;
    if (text) {
        m_annotationTextDue = true;
        m_annotationText = text;
    }
}

bool CEchogramView::WindowTop(double& top) const
{
    return EchogramMarks::WindowTop(m_document->m_rangeReference, m_document->Shown().start, m_hasDepth, m_depth, top);
}

void CEchogramView::Run(BYTE colour, int row, int count)
{
    m_picture.PaintColumnRun(colour, row, count);
    if (m_picture.IsRowOrientation() && row >= 0 && count > 0)
        NoteLabel(QRect(m_picture.NewestColumn(), row, 1, count));
}

void CEchogramView::DottedLine()
{
    for (int row = 0; row < GetHeight(); row += kDotEvery)
        Run(CPaletteControl::kTextIndex, row, 1);
}

int CEchogramView::LabelRight() const
{
    return m_picture.NewestColumn() + 1 - (m_slopeReference ? m_q : 0);
}

void CEchogramView::WriteText(const QString& text, const QFont& font, const QRect& box, bool turned, BYTE colour,
                              int fill)
{
    QImage grey = DrawImage();
    CEchogramPicture::Part parts[CEchogramPicture::kMaxParts];
    const int n = m_picture.Parts(box.x(), box.y(), box.width(), box.height(), parts);
    if (grey.isNull() || n == 0)
        return;
    QPainter painter(&grey);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font);
    // Grey i writes index i.
    painter.setPen(QColor(colour, colour, colour));
    const int ascent = QFontMetrics(font).ascent();
    // The box in each of its parts in memory, the ring's seam between them.
    for (int k = 0; k < n; ++k) {
        const CEchogramPicture::Part& part = parts[k];
        painter.save();
        painter.setClipRect(QRect(part.x, part.row, part.width, part.rows));
        painter.translate(part.dx, part.drow);
        if (fill >= 0)
            painter.fillRect(box, QColor(fill, fill, fill));
        if (turned) {
            painter.translate(box.left() + ascent, box.bottom() + 1);
            painter.rotate(-90.0);
            painter.drawText(0, 0, text);
        } else {
            painter.drawText(box.left(), box.top() + ascent, text);
        }
        painter.restore();
    }
    NoteLabel(box);
}

void CEchogramView::MarkLinkedWindow(int h)
{
    if (!m_linkedDashes.Next())
        return;
    const CEchogramDoc* partner = m_document->ShownPartner();
    double top = 0.0;
    if (!partner || !WindowTop(top))
        return;
    const double d = m_hasDepth ? m_depth : 0.0;
    if (partner->m_rangeReference == CEchogramDoc::BOTTOM && !(d > 0.0))
        return;
    double w0 = d;
    if (partner->m_rangeReference == CEchogramDoc::SURFACE || partner->m_rangeReference == CEchogramDoc::TRAWL)
        w0 = partner->ShownStart();
    else if (partner->m_rangeReference == CEchogramDoc::BOTTOM)
        w0 = d - partner->ShownStart();
    const double range = m_document->Shown().range;
    for (double w : {w0, w0 + partner->ShownRange()})
        if (EchogramMarks::InsideWindow(w, top, range))
            Run(EchogramMapping::kLinkedWindow, EchogramMarks::MarkRow(w, top, range, h), 2);
}

void CEchogramView::MarkNetSensors(int h)
{
    int states[INetSensors::kSensors];
    double depths[INetSensors::kSensors];
    GetContext().MarkSources().GetNetSensors(states, depths);
    double top = 0.0;
    if (!WindowTop(top))
        return;
    const double range = m_document->Shown().range;
    static constexpr BYTE kColours[INetSensors::kSensors] = {EchogramMapping::kMarker, EchogramMapping::kSecondMark,
                                                             EchogramMapping::kLinkedWindow};
    for (int i = 0; i < INetSensors::kSensors; ++i)
        if (states[i] == INetSensors::kFresh && EchogramMarks::InsideWindow(depths[i], top, range))
            Run(kColours[i], EchogramMarks::MarkRow(depths[i], top, range, h), 1);
}

void CEchogramView::MarkExternalDepths(int h)
{
    double top = 0.0;
    if (!WindowTop(top))
        return;
    const double range = m_document->Shown().range;
    const std::string& filter = m_document->m_depthSourceName;
    for (const SExternalSource& source : m_document->GetContext().ExternalDepth().GetSources())
        if (!source.name.empty() && source.name.find(filter) != std::string::npos &&
            EchogramMarks::InsideWindow(source.depth, top, range))
            Run(EchogramMapping::kMarker, EchogramMarks::MarkRow(source.depth, top, range, h), 2);
}

void CEchogramView::MarkExternalDepthsRow()
{
    const std::string& filter = m_document->m_depthSourceName;
    bool any = false;
    double d = 0.0;
    for (const SExternalSource& source : m_document->GetContext().ExternalDepth().GetSources())
        if (!source.name.empty() && source.name.find(filter) != std::string::npos) {
            any = true;
            d = source.depth;
        }
    if (!any)
        return;
    // The depth across the track on either side of the vessel.
    const double left = m_document->m_sidescanRange[0], right = m_document->m_sidescanRange[1];
    const int w = GetWidth();
    int x = 0;
    if (EchogramMarks::AcrossTrackColumn(-d, left, right, w, x))
        for (int at : {x, x + 1})
            if (at < w)
                m_picture.PaintRowRun(EchogramMapping::kMarker, at, 1);
    if (EchogramMarks::AcrossTrackColumn(d, left, right, w, x))
        for (int at : {x, x - 1})
            if (at >= 0)
                m_picture.PaintRowRun(EchogramMapping::kMarker, at, 1);
}

void CEchogramView::MarkPingerDepth(int h)
{
    double depth = 0.0, top = 0.0;
    if (!GetContext().MarkSources().GetPingerDepth(depth) || !WindowTop(top))
        return;
    const double range = m_document->Shown().range;
    if (EchogramMarks::InsideWindow(depth, top, range))
        Run(EchogramMapping::kMarker, EchogramMarks::MarkRow(depth, top, range, h), 2);
}

void CEchogramView::MarkMultiPulseDepths(double first, double second, int h)
{
    double top = 0.0;
    if (!WindowTop(top))
        return;
    for (double depth : {first, second}) {
        const int row = EchogramMarks::MarkRow(depth, top, m_document->Shown().range, h);
        if (row >= 0)
            Run(EchogramMapping::kSecondMark, row, 2);
    }
}

void CEchogramView::MarkMarkerDepth(double value, int h)
{
    const CEchogramDoc& doc = *m_document;
    if (doc.m_rangeReference == CEchogramDoc::SLOPE) {
        const int row = EchogramMarks::SlopeMarkerRow(value, doc.Shown().start, doc.Shown().range, h);
        if (row >= 0)
            Run(CPaletteControl::kTextIndex, row, 1);
        return;
    }
    double top = 0.0;
    switch (doc.m_rangeReference) {
    case CEchogramDoc::SURFACE:
    case CEchogramDoc::TRAWL:
        top = doc.Shown().start;
        break;
    case CEchogramDoc::BOTTOM:
        // The marker is a height above the bottom: its row in the window
        // that ends start below the bottom.
        if (!m_hasDepth)
            return;
        top = -doc.Shown().start;
        break;
    default:
        return;
    }
    int row = EchogramMarks::MarkerRow(value, top, doc.Shown().range, h);
    if (row >= 0 && m_picture.IsRowOrientation())
        row = h - row;
    if (row >= 0)
        Run(EchogramMapping::kMarker, row, 1);
}

void CEchogramView::DrawDepthGrid(int lineCount, int h)
{
    const CEchogramDoc& doc = *m_document;
    // A window without range has no grid.
    if (!m_grid.IsFor(doc.Shown().start, doc.Shown().range, lineCount)) {
        EchogramMarks::SDepthGrid grid;
        if (!EchogramMarks::SDepthGrid::Make(doc.Shown().start, doc.Shown().range, lineCount, h, grid))
            return;
        m_grid = grid;
        m_gridLabelCountdown = 15;
    }
    if (m_gridDashes.Next() && h > 3 * lineCount) {
        if (--m_gridLabelCountdown <= 0) {
            m_gridLabelled = false;
            m_gridLabelCountdown = static_cast<int>((GetWidth() - m_picture.GetScaleMargin()) * 0.25);
        }
        const bool labels = !m_gridLabelled && doc.m_rangeReference == CEchogramDoc::SURFACE && doc.m_showAnnotation;
        const QFontMetrics metrics(m_gridFont);
        for (int k = 1; k <= m_grid.lines; ++k) {
            const double t = m_grid.Depth(k);
            const int row = EchogramMarks::MarkRow(t, m_grid.start, m_grid.range, h);
            if (row >= h && (m_gridLabelled || row >= h + metrics.height()))
                break;
            Run(CPaletteControl::kTextIndex, row, m_grid.LineRows(t));
            if (labels) {
                const QString label = QString::fromStdString(m_grid.Label(t));
                const int width = metrics.horizontalAdvance(label);
                WriteText(label, m_gridFont,
                          QRect(LabelRight() - width, row + 5 - metrics.height(), width, metrics.height()), false,
                          CPaletteControl::kTextIndex, -1);
            }
        }
        if (labels)
            m_gridLabelled = true;
    }
    Run(CPaletteControl::kTextIndex, 0, 1);
}

void CEchogramView::MarkMinute(int rows)
{
    const int minute = EchogramMarks::MinuteOf(m_access->GetPingTime());
    if (minute < 0)
        return;
    if (EchogramMarks::MinuteTickDue(m_lastMinute, minute))
        Run(CPaletteControl::kTextIndex, 0, rows);
    m_lastMinute = minute;
}

void CEchogramView::MarkRangeChange(double top, double bottom)
{
    if ((top == m_lastRangeTop && bottom == m_lastRangeBottom) || m_lastRangeTop == m_lastRangeBottom) {
        if (m_rangeLabelCountdown > 0)
            --m_rangeLabelCountdown;
    } else {
        if (m_rangeLabelCountdown == 0) {
            const int reference = m_document->m_rangeReference;
            const QString upper = QString::fromStdString(EchogramMarks::FormatRangeLabel(ToDepthUnit(top, reference)));
            const QString lower =
                QString::fromStdString(EchogramMarks::FormatRangeLabel(ToDepthUnit(bottom, reference)));
            const QFontMetrics metrics(m_rowFont);
            const int right = LabelRight(), height = metrics.height();
            const int upperWidth = metrics.horizontalAdvance(upper), lowerWidth = metrics.horizontalAdvance(lower);
            WriteText(upper, m_rowFont, QRect(right - upperWidth, 0, upperWidth, height), false, m_pictureText,
                      CPaletteControl::kBackgroundIndex);
            WriteText(lower, m_rowFont, QRect(right - lowerWidth, GetHeight() - height, lowerWidth, height), false,
                      m_pictureText, CPaletteControl::kBackgroundIndex);
            m_rangeLabelCountdown = std::max(upperWidth, lowerWidth);
        }
        DottedLine();
    }
    m_lastRangeTop = top;
    m_lastRangeBottom = bottom;
}

void CEchogramView::MarkSoundSpeedChange(double velocity)
{
    if (velocity != m_lastSoundSpeed) {
        if (m_soundSpeedCountdown == 0) {
            const QString text = QString::fromStdString(EchogramMarks::FormatSoundSpeed(velocity));
            const QFontMetrics metrics(m_columnFont);
            const int length = metrics.horizontalAdvance(text);
            WriteText(text, m_columnFont,
                      QRect(LabelRight() - metrics.height(), kTurnedTextTop, metrics.height(), length), true,
                      m_pictureText, CPaletteControl::kBackgroundIndex);
            m_soundSpeedCountdown = length;
        }
        DottedLine();
        m_lastSoundSpeed = velocity;
    }
    if (m_soundSpeedCountdown > 0)
        --m_soundSpeedCountdown;
}

void CEchogramView::DrawAnnotationText(const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    const QFontMetrics metrics(m_columnFont);
    WriteText(
        shown, m_columnFont,
        QRect(LabelRight() - metrics.height(), kTurnedTextTop, metrics.height(), metrics.horizontalAdvance(shown)),
        true, CPaletteControl::kTextIndex, -1);
    m_gridLabelCountdown += kAnnotationGridDelay;
}

void CEchogramView::DrawAnnotationTextRow(const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    const QFontMetrics metrics(m_rowFont);
    WriteText(shown, m_rowFont,
              QRect(3, m_picture.GetTopMargin() + 2, metrics.horizontalAdvance(shown), metrics.height()), false,
              CPaletteControl::kTextIndex, -1);
}

std::pair<double, double> CEchogramView::ScaleValues() const
{
    const CEchogramDoc& doc = *m_document;
    if (m_picture.IsRowOrientation())
        return {CDepthUnit::FromMeters(doc.m_sidescanRange[0]), CDepthUnit::FromMeters(doc.m_sidescanRange[1])};
    return {ToDepthUnit(doc.ShownRangeStart(), doc.m_rangeReference),
            ToDepthUnit(doc.ShownRangeOffset(), doc.m_rangeReference)};
}

QImage CEchogramView::ShowImage() const
{
    const QImage surface = SurfaceImage();
    if (surface.isNull() || !m_picture.IsAttached())
        return surface;
    QImage shown(surface.size(), QImage::Format_Indexed8);
    shown.setColorTable(surface.colorTable());
    m_picture.CopyTo(shown.bits(), static_cast<int>(shown.bytesPerLine()));
    return shown;
}

int CEchogramView::SurfaceParts(const QRect& shown, SurfacePart (&parts)[kMaxSurfaceParts]) const
{
    if (!m_picture.IsAttached())
        return CSCView::SurfaceParts(shown, parts);
    CEchogramPicture::Part ring[CEchogramPicture::kMaxParts];
    const int n = m_picture.Parts(shown.x(), shown.y(), shown.width(), shown.height(), ring);
    for (int k = 0; k < n; ++k) {
        const QRect source(ring[k].x, ring[k].row, ring[k].width, ring[k].rows);
        parts[k] = {source.translated(-ring[k].dx, -ring[k].drow), source};
    }
    return n;
}

void CEchogramView::CopyNewestLine(CPrinterPage& page, const CPrinterPage::ColourMap& map, int x, int& y, double scale)
{
    CDIBSection* surface = GetSurface();
    if (!m_enabled || !surface || !surface->GetBits())
        return;
    const BYTE* bits = surface->GetBits();
    const std::ptrdiff_t stride = CDIBSection::RowBytes(GetWidth(), 8);
    if (m_picture.IsRowOrientation()) {
        // The row stands up on the paper: pixel i goes to y + i × scale, and
        // a scale above 1 widens each pixel instead of leaving gaps.
        const int row = m_picture.NewestRow();
        for (int i = 1; i < GetWidth() && scale > 0.0; ++i) {
            const int from = EchogramMapping::ScaledExtent(i, scale);
            const int to = std::max(from + 1, EchogramMapping::ScaledExtent(i + 1, scale));
            page.FillColumn(x, y + from, to - from, map[m_picture.At(i, row)]);
        }
    } else {
        // The newest column as it shows: one column of the ring in memory,
        // stretched by the nearest pixel (a blended colour would be no
        // colour of the scale).
        const int column = m_picture.NewestColumn() - (m_slopeReference ? m_q : 0);
        const int height = EchogramMapping::ScaledExtent(GetHeight(), scale);
        CEchogramPicture::Part part[CEchogramPicture::kMaxParts];
        if (column >= 0 && height > 0 && m_picture.Parts(column, 0, 1, GetHeight(), part) == 1)
            page.CopyColumn(x, y, height, bits + static_cast<std::ptrdiff_t>(part[0].row) * stride + part[0].x,
                            part[0].rows, stride, map);
        y += height;
    }
}

void CEchogramView::AddLineExtent(int& y) const
{
    y += m_picture.IsRowOrientation() ? GetWidth() : GetHeight();
}

std::string CEchogramView::FormatScaleValue(double value, const std::string& unit)
{
    char text[64];
    if (value >= 1000.0)
        std::snprintf(text, sizeof text, "%5.0f", value);
    else
        std::snprintf(text, sizeof text, "%3.0f%s", value, unit.c_str());
    return text;
}

std::string CEchogramView::FormatExtentValue(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%4.0f", value);
    return text;
}

int CEchogramView::TickRow(int k, int height)
{
    const double y = static_cast<double>(k) * height / 10.0;
    return static_cast<int>(y >= 0.0 ? y + 0.5 : y - 0.5);
}

void CEchogramView::ScaleText::Set(const QString& value, const QFont& font)
{
    if (value == text && font == laidFor)
        return;
    text = value;
    laidFor = font;
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.setText(value);
    laidOut.prepare(QTransform(), font);
}

void CEchogramView::OnDraw(QPainter& painter)
{
    if (!m_enabled || !m_document || !m_document->GetChannel())
        return;
    DrawSurface(painter);
    if (m_measuring)
        DrawMeasuringLine(painter);
    if (m_document->m_variableDepth)
        DrawMarkerLine(painter);
    if (PaintRegion().intersects(ScaleRect()))
        DrawScale(painter);
}

void CEchogramView::DrawScale(QPainter& painter)
{
    const int margin = m_picture.GetScaleMargin();
    if (margin <= 19)
        return;
    if (m_picture.IsRowOrientation()) {
        DrawRowScale(painter);
        return;
    }
    const int w = GetWidth(), h = GetHeight();
    const int reference = m_document->m_rangeReference;
    std::tie(m_scaleTop, m_scaleBottom) = ScaleValues();
    const std::string unit = reference == CEchogramDoc::SLOPE ? "deg" : CDepthUnit::GetUnitSymbol();

    const QColor text = GetColourTable()[CPaletteControl::kTextIndex];
    painter.fillRect(w - margin, 0, margin, h, GetColourTable()[CPaletteControl::kBackgroundIndex]);
    painter.setPen(QPen(text, 1));
    const int textHeight = painter.fontMetrics().height();
    m_topText.Set(QString::fromStdString(FormatScaleValue(m_scaleTop, unit)), painter.font());
    m_bottomText.Set(QString::fromStdString(FormatScaleValue(m_scaleBottom, unit)), painter.font());
    painter.drawStaticText(w - margin + 3, 0, m_topText.laidOut);
    if (2 * textHeight < h)
        painter.drawStaticText(w - margin + 3, h - textHeight, m_bottomText.laidOut);
    painter.drawLine(w - margin, 0, w - margin, h);
    for (int k = 1; k <= 9; ++k) {
        const int y = TickRow(k, h);
        painter.drawLine(w - margin, y, w - margin + 5, y);
    }
}

void CEchogramView::DrawRowScale(QPainter& painter)
{
    const int header = m_picture.GetTopMargin();
    if (header <= 0)
        return;
    const int w = GetWidth();
    std::tie(m_scaleTop, m_scaleBottom) = ScaleValues();
    const QColor text = GetColourTable()[CPaletteControl::kTextIndex];
    painter.fillRect(0, 0, w, header, GetColourTable()[CPaletteControl::kBackgroundIndex]);
    painter.setPen(QPen(text, 1));
    m_topText.Set(QString::fromStdString(FormatExtentValue(m_scaleTop)), painter.font());
    m_bottomText.Set(QString::fromStdString(FormatExtentValue(m_scaleBottom)), painter.font());
    painter.drawStaticText(3, 1, m_topText.laidOut);
    const int rightWidth = static_cast<int>(std::ceil(m_bottomText.laidOut.size().width()));
    painter.drawStaticText(w - rightWidth - 10, 1, m_bottomText.laidOut);
    painter.drawLine(1, header - 3, w - 1, header - 3);
    for (int k = 1; k <= 9; ++k) {
        const int x = TickRow(k, w - 1) + 1;
        painter.drawLine(x, header - 3, x, header - 8);
    }
}

unsigned& CEchogramView::ToolHitCounter()
{
    // Shared by every echogram view; only the user-interface thread counts.
    static unsigned counter = 0;
    return counter;
}

CEchogramInteraction::SPointerView CEchogramView::PointerView() const
{
    CEchogramInteraction::SPointerView v;
    if (!m_document)
        return v;
    const CEchogramDoc& doc = *m_document;
    v.reference = doc.m_rangeReference;
    v.start = doc.ShownStart();
    v.range = doc.ShownRange();
    v.width = GetWidth();
    v.height = GetHeight();
    v.margin = m_picture.GetScaleMargin();
    v.rowBytes = static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8));
    v.rows = m_picture.IsRowOrientation();
    v.left = doc.m_sidescanRange[0];
    v.right = doc.m_sidescanRange[1];
    v.beamAngle = m_access->GetBeamAngle();
    v.hasDepth = m_access->GetDepth(v.depth);
    v.threshold = m_access->GetThreshold(doc.m_echogramType);
    return v;
}

int CEchogramView::OnToolHitTest(const QPoint& point, CEchogramInteraction::SToolHit* tool)
{
    return CEchogramInteraction::ToolHitTest(PointerView(), point.x(), point.y(), ToolHitCounter(), tool);
}

bool CEchogramView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return CSCView::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    CEchogramInteraction::SToolHit tool;
    if (!m_enabled || !m_document || OnToolHitTest(help->pos(), &tool) < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), QString::fromStdString(tool.text), this,
                       QRect(QPoint(tool.left, tool.top), QPoint(tool.right, tool.bottom)));
    return true;
}

LRESULT CEchogramView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == app::WM_ES_ANNOTATION) {
        SetAnnotation(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    return CSCView::OnMessage(message, wParam, lParam);
}

void CEchogramView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    const int delta = event->angleDelta().y();
    if (!m_enabled || !m_document || delta == 0)
        return;
    const QPoint p = event->position().toPoint();
    if (m_picture.IsRowOrientation() || p.x() < GetWidth() - m_picture.GetScaleMargin()) {
        // The threshold of the picture's colour scale; the next pings show it.
        const int selector = m_document->m_echogramType;
        const double level = m_access->GetThreshold(selector);
        const double next = CEchogramInteraction::WheelThreshold(level, delta);
        if (next != level)
            m_access->SetThreshold(selector, next);
        // The tool tip shows the new value: the pointer nudged one pixel,
        // the other way each step.
        static bool toggle = false;
        toggle = !toggle;
        QCursor::setPos(event->globalPosition().toPoint() + QPoint(toggle ? -1 : 1, 0));
        return;
    }
    if (StripWheel(delta, event->modifiers(), event->buttons()))
        update(0, 0, GetWidth(), GetHeight());
}

bool CEchogramView::StripWheel(int delta, Qt::KeyboardModifiers keys, Qt::MouseButtons buttons)
{
    Environment& environment = GetContext().EchogramEnvironment();
    // Ctrl shifts the pings of a sounder that paces its own (one notch,
    // 120, is 12 ms), and nothing else.
    if (keys & Qt::ControlModifier) {
        if (environment.AddTimingCorrection(delta))
            return false;
    }
    double interval = 0.0;
    if ((buttons & Qt::LeftButton) && environment.GetFixedInterval(interval)) {
        if (CEchogramInteraction::StepInterval(interval, delta))
            environment.SetFixedInterval(interval);
        return false;
    }
    const bool shift = (keys & Qt::ShiftModifier) || (buttons & Qt::LeftButton);
    bool depthValid = false, openingValid = false;
    double depth = 0.0, opening = 0.0;
    m_access->GetTrawl(depthValid, depth, openingValid, opening);
    return m_document->StripWheel(delta, shift, depthValid, depth, openingValid, opening);
}

void CEchogramView::mousePressEvent(QMouseEvent* event)
{
    if (!m_enabled || !m_document)
        return;
    const QPoint p = event->position().toPoint();
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (event->button() == Qt::RightButton) {
        if (!(event->buttons() & Qt::LeftButton))
            RunDialog(keys, p);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (m_picture.IsRowOrientation()) {
        PositionMark(p);
    } else if (p.x() < GetWidth() - m_picture.GetScaleMargin()) {
        const CEchogramDoc& doc = *m_document;
        if (doc.m_rangeReference == CEchogramDoc::SURFACE)
            PositionMark(p);
        if (doc.m_variableDepth && (keys & Qt::ControlModifier)) {
            TakeMarker(p.y());
            m_markerDrag = true;
        }
        if ((keys & Qt::ShiftModifier) && doc.m_rangeReference == CEchogramDoc::SURFACE && m_access->IsSlopeEnabled())
            StartMeasuring(p);
    }
    update();
}

void CEchogramView::TakeMarker(int y)
{
    const double value =
        CEchogramInteraction::MarkerValueAt(m_document->m_rangeReference, m_document->ShownStart(),
                                            m_document->ShownRange(), GetHeight(), m_picture.IsRowOrientation(), y);
    m_document->SetMarkerValue(value);
}

void CEchogramView::StartMeasuring(const QPoint& p)
{
    const int area = GetWidth() - m_picture.GetScaleMargin();
    double depth = 0.0;
    if (!m_access->GetSlopeHistoryValue(area - p.x() - 1, depth)) {
        m_measuring = false;
        return;
    }
    const double start = m_document->ShownStart(), range = m_document->ShownRange();
    int row = -1;
    if (range > 0.0 && depth > start && depth < start + range)
        row = static_cast<int>((depth - start) / range * GetHeight());
    m_measureStart = QPoint(p.x(), row);
    m_measureEnd = p;
    m_measuring = true;
    update(AreaRect());
}

void CEchogramView::mouseMoveEvent(QMouseEvent* event)
{
    if (cursor().shape() != Qt::ArrowCursor)
        setCursor(Qt::ArrowCursor);
    FocusFrame();
    if (!m_enabled || !m_document)
        return;
    const QPoint p = event->position().toPoint();
    const bool inArea = p.x() < GetWidth() - m_picture.GetScaleMargin();
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (m_markerDrag && inArea && (event->buttons() & Qt::LeftButton) && !(keys & Qt::ShiftModifier)) {
        TakeMarker(p.y());
        update(AreaRect());
    }
    if (m_measuring && inArea && (keys & Qt::ShiftModifier)) {
        m_measureEnd = p;
        update(AreaRect());
    }
}

void CEchogramView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_markerDrag = false;
    if (m_measuring) {
        m_measuring = false;
        update(AreaRect());
    }
}

void CEchogramView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_enabled && m_document)
        PositionMark(event->position().toPoint());
}

void CEchogramView::FocusFrame()
{
    if (hasFocus())
        return;
    // The channel under the mouse becomes the active one, with this view
    // in focus.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
            if (QMdiArea* area = frame->mdiArea())
                area->setActiveSubWindow(frame);
            break;
        }
    setFocus(Qt::MouseFocusReason);
}

void CEchogramView::RunDialog(Qt::KeyboardModifiers keys, const QPoint& p)
{
    // A stop, or a replay's next file, may take the frame and this view
    // while the dialog runs: only a view still there is repainted.
    const QPointer<CEchogramView> alive(this);
    CEchogramDoc* doc = m_document;
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    if ((keys & both) == both) {
        doc->OnEchogramFilter();
    } else {
        const bool settings =
            m_picture.IsRowOrientation() ? p.y() > GetTopMargin() : p.x() < GetWidth() - m_picture.GetScaleMargin();
        if (settings)
            doc->OnEchogramSettings();
        else
            doc->OnRangeSettings();
    }
    if (alive)
        alive->update();
}

void CEchogramView::PositionMark(const QPoint& p)
{
    CGeographicInfo* history = GetContext().geographicHistory;
    if (p.y() < GetTopMargin() + 10 || !history)
        return;
    const CEchogramDoc& doc = *m_document;
    int sent = 0;
    if (!m_picture.IsRowOrientation()) {
        const int back = GetWidth() - m_picture.GetScaleMargin() - p.x();
        const double depth = CEchogramInteraction::DepthAt(doc.ShownStart(), doc.ShownRange(), GetHeight(), p.y());
        sent = history->FormatPingPosition(back, false, depth, depth, false, 0);
    } else {
        const int back = p.y() - GetTopMargin();
        if (back < 0 || static_cast<std::size_t>(back) >= m_externalHistory.size())
            return;
        const double l = -doc.m_sidescanRange[0], e = doc.m_sidescanRange[1];
        const double across = l + (e - l) * p.x() / std::max(1, GetWidth());
        const int side = doc.m_sidescanSide == 0 ? 1 : 0;
        sent = history->FormatPingPosition(back, true, across, m_externalHistory[static_cast<std::size_t>(back)], true,
                                           side);
    }
    if (!sent)
        return;
    // Into the picture, so that it moves on with it; 0xFF is the plain
    // colour value the mark is written with, index 255.
    const QString x = QStringLiteral("X");
    const QFontMetrics metrics(m_markFont);
    const QRect box(p.x() - metrics.horizontalAdvance(x) / 2, p.y() - metrics.height() / 2,
                    metrics.horizontalAdvance(x), metrics.height());
    m_labels = QRegion();
    WriteText(x, m_markFont, box, false, 0xFF, -1);
    m_labels = QRegion();
    PictureChanged(box);
}

int CEchogramView::MarkerLineRow() const
{
    const CEchogramDoc& doc = *m_document;
    const double value = doc.m_variableDepthValue;
    const int h = GetHeight();
    switch (doc.m_rangeReference) {
    case CEchogramDoc::SLOPE:
        return EchogramMarks::SlopeMarkerRow(value, doc.ShownStart(), doc.ShownRange(), h);
    case CEchogramDoc::SURFACE:
    case CEchogramDoc::TRAWL: {
        int row = EchogramMarks::MarkerRow(value, doc.ShownStart(), doc.ShownRange(), h);
        if (row >= 0 && m_picture.IsRowOrientation())
            row = h - row;
        return row;
    }
    case CEchogramDoc::BOTTOM:
        return EchogramMarks::MarkerRow(value, -doc.ShownStart(), doc.ShownRange(), h);
    default:
        return -1;
    }
}

QRect CEchogramView::MarkerBand(int row) const
{
    const int text = QFontMetrics(font()).height();
    return QRect(0, row, GetWidth() - m_picture.GetScaleMargin(), text + 2);
}

QRect CEchogramView::MarkerLabelBox(int row) const
{
    // The text's box and a pixel either way for what a glyph overhangs.
    const int width = static_cast<int>(std::ceil(m_markerText.laidOut.size().width())) + 2;
    return MarkerBand(row) & QRect(0, row, width, GetHeight());
}

QString CEchogramView::MarkerLabelText() const
{
    return QString::fromStdString(
        CEchogramInteraction::MarkerLabel(m_document->m_rangeReference, m_document->m_variableDepthValue));
}

void CEchogramView::DrawMarkerLine(QPainter& painter)
{
    const int row = MarkerLineRow();
    if (row < 0 || row >= GetHeight())
        return;
    m_markerDrawnRow = row;
    const int area = GetWidth() - m_picture.GetScaleMargin();
    // The line a piece for each rectangle repainted: a line across a clip
    // of several rectangles is drawn pixel by pixel against the clip.
    const QColor colour(GetColourTable()[EchogramMapping::kMarker]);
    const QRect line(0, row, area + 1, 1);
    for (const QRect& repainted : PaintRegion())
        if (const QRect piece = repainted & line; !piece.isEmpty())
            painter.fillRect(piece, colour);
    // Laid out once a value: every ping repaints the label.
    m_markerText.Set(MarkerLabelText(), painter.font());
    if (std::ceil(m_markerText.laidOut.size().width()) >= area || !PaintRegion().intersects(MarkerLabelBox(row)))
        return;
    painter.setPen(QPen(colour, 1));
    painter.drawStaticText(0, row + 1, m_markerText.laidOut);
}

void CEchogramView::DrawMeasuringLine(QPainter& painter)
{
    const int area = GetWidth() - m_picture.GetScaleMargin();
    painter.setPen(QPen(QColor(GetColourTable()[CPaletteControl::kTextIndex]), 1));
    painter.drawLine(m_measureStart, m_measureEnd);
    const int c1 = area - m_measureStart.x() - 1, c2 = area - m_measureEnd.x() - 1;
    double stored = 0.0;
    m_access->GetSlopeHistoryValue(c1, stored);
    const double distance = m_access->GetSlopeDistance(c1, c2);
    const double height = stored - CEchogramInteraction::DepthAt(m_document->ShownStart(), m_document->ShownRange(),
                                                                 GetHeight(), m_measureEnd.y());
    m_measureText = QString::fromStdString(CEchogramInteraction::MeasuringText(distance, height));
    // At the end point, its foot on the end point's row, left of it near the
    // strip; never out of the area on the left or the top, where a line
    // ending close to the corner would leave it cut.
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(m_measureText);
    int x = m_measureEnd.x();
    if (x + width > area)
        x -= width;
    const int top = std::max(0, m_measureEnd.y() - metrics.height());
    m_measureTextBox = QRect(std::max(0, x), top, width, metrics.height());
    painter.drawText(m_measureTextBox.left(), top + metrics.ascent(), m_measureText);
}
