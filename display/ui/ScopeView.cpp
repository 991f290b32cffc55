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
#include <cstdio>

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
    double GetScopeSampleTime() override
    {
        CChannel* c = Channel();
        return c ? c->GetTraceStartTime() : 0.0;
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
    m_points.reserve(kTraceLength);
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
    // The engineering displays' copies.
    m_access->GetBottomCandidates(p.candidates);
    p.limits = m_access->GetBottomLimits();
    const CScopeDebugSettings::Mode mode = m_dialog.GetMode();
    // Taken only while shown: a take asks the channel for 100 m more.
    p.recordTaken = mode != CScopeDebugSettings::Mode::Scope && m_dialog.AnyAdSelected();
    if (p.recordTaken)
        m_access->GetPingRecord(p.record, p.start, SampleReference());
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
    } else {
        QImage image = DrawImage();
        QPainter p(&image);
        if (mode == CScopeDebugSettings::Mode::Analog)
            DrawAnalog(p);
        else
            DrawNumeric(p);
    }
    // Motion leaves the screen as it was: nothing is cleared or copied.
    if (!motion) {
        ConvertSurface();
        DrawSurface(painter);
    }
}

void CScopeView::ConvertSurface()
{
    const int w = GetWidth(), h = GetHeight();
    if (m_colours.size() != QSize(w, h))
        m_colours = QImage(w, h, QImage::Format_RGB32);
    const BYTE* from = GetSurface()->GetBits();
    const std::size_t stride = CDIBSection::RowBytes(w, 8);
    const QRgb* table = GetColourTable().constData();
    for (int y = 0; y < h; ++y) {
        const BYTE* in = from + y * stride;
        auto* out = reinterpret_cast<QRgb*>(m_colours.scanLine(y));
        for (int x = 0; x < w; ++x)
            out[x] = table[in[x]];
    }
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

int CScopeView::SampleReference() const
{
    return m_ping.reference == CEchogramDoc::SLOPE || m_ping.reference == CEchogramDoc::SIDESCAN ? CEchogramDoc::SURFACE
                                                                                                 : m_ping.reference;
}

void CScopeView::Segment(int x0, int y0, int x1, int y1, BYTE colour)
{
    CScopePicture::Line(GetSurface()->GetBits(), static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8)), GetWidth(),
                        GetHeight(), x0, y0, x1, y1, colour);
}

void CScopeView::DrawText(QPainter& p, int x, int y, const std::string& text)
{
    p.drawText(x, y + QFontMetrics(p.font()).ascent(), QString::fromStdString(text));
}

void CScopeView::DrawVerticalText(QPainter& p, int x, int y, const std::string& text)
{
    // Turned a quarter clockwise about its top left corner.
    p.save();
    p.setFont(m_verticalFont);
    p.translate(x, y);
    p.rotate(90.0);
    p.drawText(0, -QFontMetrics(m_verticalFont).descent(), QString::fromStdString(text));
    p.restore();
}

namespace {

// The A/D words of output n (1..4) that the record holds: at most its count,
// and never past its words.
int AdSamples(const ChannelPingRecord& record, int n)
{
    const int stride = record.Stride;
    if (stride <= 0 || n - 1 >= stride)
        return 0;
    return std::min<int>(record.Count, (ChannelPingRecord::kMaxWords - (n - 1) + stride - 1) / stride);
}

std::string Format(const char* format, int value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatDouble(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void CScopeView::DrawNumeric(QPainter& p)
{
    p.setFont(m_textFont);
    p.setPen(Index(kLines));
    const int lineHeight = std::max(1, QFontMetrics(m_textFont).boundingRect(QStringLiteral("ABC")).height());
    const int lines = std::clamp((GetHeight() - 22) / lineHeight, 0, 1000);
    if (lines <= 0)
        return;
    const CScopeDebugSettings& d = m_dialog;
    const ChannelPingRecord& record = m_ping.record;
    if (d.AnyAdSelected() && m_ping.recordTaken && record.Count != 0) {
        static const char* const titles[4] = {"AD1", "AD2", "AD3", "AD4"};
        for (int n = 1; n <= 4; ++n) {
            if (!d.IsAdSelected(n) || (n > 1 && record.Stride <= 1))
                continue;
            const CScopeDebugSettings::Rect& r = d.columns[CScopeDebugSettings::kAd1 + n - 1];
            DrawText(p, r.left + 2, r.top + 2, titles[n - 1]);
            const int count = std::min(lines, AdSamples(record, n));
            for (int k = 0; k < count; ++k)
                DrawText(p, r.left + 2, r.top + 22 + k * lineHeight,
                         Format("%04hX", static_cast<std::uint16_t>(record.Words[k * record.Stride + n - 1])));
        }
    }
    if (d.amplitude) {
        const CScopeDebugSettings::Rect& r = d.columns[CScopeDebugSettings::kAmplitude];
        m_access->AddEchogramSamples(m_samples.data(), lines, m_ping.start, d.sampleKind, SampleReference());
        DrawText(p, r.left + 2, r.top + 2, "Amplitude");
        for (int k = 0; k < lines; ++k)
            DrawText(p, r.left + 2, r.top + 22 + k * lineHeight,
                     Format("%04hX", static_cast<std::uint16_t>(m_samples[static_cast<std::size_t>(k)])));
    }
    if (d.alongship || d.athwartship) {
        m_access->AddEchogramAngles(m_angles.data(), lines, m_ping.start, SampleReference());
        for (int side = 0; side < 2; ++side) {
            if (!(side == 0 ? d.alongship : d.athwartship))
                continue;
            const CScopeDebugSettings::Rect& r =
                d.columns[side == 0 ? CScopeDebugSettings::kAlongship : CScopeDebugSettings::kAthwartship];
            DrawText(p, r.left + 2, r.top + 2, side == 0 ? "Alongship" : "Athwartship");
            for (int k = 0; k < lines; ++k) {
                const std::uint16_t word = m_angles[static_cast<std::size_t>(k)];
                DrawText(p, r.left + 2, r.top + 22 + k * lineHeight,
                         Format("%02hX", side == 0 ? word >> 8 : word & 0xFF));
            }
        }
    }
}

void CScopeView::DrawAnalog(QPainter& p)
{
    p.setFont(m_textFont);
    DrawAdOutputs(p);
    DrawWideBand(p);
    if (m_dialog.amplitude)
        DrawAmplitude(p);
    if (m_dialog.alongship || m_dialog.athwartship)
        DrawAngles(p);
}

void CScopeView::DrawAdOutputs(QPainter& p)
{
    const CScopeDebugSettings& d = m_dialog;
    const ChannelPingRecord& record = m_ping.record;
    if (!d.AnyAdSelected() || !m_ping.recordTaken || record.Count == 0)
        return;
    const int bottom = GetHeight();
    const int right = GetWidth();
    const int ad1Left = d.columns[CScopeDebugSettings::kAd1].left;
    p.setPen(Index(PenIndex(1)));
    Segment(ad1Left - 7, 0, ad1Left - 7, bottom, kLines);
    for (int n = 1; n <= 4; ++n) {
        if (!d.IsAdSelected(n) || (n > 1 && record.Stride <= 1))
            continue;
        const int count = AdSamples(record, n);
        int minimumGain = 10;
        for (int k = 0; k < count; ++k)
            minimumGain = std::min(minimumGain, record.Words[k * record.Stride + n - 1] & 0xF);
        for (int k = 0; k < count; ++k) {
            const std::int16_t word = record.Words[k * record.Stride + n - 1];
            const int gain = word & 0xF;
            int value = word >> 4;
            if (d.horizontalScaling)
                for (int step = minimumGain; step < gain; ++step)
                    value /= 10;
            m_values[static_cast<std::size_t>(k)] = value;
            m_gains[static_cast<std::size_t>(k)] = gain;
        }
        const CScopeDebugSettings::Rect& r = d.columns[CScopeDebugSettings::kAd1 + n - 1];
        DrawAdTrace(p, m_values.data(), m_gains.data(), count, r, "-2048", "+2048");
        p.setPen(Index(kLines));
        DrawText(p, (r.left + r.right) / 2 - 25, bottom - 51, Format("Gain=%d", minimumGain));
    }
    const int x = (ad1Left + right) / 2 - 25;
    p.setPen(Index(kLines));
    DrawText(p, x, bottom - 17, "AD Output");
    DrawText(p, x, bottom - 34, Format("Start=%d", static_cast<int>(record.BlockId)));
    // The gain legend: the pens' colours, labelled in the background's.
    static constexpr int kLegend[8] = {5, 1, -193, 7, -200, -195, 9, 2};
    const int boxWidth = (right - ad1Left) / 8;
    for (int g = 0; g < 8; ++g) {
        const int colour = kLegend[g] < 0 ? -kLegend[g] : kLegend[g] == 1 ? kLines : 158 + kLegend[g];
        const QRect box(ad1Left + g * boxWidth, bottom - 71, boxWidth, 20);
        for (int y = std::max(0, box.top()); y <= box.bottom() && y < GetHeight(); ++y)
            Segment(box.left(), y, box.right() + 1, y, static_cast<BYTE>(colour));
        p.setPen(Index(kBackground));
        DrawText(p, box.left() + boxWidth / 2 - 3, box.top(), std::to_string(g));
    }
}

void CScopeView::DrawAdTrace(QPainter& p, const int* values, const int* gains, int n,
                             const CScopeDebugSettings::Rect& r, const char* leftLabel, const char* rightLabel)
{
    p.setPen(Index(PenIndex(1)));
    Segment(r.left, r.top, r.left, r.bottom, kLines);
    Segment(r.right, r.top, r.right, r.bottom, kLines);
    const int centre = (r.left + r.right) / 2;
    Segment(centre, r.top, centre, r.bottom - 5, kLines);
    DrawVerticalText(p, r.left + 11, r.bottom - 52, leftLabel);
    DrawVerticalText(p, r.right + 5, r.bottom - 52, rightLabel);
    const int height = r.Height();
    if (n <= 0 || height <= 0)
        return;
    const int shown = m_dialog.verticalScaling ? n : std::min(n, height);
    const double step = m_dialog.verticalScaling ? static_cast<double>(height) / n : 1.0;
    // Written straight into the surface: a segment a sample.
    BYTE* bits = GetSurface()->GetBits();
    const int stride = static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8));
    auto x = [&](int k) { return centre + values[k] * r.Width() / 4096; };
    auto y = [&](int k) { return r.top + static_cast<int>(k * step); };
    for (int k = 1; k < shown; ++k)
        CScopePicture::Line(bits, stride, GetWidth(), GetHeight(), x(k - 1), y(k - 1), x(k), y(k),
                            PenIndex(gains ? gains[k] & 7 : 10));
}

void CScopeView::DrawTrace(QPainter& p, double* values, int n, const CScopeDebugSettings::Rect& r, double maximum,
                           double minimum, const std::string& leftLabel, const std::string& rightLabel, int pen,
                           double reference)
{
    p.setPen(Index(PenIndex(1)));
    Segment(r.left, r.top, r.left, r.bottom, kLines);
    Segment(r.right, r.top, r.right, r.bottom, kLines);
    DrawVerticalText(p, r.left + 11, r.top, leftLabel);
    DrawVerticalText(p, r.right + 5, r.top, rightLabel);
    // A flat curve or none has no axis to draw on.
    if (!CScopePicture::IsDrawableAxis(minimum, maximum, n) || r.Height() <= 0)
        return;
    const int width = r.Width();
    const double step = static_cast<double>(r.Height()) / n;
    m_points.resize(n);
    m_points[0] = QPoint(CScopePicture::TraceX(values[0], r.left, width, minimum, maximum), r.top);
    for (int i = 1; i < n; ++i) {
        values[i] = std::clamp(values[i], minimum, maximum);
        m_points[i] = QPoint(CScopePicture::TraceX(values[i], r.left, width, minimum, maximum),
                             r.top + static_cast<int>(i * step));
    }
    BYTE* bits = GetSurface()->GetBits();
    const int stride = static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8));
    const BYTE colour = PenIndex(pen >= 0 && pen < kPenCount ? pen : 0);
    for (int i = 1; i < n; ++i)
        CScopePicture::Line(bits, stride, GetWidth(), GetHeight(), m_points[i - 1].x(), m_points[i - 1].y(),
                            m_points[i].x(), m_points[i].y(), colour);
    if (reference != 0.0 && std::isfinite(reference)) {
        p.setPen(Index(kLines));
        DrawText(p, r.left + width / 2 + 10, r.bottom - 17, CScopePicture::FormatReference(reference));
        const int x = CScopePicture::TraceX(reference, r.left, width, minimum, maximum);
        p.setPen(Index(PenIndex(pen >= 0 && pen < kPenCount ? pen : 0)));
        Segment(x, r.top, x, r.bottom - 5, colour);
    }
}

void CScopeView::DrawAmplitude(QPainter& p)
{
    const CScopeDebugSettings& dialog = m_dialog;
    const CScopeDebugSettings::Rect& r = dialog.columns[CScopeDebugSettings::kAmplitude];
    const double d = m_ping.parameters.SampleDistance;
    int n = 0;
    if (d > 0.0 && std::isfinite(m_ping.range / d))
        n = static_cast<int>(std::clamp(m_ping.range / d, 0.0, static_cast<double>(kTraceLength)));
    if (n > 0)
        m_access->AddEchogramSamples(m_samples.data(), n, m_ping.start, dialog.sampleKind, SampleReference());
    double maximum = -25000.0, minimum = 25000.0;
    for (int i = 0; i < n; ++i) {
        const double db = m_samples[static_cast<std::size_t>(i)] * 0.011758984;
        m_traceA[static_cast<std::size_t>(i)] = db;
        maximum = std::max(maximum, db);
        if (db > -200.0)
            minimum = std::min(minimum, db);
    }
    if (dialog.useMaximum)
        maximum = dialog.maximum;
    if (dialog.useMinimum)
        minimum = dialog.minimum;
    const std::string maxLabel = FormatDouble("%.1lf dB", maximum);
    const std::string minLabel = FormatDouble("%.1lf dB", minimum);
    DrawTrace(p, m_traceA.data(), n, r, maximum, minimum, minLabel, maxLabel, 2, 0.0);
    if (dialog.bottomCandidates)
        DrawCandidates(p, r, n, maximum, minimum, maxLabel, minLabel);
    p.setPen(Index(kLines));
    DrawText(p, (r.left + r.right) / 2 - 60, GetHeight() - 34, FormatDouble("Noise=%.2fdBW", m_ping.noiseDb));
}

void CScopeView::DrawCandidates(QPainter& p, const CScopeDebugSettings::Rect& r, int n, double maximum, double minimum,
                                const std::string& maxLabel, const std::string& minLabel)
{
    const ChannelParameters& parameters = m_ping.parameters;
    const double d = parameters.SampleDistance;
    const double h = parameters.TransducerDepth + m_ping.heave + GetContext().Host().GetTideCorrection();
    CScopePicture::SCandidateFrame frame;
    if (n <= 0 || !CScopePicture::MakeCandidateFrame(m_ping.start, d, h, parameters.PulseLength,
                                                     m_ping.limits.minimumDepth, m_ping.limits.backstep, frame))
        return;
    const double pixels = static_cast<double>(r.Height()) / n;
    for (int k = 0; k < IBottomDetector::kMaxCandidates; ++k) {
        const SBottomCandidate& c = m_ping.candidates[k];
        int u = 0;
        double f = 0.0;
        if (!CScopePicture::PlaceCandidate(c, frame, m_traceA.data(), n, u, f))
            continue;
        p.setPen(Index(PenIndex(k)));
        const int y = r.top + static_cast<int>((u + 1 - f) * pixels);
        Segment(r.left, y, r.right, y, PenIndex(k));
        char text[128];
        std::snprintf(text, sizeof text, "Nr: %i S.nr: %i Score: %i = %i + %i + %i + %i", k, u, c.total, c.scores[0],
                      c.scores[1], c.scores[2], c.scores[3]);
        DrawText(p, r.right - 300, r.top + static_cast<int>((u - 15 - f) * pixels), text);
        DrawText(p, r.right - 90, r.top + static_cast<int>((u + 5 - f) * pixels),
                 FormatDouble("%0.2f m", (frame.s0 + u + 1) * d - f));
    }
    // The detector's own power curve over the same window and scale.
    const int first = m_access->RangeToSample(m_ping.start - parameters.TransducerDepth, d);
    m_access->GetBottomSamplesDb(m_traceC.data(), n, first);
    DrawTrace(p, m_traceC.data(), n, r, maximum, minimum, minLabel, maxLabel, 3, 0.0);
}

void CScopeView::DrawAngles(QPainter& p)
{
    const CScopeDebugSettings& d = m_dialog;
    for (int side = 0; side < 2; ++side) {
        if (!(side == 0 ? d.alongship : d.athwartship))
            continue;
        const CScopeDebugSettings::Rect& r =
            d.columns[side == 0 ? CScopeDebugSettings::kAlongship : CScopeDebugSettings::kAthwartship];
        const int n = std::clamp(r.Height(), 10, CChannel::kMaxSamples);
        m_access->AddEchogramAngles(m_angles.data(), n, m_ping.start, SampleReference());
        for (int k = 0; k < n; ++k) {
            const std::uint16_t word = m_angles[static_cast<std::size_t>(k)];
            const int byte = static_cast<std::int8_t>(side == 0 ? word >> 8 : word & 0xFF);
            m_values[static_cast<std::size_t>(k)] = std::max(byte * 16, -2048);
        }
        DrawAdTrace(p, m_values.data(), nullptr, n, r, "-127", "+128");
    }
}

void CScopeView::DrawWideBand(QPainter& p)
{
    const CScopeDebugSettings& d = m_dialog;
    using Kind = CChannel::TraceKind;
    const CScopePicture::SFixedLimits fixed{d.useMaximum != 0, d.useMinimum != 0, d.maximum, d.minimum};
    const double start = m_ping.start, stop = m_ping.start + m_ping.range;
    const int bottom = GetHeight();
    double distance = 0.0;
    bool haveHgMean = false;
    double hgMean = 0.0;
    auto label = [&](const CScopeDebugSettings::Rect& r, const char* text) {
        p.setPen(Index(kLines));
        DrawText(p, r.left + 20, 0, text);
    };
    // One curve with its own axis.
    auto single = [&](const CScopeDebugSettings::Rect& r, int n, double cap, double* mean) {
        CScopePicture::SAxis axis;
        if (!CScopePicture::FormatAxisValue(m_traceA.data(), n, fixed, axis)) {
            // No curve: the column keeps its edges.
            DrawTrace(p, m_traceA.data(), 0, r, 0.0, 0.0, {}, {}, 2, 0.0);
            return false;
        }
        axis.maximum = std::min(axis.maximum, cap);
        DrawTrace(p, m_traceA.data(), n, r, axis.maximum, axis.minimum, axis.minLabel, axis.maxLabel, 2, axis.mean);
        if (mean)
            *mean = axis.mean;
        return true;
    };
    // Two curves on their common range.
    auto pair = [&](const CScopeDebugSettings::Rect& r, int na, int nb) {
        CScopePicture::SAxis a, b;
        const bool hasA = CScopePicture::FormatAxisValue(m_traceA.data(), na, fixed, a);
        const bool hasB = CScopePicture::FormatAxisValue(m_traceB.data(), nb, fixed, b);
        if (!hasA && !hasB) {
            DrawTrace(p, m_traceA.data(), 0, r, 0.0, 0.0, {}, {}, 2, 0.0);
            return;
        }
        const CScopePicture::SAxis& top = !hasB || (hasA && a.maximum >= b.maximum) ? a : b;
        const CScopePicture::SAxis& low = !hasB || (hasA && a.minimum <= b.minimum) ? a : b;
        if (hasA)
            DrawTrace(p, m_traceA.data(), na, r, top.maximum, low.minimum, low.minLabel, top.maxLabel, 2, a.mean);
        if (hasB)
            DrawTrace(p, m_traceB.data(), nb, r, top.maximum, low.minimum, low.minLabel, top.maxLabel, 3, b.mean);
    };
    if (d.nvuAbsolute) {
        const auto& r = d.columns[CScopeDebugSettings::kNvuAbsolute];
        const int n = m_access->GetScopeTrace(Kind::Linear, 1, m_traceA.data(), kTraceLength, start, stop, distance);
        haveHgMean = single(r, n, HUGE_VAL, &hgMean);
        label(r, "HG Abs");
    }
    if (d.nvuReal) {
        const auto& r = d.columns[CScopeDebugSettings::kNvuReal];
        const int na = m_access->GetScopeTrace(Kind::Float, 2, m_traceA.data(), kTraceLength, start, stop, distance);
        const int nb = m_access->GetScopeTrace(Kind::Float, 1, m_traceB.data(), kTraceLength, start, stop, distance);
        pair(r, na, nb);
        label(r, "HG R=real B=imag");
    }
    if (d.nvuCurrent) {
        const auto& r = d.columns[CScopeDebugSettings::kNvuCurrent];
        const int n = m_access->GetScopeTrace(Kind::Linear, 2, m_traceA.data(), kTraceLength, start, stop, distance);
        double lgMean = 0.0;
        // Without the HG curve of this drawing there is no ratio to show.
        if (single(r, n, HUGE_VAL, &lgMean) && haveHgMean && hgMean > 0.0 && lgMean > 0.0) {
            p.setPen(Index(kLines));
            DrawText(p, r.left + 20, bottom - 17,
                     hgMean > lgMean ? FormatDouble("Hg/Lg %.2f ", hgMean / lgMean)
                                     : FormatDouble("Lg/Hg %.2f ", lgMean / hgMean));
        }
        label(r, "LG Abs");
    }
    if (d.nvuImaginary) {
        const auto& r = d.columns[CScopeDebugSettings::kNvuImaginary];
        const int na = m_access->GetScopeTrace(Kind::Packed, 2, m_traceA.data(), kTraceLength, start, stop, distance);
        const int nb = m_access->GetScopeTrace(Kind::Packed, 1, m_traceB.data(), kTraceLength, start, stop, distance);
        pair(r, na, nb);
        label(r, "LG R=real B=imag");
    }
    if (d.nvuPhase) {
        const auto& r = d.columns[CScopeDebugSettings::kNvuPhase];
        const int n = m_access->GetScopeTrace(Kind::Angle, 1, m_traceA.data(), kTraceLength, start, stop, distance);
        single(r, n, HUGE_VAL, nullptr);
        label(r, "Phase B=Volt R=Current");
    }
    if (d.nvuImpedance) {
        const auto& r = d.columns[CScopeDebugSettings::kNvuImpedance];
        int n = m_access->GetScopeTrace(Kind::Combined, 1, m_traceA.data(), kTraceLength, 0.0, m_ping.range, distance);
        // One transmit pulse of samples; without a time per sample, none.
        const double perSample = m_access->GetScopeSampleTime();
        const double pulse = perSample > 0.0 ? m_ping.parameters.PulseLength / perSample : 0.0;
        n = std::isfinite(pulse) ? std::min(n, static_cast<int>(std::clamp(pulse, 0.0, double(kTraceLength)))) : 0;
        single(r, n, 150.0, nullptr);
        label(r, "Impedance");
    }
    if (d.nvu16Bit) {
        const auto& r = d.columns[CScopeDebugSettings::kNvu16Bit];
        const int n = m_access->GetScopeTrace(Kind::Combined, 2, m_traceA.data(), kTraceLength, start, stop, distance);
        single(r, n, HUGE_VAL, nullptr);
    }
}
