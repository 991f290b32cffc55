#include "display/ui/ColorScaleDialog.h"

#include "app/widgets/UpDownCtrl.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

using widgets::WithId;

namespace {

constexpr CColorScaleDialog::Row kRows[] = {
    {"No TVG:", 1012, 1051, 1006},
    {"20 log TVG:", 1010, 1052, 1007},
    {"40 log TVG:", 1013, 1053, 1008},
    {"Bottom TVG:", 1014, 1054, 1214},
};

}  // namespace

CColorScaleDialog::CColorScaleDialog(const ColorScaleDialogValues& values, QWidget* parent)
    : CColorScaleDialog(values, kTemplate, parent)
{
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 4; ++i)
        AddRow(grid, i, i, kRows[i]);
    AddButtons(grid, 4);
    OnInitDialog();
}

CColorScaleDialog::CColorScaleDialog(const ColorScaleDialogValues& values, int templateId, QWidget* parent)
    : QDialog(parent), m_values(values), m_rows(ColorScaleDialogValues::kRows)
{
    setObjectName(QString("dialog_%1").arg(templateId));
    setWindowTitle("Colour Scale");
    QFont font("Arial");
    font.setPointSize(8);
    setFont(font);
}

void CColorScaleDialog::AddRow(QGridLayout* grid, int line, int index, const Row& row)
{
    QWidget* parent = grid->parentWidget();
    Controls& c = m_rows[index];
    c.upDown = WithId(new CUpDownCtrl(parent), row.upDown);
    c.edit = WithId(new QLineEdit(parent), row.edit);
    c.slider = WithId(new QSlider(Qt::Horizontal, parent), row.slider);
    c.edit->installEventFilter(this);
    // Room for "100" and a little more; the slider takes the rest.
    c.edit->setMaximumWidth(c.edit->fontMetrics().horizontalAdvance("00000") + 12);
    c.slider->setMinimumWidth(160);
    grid->addWidget(new QLabel(row.label, parent), line, 0);
    grid->addWidget(c.upDown, line, 1);
    grid->addWidget(c.edit, line, 2);
    grid->addWidget(new QLabel("100", parent), line, 3);
    grid->addWidget(c.slider, line, 4);
    grid->addWidget(new QLabel("0", parent), line, 5);
    connect(c.slider, &QSlider::valueChanged, this, [this, index] { OnHScroll(index); });
    connect(c.upDown, &CUpDownCtrl::deltaPos, this, [this, index](int delta) { OnVScroll(index, delta); });
}

void CColorScaleDialog::AddButtons(QGridLayout* grid, int line)
{
    grid->addWidget(widgets::StandardButtons(this, true), line, 0, 1, 6);
}

void CColorScaleDialog::OnInitDialog()
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Controls& c = m_rows[i];
        if (!c.edit)
            continue;
        c.edit->setText(QString::number(m_values.values[i]));
        c.upDown->SetRange(kMinimum, kMaximum);
        const QSignalBlocker quiet(c.slider);
        c.slider->setRange(kMinimum, kMaximum);
        c.slider->setTickPosition(QSlider::TicksBelow);
        c.slider->setTickInterval(10);
        c.slider->setValue(kMaximum - m_values.values[i]);
    }
}

void CColorScaleDialog::OnHScroll(int index)
{
    const Controls& c = m_rows[index];
    m_values.values[index] = kMaximum - c.slider->value();
    c.edit->setText(QString::number(m_values.values[index]));
}

void CColorScaleDialog::OnVScroll(int index, int delta)
{
    const Controls& c = m_rows[index];
    widgets::StepWholeNumber(c.edit, delta, c.upDown->Lower(), c.upDown->Upper());
    // The value itself is taken from the edit on OK.
    const QSignalBlocker quiet(c.slider);
    c.slider->setValue(kMaximum - c.edit->text().toInt());
}

bool CColorScaleDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys in an edit step it as its up-down control does.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].edit == watched && (key == Qt::Key_Up || key == Qt::Key_Down)) {
                OnVScroll(static_cast<int>(i), key == Qt::Key_Up ? 1 : -1);
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

bool CColorScaleDialog::ExchangeRow(int index, int& value)
{
    return widgets::TakeInt(m_rows[index].edit, kMinimum, kMaximum, value);
}

bool CColorScaleDialog::DoDataExchange()
{
    ColorScaleDialogValues v = m_values;
    for (int i = 0; i < 4; ++i)
        if (!ExchangeRow(i, v.values[i]))
            return false;
    m_values = v;
    return true;
}

void CColorScaleDialog::accept()
{
    if (DoDataExchange())
        QDialog::accept();
}
