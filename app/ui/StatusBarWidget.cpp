#include "app/ui/StatusBarWidget.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace app {

CStatusBarWidget::CStatusBarWidget(CStatus& status, QWidget* parent)
    : QWidget(parent), m_status(status), m_mainRow(new QWidget(this)), m_secondRow(new QWidget(this))
{
    setObjectName("StatusBar");
    QFont arial = font();
    arial.setFamily("Arial");
    setFont(arial);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(1);
    rows->addWidget(m_mainRow);
    rows->addWidget(m_secondRow);
    m_mainLayout = new QHBoxLayout(m_mainRow);
    m_secondLayout = new QHBoxLayout(m_secondRow);
    for (auto* l : {m_mainLayout, m_secondLayout}) {
        l->setContentsMargins(2, 0, 2, 0);
        l->setSpacing(2);
    }
    m_alarm = new QLabel(this);
    m_alarm->setObjectName("AlarmText");
    m_alarm->setStyleSheet("QLabel { color: rgb(255,0,0); background: rgb(192,192,192); }");
    m_alarm->hide();
    // Marked while paper printing runs.
    m_print = new QLabel("Print", this);
    m_print->setObjectName("PrintIndicator");
    m_print->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_print->hide();
    for (const auto& pane : m_status.Panes()) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("pane_%1").arg(pane.id));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->installEventFilter(this);
        m_labels[pane.id] = label;
    }
    Rebuild();
}

QLabel* CStatusBarWidget::PaneLabel(unsigned id) const
{
    auto it = m_labels.find(id);
    return it == m_labels.end() ? nullptr : it->second;
}

bool CStatusBarWidget::SecondRowVisible() const
{
    return !m_secondRow->isHidden();
}

void CStatusBarWidget::ShowStatusText(const std::string& text)
{
    m_messageText = text;
    if (auto* label = PaneLabel(0))
        label->setText(QString::fromStdString(text));
}

void CStatusBarWidget::ShowAlarmText(const std::string& text)
{
    m_alarm->setText(QString::fromStdString(text));
    m_alarm->setVisible(!text.empty());
}

void CStatusBarWidget::PanesChanged()
{
    Rebuild();
}

void CStatusBarWidget::Rebuild()
{
    // Every pane goes back into its row in the order of the pane table, so
    // that panes returning from the second row take their old places.
    std::vector<std::pair<unsigned, bool>> placement;
    for (const auto& pane : m_status.Panes())
        placement.emplace_back(pane.id, pane.inSecondBar);
    const bool moved = placement != m_placement;
    m_placement = placement;
    if (moved) {
        for (QHBoxLayout* layout : {m_mainLayout, m_secondLayout})
            while (QLayoutItem* item = layout->takeAt(0))
                delete item;  // the item only: the labels stay
    }
    for (const auto& pane : m_status.Panes()) {
        QLabel* label = PaneLabel(pane.id);
        if (!label)
            continue;
        if (moved) {
            if (pane.id == 0)
                m_mainLayout->addWidget(m_alarm);
            (pane.inSecondBar ? m_secondLayout : m_mainLayout)->addWidget(label, pane.id == 0 ? 1 : 0);
        }
        if (pane.id != 0) {
            QString text = QString::fromStdString(pane.text);
            if (pane.id == ids::ACTIVITY && pane.active) {
                // The two pictures of the indicator, in turn.
                m_activityPhase = !m_activityPhase;
                text = m_activityPhase ? QString::fromUtf8("\u25CF") : QString::fromUtf8("\u25CB");
            }
            label->setText(text);
        }
        const bool hidden = (pane.style & SBPS_DISABLED_NOBORDERS) == SBPS_DISABLED_NOBORDERS && pane.width == 0;
        label->setVisible(!hidden);
        if (pane.width > 0)
            label->setFixedWidth(pane.width);
        const bool red = (pane.style & SBPS_OWNERDRAW) && pane.id != ids::ACTIVITY;
        label->setStyleSheet(red ? "QLabel { color: rgb(255,0,0); background: rgb(192,192,192); }" : QString());
        label->setFrameStyle(pane.style & SBPS_POPOUT ? (QFrame::Panel | QFrame::Raised)
                                                      : (QFrame::Panel | QFrame::Sunken));
    }
    if (moved) {
        m_mainLayout->addWidget(m_print);
        m_secondLayout->addStretch(1);
    }
    m_print->setVisible(m_status.PrintingIndicator());
    m_alarm->setVisible(!m_alarm->text().isEmpty());
    m_secondRow->setVisible(m_status.SecondBarInUse());
}

void CStatusBarWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_status.OnBarWidth(width());
}

bool CStatusBarWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        for (const auto& [id, label] : m_labels) {
            if (label == watched && mouse->button() == Qt::LeftButton && onPaneClicked) {
                onPaneClicked(id);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace app
