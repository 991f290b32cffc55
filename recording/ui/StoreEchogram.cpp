#include "recording/ui/StoreEchogram.h"

#include "app/widgets/DialogExchange.h"
#include "recording/ui/StoreRanges.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>

using widgets::WithId;

namespace zv::recording {

namespace {

constexpr int kEchogramIds[4] = {1354, 1355, 1356, 1357};

// A number field with its spin buttons beside it.
QLineEdit* EditWithSpin(int editId, int spinId, int hi, unsigned value, QGridLayout* grid, int row)
{
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = WithId(new QLineEdit(QString::number(value)), editId);
    auto* spin = WithId(new QSpinBox, spinId);
    spin->setRange(0, hi);
    spin->setValue(std::clamp(int(value), 0, hi));
    spin->setMaximumWidth(20);
    QObject::connect(spin, &QSpinBox::valueChanged, edit, [edit](int v) { edit->setText(QString::number(v)); });
    layout->addWidget(edit);
    layout->addWidget(spin);
    grid->addWidget(box, row, 1);
    return edit;
}

}  // namespace

CStoreEchogram::CStoreEchogram(const SStoreEchogramValues& values, QWidget* parent) : QDialog(parent), m_values(values)
{
    setWindowTitle(QString::fromStdString(m_values.Title()));
    setObjectName(QString::number(kTemplate));
    auto* grid = new QGridLayout(this);

    for (std::size_t i = 0; i < 4; ++i) {
        const auto& slot = m_values.channels[i];
        const QString name = slot.present ? QString::fromStdString(slot.name) : QString("Channel%1").arg(i + 1);
        m_echogram[i] = WithId(new QCheckBox(name), kEchogramIds[i]);
        m_echogram[i]->setChecked(m_values.echogram[i]);
        m_echogram[i]->setEnabled(slot.present);
        grid->addWidget(m_echogram[i], int(i), 0, 1, 3);
    }

    grid->addWidget(new QLabel("Surface samples"), 4, 0);
    m_surfaceCount =
        EditWithSpin(1301, 1302, int(SStoreEchogramValues::kMaxSurfaceCount), m_values.surfaceCount, grid, 4);
    auto* surfaceRange = WithId(new QPushButton("Surface Range..."), 1296);
    connect(surfaceRange, &QPushButton::clicked, this,
            [this] { EditStoreSurfaceRange(this, m_values.rangeSurface, m_values.rangeSurfaceStart); });
    grid->addWidget(surfaceRange, 4, 2);

    grid->addWidget(new QLabel("Bottom samples"), 5, 0);
    m_bottomCount = EditWithSpin(1303, 1304, int(SStoreEchogramValues::kMaxBottomCount), m_values.bottomCount, grid, 5);
    auto* bottomRange = WithId(new QPushButton("Bottom Range..."), 1299);
    connect(bottomRange, &QPushButton::clicked, this,
            [this] { EditStoreBottomRange(this, m_values.rangeBottom, m_values.rangeBottomStart); });
    grid->addWidget(bottomRange, 5, 2);

    m_tvg = {WithId(new QRadioButton("No"), 1005), WithId(new QRadioButton("20 log R"), 1006),
             WithId(new QRadioButton("30 log R"), 1009)};
    // A TVG type no radio stands for leaves all three clear.
    for (QRadioButton* r : m_tvg)
        r->setAutoExclusive(false);
    widgets::SetCheckedIndex(m_tvg, m_values.tvgIndex);
    for (std::size_t i = 0; i < m_tvg.size(); ++i) {
        QRadioButton* r = m_tvg[i];
        connect(r, &QRadioButton::toggled, this, [this, r](bool on) {
            if (on)
                for (QRadioButton* other : m_tvg)
                    if (other != r)
                        other->setChecked(false);
        });
        grid->addWidget(r, 6, int(i));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    WithId(buttons->button(QDialogButtonBox::Ok), 1);
    WithId(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStoreEchogram::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CStoreEchogram::reject);
    grid->addWidget(buttons, 7, 0, 1, 3);
}

void CStoreEchogram::accept()
{
    unsigned surface = 0, bottom = 0;
    if (!widgets::TakeUnsigned(m_surfaceCount, 0, SStoreEchogramValues::kMaxSurfaceCount, surface) ||
        !widgets::TakeUnsigned(m_bottomCount, 0, SStoreEchogramValues::kMaxBottomCount, bottom))
        return;
    m_values.surfaceCount = surface;
    m_values.bottomCount = bottom;
    for (std::size_t i = 0; i < 4; ++i)
        m_values.echogram[i] = m_echogram[i]->isChecked();
    m_values.tvgIndex = widgets::CheckedIndex(m_tvg);
    QDialog::accept();
}

}  // namespace zv::recording
