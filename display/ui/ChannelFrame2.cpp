#include "display/ui/ChannelFrame2.h"

#include "base/Archive.h"
#include "display/DepthDoc.h"
#include "display/EchoTraceDoc.h"
#include "display/EchogramDoc.h"

#include <QSplitter>

#include <string>

CChannelFrame2::CChannelFrame2(int width, int height, const SFrameContext& context, QWidget* parent)
    : CChannelFrameAbstract(width, height, context, parent)
{
    CChannelFrame2::SetDefaults();
}

CChannelFrame2::~CChannelFrame2() = default;

CChannelFrame2::Geometry CChannelFrame2::ComputeGeometry(int cx, int cy, double firstRatio, double lastRatio,
                                                         double topHeight, double rowRatio)
{
    Geometry g;
    g.top = static_cast<int>(topHeight);
    if (cy < g.top)
        g.top = cy;
    g.col0 = static_cast<int>(cx * firstRatio);
    g.col2 = static_cast<int>(cx * lastRatio);
    g.col1 = cx - g.col2 - g.col0;
    g.row0 = static_cast<int>((cy - g.top) * rowRatio);
    g.row1 = cy - g.row0 - g.top;
    return g;
}

bool CChannelFrame2::OnCreateClient(int cx, int cy)
{
    const Geometry g = ComputeGeometry(cx, cy, m_firstColumnRatio, m_lastColumnRatio, m_topHeight, m_rowRatio);
    if (!CreateOuter(cx, g.top))
        return false;
    m_inner = new QSplitter(Qt::Vertical, m_outer);
    m_outer->addWidget(m_inner);
    const int rowHeights[2] = {g.row0, g.row1};
    for (int r = 0; r < 2; ++r) {
        m_rows[r] = new QSplitter(Qt::Horizontal, m_inner);
        m_inner->addWidget(m_rows[r]);
        CEchoTraceDoc* trace = AddEchoTrace(m_rows[r], g.col0, rowHeights[r]);
        CEchogramDoc* doc = AddEchogram(m_rows[r], g.col1, rowHeights[r]);
        trace->SetCompanion(doc);
        AddScope(m_rows[r], doc, g.col2, rowHeights[r]);
    }
    QObject::connect(m_rows[0], &QSplitter::splitterMoved, m_rows[1],
                     [this] { m_rows[1]->setSizes(m_rows[0]->sizes()); });
    QObject::connect(m_rows[1], &QSplitter::splitterMoved, m_rows[0],
                     [this] { m_rows[0]->setSizes(m_rows[1]->sizes()); });
    m_outer->setSizes({g.top, cy - g.top});
    m_inner->setSizes({g.row0, g.row1});
    for (QSplitter* row : m_rows)
        row->setSizes({g.col0, g.col1, g.col2});
    SendInitialUpdates();
    WatchSplitBars(true);
    return true;
}

void CChannelFrame2::ApplyProportions()
{
    if (!m_inner)
        return;
    const int w = ReferenceWidth() - kBars;
    const int h = m_height >= 0 ? m_height : height();
    const int col0 = static_cast<int>(w * m_firstColumnRatio);
    const int col1 = static_cast<int>((1.0 - m_lastColumnRatio - m_firstColumnRatio) * w);
    const int col2 = static_cast<int>(w * m_lastColumnRatio);
    for (QSplitter* row : m_rows)
        row->setSizes({col0, std::max(0, col1), col2});
    ApplyRowProportions(h);
}

void CChannelFrame2::SetDefaults()
{
    m_firstColumnRatio = 0.2;
    m_lastColumnRatio = 0.15;
    m_topHeight = 20.0;
    m_rowRatio = 0.65;
    ApplyProportions();
    SetDocumentDefaults();
}

void CChannelFrame2::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        if (m_inner) {
            const QList<int> columns = m_rows[0]->sizes();
            if (columns.size() == 3 && columns[0] + columns[1] + columns[2] > 0) {
                m_firstColumnRatio = SafeRatio(columns[0], ReferenceWidth() - kBars, m_firstColumnRatio);
                m_lastColumnRatio = SafeRatio(columns[2], ReferenceWidth() - kBars, m_lastColumnRatio);
            }
            TakeRowProportions();
        }
        ar << std::string(kVersion) << m_firstColumnRatio << m_lastColumnRatio << m_topHeight << m_rowRatio;
    } else {
        std::string version;
        ar >> version;
        if (version != kVersion)
            return;
        double first = 0.0, last = 0.0, top = 0.0, row = 0.0;
        ar >> first >> last >> top >> row;
        m_firstColumnRatio = CheckedShare(first, 0.2);
        m_lastColumnRatio = CheckedShare(last, 0.15);
        // Two shares that overlap would leave the middle column negative.
        if (m_firstColumnRatio + m_lastColumnRatio > 1.0) {
            m_firstColumnRatio = 0.2;
            m_lastColumnRatio = 0.15;
        }
        m_topHeight = CheckedHeight(top, 20.0);
        m_rowRatio = CheckedShare(row, 0.65);
        ApplyProportions();
    }
    SerializeDocuments(ar);
}
