#include "display/ui/RangeDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

using widgets::StandardButtons;
using widgets::WithId;

CRangeDialog::CRangeDialog(int templateId, const QString& title, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString("dialog_%1").arg(templateId));
    setWindowTitle(title);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);
    auto* layout = new QVBoxLayout(this);
    m_row = new QHBoxLayout;
    layout->addLayout(m_row);
}

void CRangeDialog::AddColumn(const QString& heading, const ColumnIds& ids, const Presets& presets, double value,
                             int decimals, const QString& unit)
{
    const int index = static_cast<int>(m_columns.size());
    Column c;
    c.presets = presets;
    c.decimals = decimals;
    c.value = value;

    auto* box = new QGroupBox(heading, this);
    auto* grid = new QGridLayout(box);
    c.slider = WithId(new QSlider(Qt::Vertical, box), ids.slider);
    // The top of the slider is the first (smallest) preset.
    c.slider->setInvertedAppearance(true);
    c.slider->setInvertedControls(true);
    c.slider->setTickPosition(QSlider::TicksBothSides);
    c.slider->setRange(0, std::max(0, presets.last));
    c.slider->setPageStep(1);
    auto* minLabel = WithId(new QLabel(widgets::FormatNumber(presets.preset(0), decimals), box), ids.minLabel);
    auto* maxLabel =
        WithId(new QLabel(widgets::FormatNumber(presets.preset(presets.last), decimals), box), ids.maxLabel);
    c.edit = WithId(new QLineEdit(widgets::FormatNumber(value, decimals), box), ids.edit);
    c.spin = WithId(new app::CSpinButtonDoubleCtrl(box), ids.spin);
    c.spin->SetBuddy(c.edit);
    c.spin->SetRangeDouble(decimals, presets.preset(0), presets.preset(presets.last));
    auto* unitLabel = WithId(new QLabel(unit, box), ids.unit);
    grid->addWidget(minLabel, 0, 0);
    grid->addWidget(c.slider, 1, 0, 3, 1);
    grid->addWidget(maxLabel, 4, 0);
    grid->addWidget(c.spin, 2, 1);
    grid->addWidget(c.edit, 2, 2);
    grid->addWidget(unitLabel, 2, 3);
    m_row->addWidget(box);

    m_moving = true;
    c.slider->setValue(std::clamp(presets.nearest(value), 0, presets.last));
    m_moving = false;
    connect(c.slider, &QSlider::valueChanged, this, [this, index](int position) { OnSlider(index, position); });
    connect(c.spin, &app::CSpinButtonDoubleCtrl::valueChanged, this, [this, index](double v) { OnSpin(index, v); });
    // The arrow keys in the edit press the up-down control.
    c.edit->installEventFilter(this);
    m_columns.push_back(c);
}

void CRangeDialog::Finish()
{
    auto* buttons = StandardButtons(this, true);
    layout()->addWidget(buttons);
}

void CRangeDialog::SetColumnEnabled(int column, bool enabled)
{
    Column& c = m_columns[static_cast<std::size_t>(column)];
    c.slider->setEnabled(enabled);
    c.spin->setEnabled(enabled);
    c.edit->setEnabled(enabled);
}

bool CRangeDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (Column& c : m_columns)
            if (watched == c.edit && (key == Qt::Key_Up || key == Qt::Key_Down)) {
                c.spin->OnDeltaPos(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

void CRangeDialog::OnSlider(int column, int position)
{
    if (m_moving)
        return;
    Column& c = m_columns[static_cast<std::size_t>(column)];
    c.value = c.presets.preset(position);
    c.edit->setText(widgets::FormatNumber(c.value, c.decimals));
}

void CRangeDialog::OnSpin(int column, double value)
{
    // The slider follows; the value itself is read from the edit on OK.
    Column& c = m_columns[static_cast<std::size_t>(column)];
    m_moving = true;
    c.slider->setValue(std::clamp(c.presets.nearest(value), 0, c.presets.last));
    m_moving = false;
}

bool CRangeDialog::TakeValues()
{
    std::vector<double> values;
    for (Column& c : m_columns) {
        double v = 0.0;
        if (!widgets::CheckRange(c.edit, c.presets.preset(0), c.presets.preset(c.presets.last), v))
            return false;
        values.push_back(v);
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        m_columns[i].value = values[i];
    return true;
}

double CRangeDialog::Value(int column) const
{
    return m_columns[static_cast<std::size_t>(column)].value;
}
QSlider* CRangeDialog::Slider(int column) const
{
    return m_columns[static_cast<std::size_t>(column)].slider;
}
QLineEdit* CRangeDialog::Edit(int column) const
{
    return m_columns[static_cast<std::size_t>(column)].edit;
}
app::CSpinButtonDoubleCtrl* CRangeDialog::Spin(int column) const
{
    return m_columns[static_cast<std::size_t>(column)].spin;
}

void CRangeDialog::accept()
{
    if (TakeValues())
        QDialog::accept();
}
