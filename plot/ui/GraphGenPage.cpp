#include "plot/ui/GraphGenPage.h"

#include "plot/PlotIds.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/PlotFields.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using plotfields::WithId;

namespace {

QCheckBox* Flag(const char* text, int id, unsigned flags, unsigned flag, QWidget* parent)
{
    auto* box = WithId(new QCheckBox(QString::fromLatin1(text), parent), id);
    box->setChecked(flags & flag);
    return box;
}

}  // namespace

CGraphGenPage::CGraphGenPage(CGraphView& view, QWidget* parent) : CGraphSheetPage(parent), m_graphix(*view.GetGraphix())
{
    setObjectName(QString::number(plot::IDD_GRAPH_GEN_PAGE));
    const CAxisFormat& x = view.GetAxisFormat(plot::kAxisX);
    const CAxisFormat& y = view.GetAxisFormat(plot::kAxisY);
    const CPlotRanges r = m_graphix.GetAxisRanges();
    const auto field = [this](double value, int id) {
        return WithId(new QLineEdit(plotfields::FormatNumber(value), this), id);
    };
    m_xFrom = field(x.Rounded(r.x1), plot::IDC_GEN_X_FROM);
    m_xTo = field(x.Rounded(r.x2), plot::IDC_GEN_X_TO);
    m_yFrom = field(y.Rounded(r.y1), plot::IDC_GEN_Y_FROM);
    m_yTo = field(y.Rounded(r.y2), plot::IDC_GEN_Y_TO);
    const unsigned flags = m_graphix.GetDisplayFlags();
    m_autoRange = Flag("Widen ranges automatically", plot::IDC_GEN_AUTO_RANGE, flags, plot::DF_AUTO_RANGE, this);
    m_markers = Flag("Point markers", plot::IDC_GEN_MARKERS, flags, plot::DF_MARKERS, this);
    m_mouseTip = Flag("Mouse coordinates", plot::IDC_GEN_MOUSE_TIP, flags, plot::DF_MOUSE_TIP, this);
    m_grid = Flag("Axis grid", plot::IDC_GEN_GRID, flags, plot::DF_GRID, this);

    auto* ranges = new QGridLayout;
    ranges->addWidget(new QLabel(QStringLiteral("from"), this), 0, 1);
    ranges->addWidget(new QLabel(QStringLiteral("to"), this), 0, 2);
    ranges->addWidget(new QLabel(QStringLiteral("Horizontal axis:"), this), 1, 0);
    ranges->addWidget(m_xFrom, 1, 1);
    ranges->addWidget(m_xTo, 1, 2);
    ranges->addWidget(new QLabel(QStringLiteral("Vertical axis:"), this), 2, 0);
    ranges->addWidget(m_yFrom, 2, 1);
    ranges->addWidget(m_yTo, 2, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(ranges);
    for (QCheckBox* box : {m_autoRange, m_markers, m_mouseTip, m_grid})
        layout->addWidget(box);
    layout->addStretch(1);
}

bool CGraphGenPage::Validate()
{
    // A range end that is not a finite number, or a range wider than a
    // double holds, would leave the plot without a scale.
    return plotfields::TakeRange(m_xFrom, m_xTo, m_ranges[0], m_ranges[1]) &&
           plotfields::TakeRange(m_yFrom, m_yTo, m_ranges[2], m_ranges[3]);
}

void CGraphGenPage::Apply()
{
    m_graphix.SetAxisRanges(m_ranges[0], m_ranges[1], m_ranges[2], m_ranges[3], false);
    unsigned flags = m_graphix.GetDisplayFlags();
    const auto set = [&flags](QCheckBox* box, unsigned flag) {
        flags = box->isChecked() ? flags | flag : flags & ~flag;
    };
    set(m_mouseTip, plot::DF_MOUSE_TIP);
    set(m_autoRange, plot::DF_AUTO_RANGE);
    set(m_markers, plot::DF_MARKERS);
    set(m_grid, plot::DF_GRID);
    m_graphix.SetDisplayFlags(flags, false);
}
