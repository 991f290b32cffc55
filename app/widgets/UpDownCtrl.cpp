#include "app/widgets/UpDownCtrl.h"

#include <QToolButton>
#include <QVBoxLayout>

CUpDownCtrl::CUpDownCtrl(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_up->setAutoRepeat(true);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    m_down->setAutoRepeat(true);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { Q_EMIT deltaPos(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Q_EMIT deltaPos(-1); });
}

void CUpDownCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
}
