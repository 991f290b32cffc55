#include "app/widgets/SpinButtonDoubleCtrl.h"

#include <QVBoxLayout>

#include <tuple>

namespace app {

CSpinButtonDoubleCtrl::CSpinButtonDoubleCtrl(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    using Row = std::tuple<QToolButton*, Qt::ArrowType, int>;
    for (auto [button, arrow, dir] : {Row{m_up, Qt::UpArrow, 1}, Row{m_down, Qt::DownArrow, -1}}) {
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(300);
        button->setAutoRepeatInterval(100);
        layout->addWidget(button);
        connect(button, &QToolButton::pressed, this, [this] { m_held.start(); });
        connect(button, &QToolButton::clicked, this, [this, dir = dir] { Press(dir); });
    }
}

void CSpinButtonDoubleCtrl::Press(int direction)
{
    // The acceleration: the step's position moves i + 1 after 3 x i seconds.
    const auto table = m_value.AccelerationTable();
    const qint64 seconds = m_held.isValid() ? m_held.elapsed() / 1000 : 0;
    int increment = 1;
    for (const auto& entry : table)
        if (seconds >= entry.seconds)
            increment = static_cast<int>(entry.increment);
    OnDeltaPos(direction * increment);
}

void CSpinButtonDoubleCtrl::OnDeltaPos(int delta)
{
    if (!m_buddy)
        return;
    m_buddy->setText(QString::fromStdString(m_value.Step(m_buddy->text().toStdString(), delta)));
    if (m_value.IsInitialised())
        Q_EMIT valueChanged(m_value.Value());
}

}  // namespace app
