#include "display/ui/ScopeView.h"

#include "base/StringTable.h"
#include "display/EchogramDoc.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr BYTE kBackground = CPaletteControl::kBackgroundIndex;
constexpr BYTE kLines = CPaletteControl::kTextIndex;
constexpr double kPi = 3.14;  // the angle's own rounding of pi, kept so the line sits as before

QColor Index(int i)
{
    return QColor(i, i, i);
}

// The pane's reading of its document's channel, whichever channel the
// document has at the time.
class CChannelAccess final : public IScopeViewChannel
{
public:
    explicit CChannelAccess(const CEchogramDoc* document) : m_document(document) {}
    void GetColorScale(CColorScaleSettings& scale) override
    {
        if (CChannel* c = Channel())
            c->GetColorScale(scale);
    }
    ChannelParameters GetParameters() override
    {
        CChannel* c = Channel();
        return c ? c->GetParameters() : ChannelParameters{};
    }
    void GetMotion(double (&motion)[6]) override
    {
        if (CChannel* c = Channel())
            c->GetPingMotion(motion);
    }
    double GetNoiseLevel() override
    {
        CChannel* c = Channel();
        return c ? c->GetNoiseLevel() : 0.0;
    }
    bool GetBottom(double& levelDb) override
    {
        CChannel* c = Channel();
        return c && c->ProcessPing(nullptr, &levelDb);
    }
    int GetBeamType() override
    {
        CChannel* c = Channel();
        return c ? c->GetBeamType() : 0;
    }
    bool GetSlopeAngle(double& degrees) override
    {
        CChannel* c = Channel();
        return c && c->GetSlopeAngle(degrees);
    }
    void GetPingRecord(ChannelPingRecord& record, double start, int reference) override
    {
        if (CChannel* c = Channel())
            c->GetPingRecord(record, start, reference);
    }
    void AddEchogramSamples(std::int16_t* out, int n, double start, int kind, int reference) override
    {
        if (CChannel* c = Channel())
            c->AddEchogramSamples(out, n, start, kind, reference);
    }
    void AddEchogramAngles(std::uint16_t* out, int n, double start, int reference) override
    {
        if (CChannel* c = Channel())
            c->AddEchogramAngles(out, n, start, reference);
    }
    int GetScopeTrace(CChannel::TraceKind kind, int which, double* out, int maxCount, double start, double stop,
                      double& sampleDistance) override
    {
        CChannel* c = Channel();
        return c ? c->GetScopeTrace(kind, which, out, maxCount, start, stop, sampleDistance) : 0;
    }
    void GetBottomCandidates(SBottomCandidate (&out)[IBottomDetector::kMaxCandidates]) override
    {
        if (CChannel* c = Channel())
            c->GetBottomCandidates(out);
    }
    IBottomDetector::Limits GetBottomLimits() override
    {
        CChannel* c = Channel();
        return c ? c->GetBottomLimits() : IBottomDetector::Limits{};
    }
    void GetBottomSamplesDb(double* out, int n, int first) override
    {
        if (CChannel* c = Channel())
            c->GetBottomSamplesDb(out, n, first);
    }
    int RangeToSample(double range, double distance) override
    {
        CChannel* c = Channel();
        return c ? c->RangeToSample(range, distance) : 0;
    }

private:
    CChannel* Channel() const { return m_document ? m_document->GetChannel() : nullptr; }
    const CEchogramDoc* m_document;
};

}  // namespace

BYTE CScopeView::PenIndex(int pen)
{
    static constexpr BYTE kPens[kPenCount] = {160, 79, 193, 165, 200, 195, 167, 163, 160, 79, 193, 165};
    return kPens[pen >= 0 && pen < kPenCount ? pen : 0];
}

CScopeView::CScopeView(CEchogramDoc* document, const SViewContext& context, QWidget* parent)
    : CSCView(context, parent), m_document(document)
{
    for (int k = 0; k < 7; ++k)
        m_labels[k] = app::Strings().Load(kFirstLabel + static_cast<unsigned>(k));
    m_slots[0] = PALETTEINDEX(kBackground);
    m_slots[1] = PALETTEINDEX(kLines);
    for (int k = 0; k < CPaletteControl::kEchoColourCount; ++k)
        m_slots[static_cast<std::size_t>(2 + k)] = PALETTEINDEX(CPaletteControl::kFirstEchoIndex + k);
    m_textFont = QFont("Arial");
    m_textFont.setPixelSize(13);
    m_textFont.setStyleStrategy(QFont::NoAntialias);
    SetChannelAccess(nullptr);
    setMouseTracking(true);
    if (m_document)
        m_document->AddView(this);
}

CScopeView::~CScopeView()
{
    if (m_document)
        m_document->RemoveView(this);
}

void CScopeView::SetChannelAccess(IScopeViewChannel* channel)
{
    if (channel) {
        m_access = channel;
        m_ownAccess.reset();
        return;
    }
    m_ownAccess = std::make_unique<CChannelAccess>(m_document);
    m_access = m_ownAccess.get();
}

void CScopeView::OnInitialUpdate()
{
    CSCView::OnInitialUpdate();
    if (!HasMemoryDC()) {
        CreateMemoryDC();
        CreateDibSection();
    }
    // Rotated a quarter turn clockwise, reading downwards; sized by the
    // screen's resolution as the panes' other texts.
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    m_verticalFont = QFont("Arial");
    m_verticalFont.setPixelSize(std::max(1, 100 * dpi / 650));
    m_verticalFont.setStyleStrategy(QFont::NoAntialias);
    if (GetSurface() && GetSurface()->GetBits())
        GetSurface()->Fill(kBackground);
}

void CScopeView::resizeEvent(QResizeEvent* event)
{
    CSCView::resizeEvent(event);
    if (HasMemoryDC() && !GetSurface())
        CreateDibSection();
    const int cx = event->size().width(), cy = event->size().height();
    if (cx >= kTooSmall && cy >= kTooSmall) {
        m_tooSmall = 0;
        m_dialog.SetRange(cx, cy);
        m_picture.FitRows(cy);
        if (GetSurface() && GetSurface()->GetBits())
            GetSurface()->Fill(kBackground);
    } else {
        m_tooSmall = 1;
    }
}

int CScopeView::RealizeViewPalette()
{
    return CSCView::RealizeViewPalette();
}

void CScopeView::OnColorChange(int, const LOGPALETTE*)
{
    const QVector<QRgb>& table = GetColourTable();
    for (int k = 0; k < CPaletteControl::kEchoColourCount; ++k) {
        const QRgb c = table[CPaletteControl::kFirstEchoIndex + k];
        m_slots[static_cast<std::size_t>(2 + k)] =
            RGB(static_cast<BYTE>(qRed(c)), static_cast<BYTE>(qGreen(c)), static_cast<BYTE>(qBlue(c)));
    }
}

void CScopeView::OnUpdate()
{
    if (m_tooSmall || !m_document || !m_document->GetChannel())
        return;
    const ChannelParameters parameters = m_access->GetParameters();
    // A passive channel holds the pane's last picture.
    if (parameters.TransceiverMode == 1)
        return;
    m_ping.parameters = parameters;
    CopyPing();
    ++m_copiedPings;
    update();
}

void CScopeView::CopyPing()
{
    const CEchogramDoc& doc = *m_document;
    const CEchogramDoc::SShownPing& shown = doc.Shown();
    SPing& p = m_ping;
    p.valid = true;
    p.delivered = std::min<int>(static_cast<int>(shown.column.size()), static_cast<int>(p.column.size()));
    std::copy_n(shown.column.begin(), p.delivered, p.column.begin());
    p.bottomRow = shown.bottomRow;
    p.bottomSubstituted = shown.bottomSubstituted;
    p.sidescan = doc.m_sidescan;
    p.pingFilter = doc.m_pingFilter;
    p.echogramType = doc.m_echogramType;
    p.reference = doc.m_rangeReference;
    p.start = doc.ShownStart();
    p.range = doc.ShownRange();
    m_access->GetColorScale(p.scale);
    double motion[6] = {};
    m_access->GetMotion(motion);
    p.heave = motion[5];
    p.noiseDb = m_access->GetNoiseLevel();
    p.bottomLevelDb = 0.0;
    p.bottomFound = m_access->GetBottom(p.bottomLevelDb);
    p.beamType = m_access->GetBeamType();
    p.slopeAngle = 0.0;
    p.slopeValid = m_access->GetSlopeAngle(p.slopeAngle);
    if (m_infoPanel) {
        // Read only while the panel shows: a read asks the channel for
        // samples down to 100 m.
        m_access->AddEchogramSamples(&p.amplitudeAt100, 1, 100.0, 0, CEchogramDoc::SURFACE);
        if (p.beamType == 1)
            m_access->AddEchogramAngles(&p.angleAt100, 1, 100.0, CEchogramDoc::SURFACE);
    }
}

void CScopeView::OnDraw(QPainter& painter)
{
    CDIBSection* surface = GetSurface();
    if (m_tooSmall || !m_document || !m_document->GetChannel() || !surface || !surface->GetBits())
        return;
    const CScopeDebugSettings::Mode mode = m_dialog.GetMode();
    const bool motion = mode == CScopeDebugSettings::Mode::Motion;
    if (!motion)
        surface->Fill(kBackground);
    if (mode == CScopeDebugSettings::Mode::Scope) {
        if (m_infoPanel) {
            QImage image = DrawImage();
            QPainter p(&image);
            DrawInfoText(p);
        } else if (m_ping.reference == CEchogramDoc::SLOPE) {
            QImage image = DrawImage();
            QPainter p(&image);
            DrawSlope(p);
        } else {
            DrawAScope();
        }
    }
    // Motion leaves the screen as it was: nothing is cleared or copied.
    if (!motion)
        DrawSurface(painter);
}

void CScopeView::DrawAScope()
{
    CScopePicture::SColumn column;
    column.values = m_ping.column.data();
    column.delivered = m_ping.valid ? m_ping.delivered : 0;
    column.bottomRow = m_ping.bottomRow;
    column.bottomSubstituted = m_ping.bottomSubstituted;
    column.sidescan = m_ping.sidescan;
    column.pingFilter = m_ping.pingFilter;
    column.echogramType = m_ping.echogramType;
    m_picture.DrawAScope(GetSurface()->GetBits(), static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8)), GetWidth(),
                         GetHeight(), column, m_ping.scale);
}

void CScopeView::DrawSlope(QPainter& p)
{
    const int cx = GetWidth() / 2, cy = GetHeight() / 2;
    const int r = std::min(cx, cy) - 2;
    QPen dotted(Index(kLines), 0, Qt::DotLine);
    p.setPen(dotted);
    p.drawEllipse(QPoint(cx, cy), r, r);
    p.setPen(QPen(Index(PenIndex(1)), 0));
    p.drawLine(cx - r, cy, cx + r, cy);
    p.drawLine(cx, cy - r, cx, cy + r);
    if (m_ping.slopeValid) {
        const double a = m_ping.slopeAngle * kPi / 180.0;
        const int dx = static_cast<int>(r * std::cos(a));
        const int dy = static_cast<int>(r * std::sin(a));
        p.drawLine(cx - dx, cy + dy, cx + dx, cy - dy);
    }
}

void CScopeView::DrawInfoText(QPainter& p)
{
    p.setFont(m_textFont);
    p.setPen(Index(kLines));
    const QFontMetrics metrics(m_textFont);
    int widest = 0;
    for (const std::string& label : m_labels)
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(label)));
    const int valueX = widest + 25;
    const int line = metrics.boundingRect(QStringLiteral("-1234.5 dBW")).height();
    CScopePicture::SInfo info;
    info.noiseFactor = GetContext().model == SounderModel::QYNVU;
    info.noiseDb = m_ping.noiseDb;
    info.bandwidthHz = m_ping.parameters.Bandwidth;
    info.amplitudeRaw = m_ping.amplitudeAt100;
    info.bottomFound = m_ping.bottomFound;
    info.bottomLevelDb = m_ping.bottomLevelDb;
    info.splitBeam = m_ping.beamType == 1;
    info.angleWord = m_ping.angleAt100;
    int y = 5;
    for (const CScopePicture::SInfoLine& l : CScopePicture::InfoLines(m_labels, info)) {
        p.drawText(l.x, y + metrics.ascent(), QString::fromStdString(l.label));
        if (!l.value.empty())
            p.drawText(valueX, y + metrics.ascent(), QString::fromStdString(l.value));
        y += line;
    }
}

void CScopeView::mousePressEvent(QMouseEvent* event)
{
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (event->button() == Qt::LeftButton) {
        if (keys & Qt::ControlModifier)
            OpenDebugDialog();
        return;
    }
    if (event->button() == Qt::RightButton) {
        const Qt::MouseButtons others = event->buttons() & (Qt::LeftButton | Qt::MiddleButton);
        if (!others && !(keys & (Qt::ShiftModifier | Qt::ControlModifier))) {
            m_infoPanel = m_infoPanel ? 0 : 1;
            update();
            return;
        }
    }
    event->ignore();
}

void CScopeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && (event->buttons() & Qt::LeftButton))
        OpenDebugDialog();
}

void CScopeView::mouseMoveEvent(QMouseEvent*)
{
    if (cursor().shape() != Qt::ArrowCursor)
        setCursor(Qt::ArrowCursor);
    if (hasFocus())
        return;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
            if (QMdiArea* area = frame->mdiArea())
                area->setActiveSubWindow(frame);
            break;
        }
    setFocus(Qt::MouseFocusReason);
}

void CScopeView::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

void CScopeView::OpenDebugDialog()
{
    m_dialog.DoModal();
    update();
}
