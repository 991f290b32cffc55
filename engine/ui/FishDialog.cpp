#include "engine/ui/FishDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const char* const kSpecies[CFish::kSpeciesCount] = {"Whitefish", "Herring", "Anchovy", "Mackerel"};

}  // namespace

CFishDialog::CFishDialog(const CFish::DialogValues& values, QWidget* parent)
    : QDialog(parent), m_values(values), m_species(new QButtonGroup(this))
{
    setObjectName(QString("dialog_%1").arg(kDialogId));
    setWindowTitle("Fish Select Dialog");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Shorter", this), 0, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel("0", this), 0, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel("Longer", this), 0, 3, Qt::AlignRight);
    for (int t = 0; t < CFish::kSpeciesCount; ++t) {
        auto* radio = new QRadioButton(kSpecies[t], this);
        radio->setObjectName(QString("IDC_SPECIES_%1").arg(t));
        m_species->addButton(radio, t);
        grid->addWidget(radio, t + 1, 0);

        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QString("IDC_OFFSET_%1").arg(t));
        slider->setRange(-10, 10);
        slider->setTickPosition(QSlider::TicksBelow);
        const double offset = m_values.Offsets[static_cast<std::size_t>(t)];
        // The offset is a whole number of dB; a stored fraction is cut.
        slider->setValue(std::isfinite(offset) ? static_cast<int>(std::trunc(std::clamp(offset, -10.0, 10.0))) : 0);
        connect(slider, &QSlider::valueChanged, this,
                [this, t](int v) { m_values.Offsets[static_cast<std::size_t>(t)] = v; });
        grid->addWidget(slider, t + 1, 1, 1, 3);
        m_sliders[static_cast<std::size_t>(t)] = slider;
    }
    if (auto* b = m_species->button(m_values.Type))
        b->setChecked(true);
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CFishDialog::accept()
{
    const int id = m_species->checkedId();
    if (id >= 0)
        m_values.Type = id;
    QDialog::accept();
}
