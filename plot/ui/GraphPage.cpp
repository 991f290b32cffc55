#include "plot/ui/GraphPage.h"

#include "plot/PlotIds.h"
#include "plot/ui/GrPointsCombo.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/PlotFields.h"
#include "plot/ui/TitlePrompt.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using plotfields::WithId;

CGraphPage::CGraphPage(CGraphView& view, QWidget* parent)
    : CGraphSheetPage(parent),
      m_view(view),
      m_combo(new CGrPointsCombo(m_copies, this)),
      m_name(WithId(new QLineEdit(this), plot::IDC_GRAPH_NAME)),
      m_title(WithId(new QPushButton(QStringLiteral("Title..."), this), plot::IDC_GRAPH_TITLE)),
      m_colour(WithId(new QPushButton(QStringLiteral("Colour..."), this), plot::IDC_GRAPH_COLOUR)),
      m_show(WithId(new QPushButton(QStringLiteral("Hide"), this), plot::IDC_GRAPH_SHOW)),
      m_showAll(WithId(new QPushButton(QStringLiteral("Show all"), this), plot::IDC_GRAPH_SHOW_ALL))
{
    setObjectName(QString::number(plot::IDD_GRAPH_PAGE));
    for (int slot = 0; slot < CGraphModel::kMaxGraphs; ++slot) {
        if (const CGraphProp* curve = view.GetGraph(slot)) {
            auto copy = std::make_unique<CGraphProp>(*curve);
            copy->SetSlot(slot);
            m_combo->addItem(QString::fromStdString(copy->GetName()), static_cast<int>(m_copies.size()));
            m_copies.push_back(std::move(copy));
        }
    }
    m_name->setReadOnly(true);
    // Without curves nothing is selected and nothing can be changed.
    const bool any = !m_copies.empty();
    m_combo->setCurrentIndex(any ? 0 : -1);
    for (QPushButton* button : {m_title, m_colour, m_show, m_showAll})
        button->setEnabled(any);
    OnSelect();

    connect(m_combo, &QComboBox::currentIndexChanged, this, [this] { OnSelect(); });
    connect(m_title, &QPushButton::clicked, this, [this] { OnTitle(); });
    connect(m_colour, &QPushButton::clicked, this, [this] { OnColour(); });
    connect(m_show, &QPushButton::clicked, this, [this] { OnShow(); });
    connect(m_showAll, &QPushButton::clicked, this, [this] { OnShowAll(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Curve:"), this), 0, 0);
    layout->addWidget(m_combo, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Name:"), this), 1, 0);
    layout->addWidget(m_name, 1, 1);
    layout->addWidget(m_title, 2, 1);
    layout->addWidget(m_colour, 3, 1);
    layout->addWidget(m_show, 4, 1);
    layout->addWidget(m_showAll, 5, 1);
    layout->setRowStretch(6, 1);
}

CGraphPage::~CGraphPage() = default;

CGraphProp* CGraphPage::SelectedCopy() const
{
    const int entry = m_combo->currentIndex();
    return entry >= 0 ? m_copies[static_cast<size_t>(m_combo->itemData(entry).toInt())].get() : nullptr;
}

void CGraphPage::ShowButtonText()
{
    const CGraphProp* copy = SelectedCopy();
    m_show->setText(!copy || copy->IsVisible() ? QStringLiteral("Hide") : QStringLiteral("Show"));
}

void CGraphPage::OnSelect()
{
    const CGraphProp* copy = SelectedCopy();
    ShowButtonText();
    m_name->setText(copy ? QString::fromStdString(copy->GetName()) : QString());
    m_combo->update();
}

void CGraphPage::OnTitle()
{
    CGraphProp* copy = SelectedCopy();
    if (!copy)
        return;
    CTitlePrompt prompt(QString::fromStdString(copy->GetName()), this);
    if (prompt.exec() != QDialog::Accepted)
        return;
    copy->SetName(prompt.GetTitle().toStdString());
    m_combo->Repaint();
    m_name->setText(prompt.GetTitle());
}

void CGraphPage::OnColour()
{
    CGraphProp* copy = SelectedCopy();
    if (!copy)
        return;
    const QColor colour = QColorDialog::getColor(CGraphix::ColourOf(copy->GetColor()), this);
    if (!colour.isValid())
        return;
    copy->SetColor(static_cast<PlotColour>(colour.red()) | static_cast<PlotColour>(colour.green()) << 8 |
                   static_cast<PlotColour>(colour.blue()) << 16);
    m_combo->Repaint();
}

void CGraphPage::OnShow()
{
    if (CGraphProp* copy = SelectedCopy()) {
        copy->SetVisible(!copy->IsVisible());
        ShowButtonText();
    }
}

void CGraphPage::OnShowAll()
{
    for (auto& copy : m_copies)
        copy->SetVisible(true);
    ShowButtonText();
}

void CGraphPage::Apply()
{
    for (const auto& copy : m_copies) {
        if (CGraphProp* curve = m_view.GetGraph(copy->GetSlot())) {
            curve->CopyProperties(*copy);
            m_view.NotifyPropertiesChanged(copy->GetSlot(), 0);
        }
    }
}
