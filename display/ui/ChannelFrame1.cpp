#include "display/ui/ChannelFrame1.h"

#include "base/Archive.h"
#include "display/DepthDoc.h"
#include "display/EchogramDoc.h"

#include <QSplitter>

#include <string>

CChannelFrame1::CChannelFrame1(int width, int height, const SFrameContext& context, QWidget* parent)
    : CChannelFrameAbstract(width, height, context, parent)
{
    // Only the stored values: there are no panes yet.
    CChannelFrame1::SetDefaults();
}

CChannelFrame1::~CChannelFrame1() = default;

CChannelFrame1::Geometry CChannelFrame1::ComputeGeometry(int cx, int cy, double columnRatio, double topHeight,
                                                         double rowRatio)
{
    Geometry g;
    g.top = static_cast<int>(topHeight);
    if (cy < g.top)
        g.top = cy;
    g.col1 = static_cast<int>(cx * columnRatio);
    g.col0 = cx - g.col1;
    g.row0 = static_cast<int>((cy - g.top) * rowRatio);
    g.row1 = cy - g.row0 - g.top;
    return g;
}

bool CChannelFrame1::OnCreateClient(int cx, int cy)
{
    const Geometry g = ComputeGeometry(cx, cy, m_columnRatio, m_topHeight, m_rowRatio);
    if (!CreateOuter(cx, g.top))
        return false;
    m_inner = new QSplitter(Qt::Vertical, m_outer);
    m_outer->addWidget(m_inner);
    const int rowHeights[2] = {g.row0, g.row1};
    for (int r = 0; r < 2; ++r) {
        m_rows[r] = new QSplitter(Qt::Horizontal, m_inner);
        m_inner->addWidget(m_rows[r]);
        CEchogramDoc* doc = AddEchogram(m_rows[r], g.col0, rowHeights[r]);
        (r == 0 ? m_upperEchogram : m_lowerEchogram) = doc;
        AddScope(m_rows[r], doc, g.col1, rowHeights[r]);
    }
    // The two rows share their columns.
    QObject::connect(m_rows[0], &QSplitter::splitterMoved, m_rows[1],
                     [this] { m_rows[1]->setSizes(m_rows[0]->sizes()); });
    QObject::connect(m_rows[1], &QSplitter::splitterMoved, m_rows[0],
                     [this] { m_rows[0]->setSizes(m_rows[1]->sizes()); });
    m_outer->setSizes({g.top, cy - g.top});
    m_inner->setSizes({g.row0, g.row1});
    for (QSplitter* row : m_rows)
        row->setSizes({g.col0, g.col1});
    SendInitialUpdates();
    WatchSplitBars(false);
    m_depthDoc->m_upperEchogram = m_upperEchogram;
    m_depthDoc->m_lowerEchogram = m_lowerEchogram;
    return true;
}

void CChannelFrame1::ApplyProportions()
{
    if (!m_inner)
        return;
    const int w = ReferenceWidth() - kBars;
    const int h = m_height >= 0 ? m_height : height();
    const int col0 = static_cast<int>(w * (1.0 - m_columnRatio));
    const int col1 = static_cast<int>(m_columnRatio * w);
    for (QSplitter* row : m_rows)
        row->setSizes({col0, col1});
    ApplyRowProportions(h);
}

void CChannelFrame1::SetDefaults()
{
    m_columnRatio = 0.15;
    m_topHeight = 20.0;
    m_rowRatio = 0.65;
    ApplyProportions();
    SetDocumentDefaults();
}

void CChannelFrame1::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        if (m_inner) {
            const QList<int> columns = m_rows[0]->sizes();
            // Sizes of panes not laid out yet say nothing: the values stay.
            if (columns.size() == 2 && columns[0] + columns[1] > 0)
                m_columnRatio = SafeRatio(columns[1], ReferenceWidth() - kBars, m_columnRatio);
            TakeRowProportions();
        }
        ar << std::string(kVersion) << m_columnRatio << m_topHeight << m_rowRatio;
    } else {
        std::string version;
        ar >> version;
        if (version != kVersion)
            return;  // another frame kind's file: nothing of it applies here
        double column = 0.0, top = 0.0, row = 0.0;
        ar >> column >> top >> row;
        m_columnRatio = CheckedShare(column, 0.15);
        m_topHeight = CheckedHeight(top, 20.0);
        m_rowRatio = CheckedShare(row, 0.65);
        ApplyProportions();
    }
    SerializeDocuments(ar);
}
