#include "sensors/ui/SensorSetup.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cfloat>

CSensorSetup::CSensorSetup(double forward, double starboard, double down, bool replaying, QWidget* parent)
    : QDialog(parent), m_X(forward), m_Y(starboard), m_Z(down)
{
    setWindowTitle("Sensor Setup");
    setObjectName("dialog_241");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    struct Row
    {
        const char* label;
        int edit, spin;
        double value;
    };
    const Row rows[] = {{"Forward(X):", IDC_FORWARD, IDC_FORWARD_SPIN, m_X},
                        {"Starboard(Y):", IDC_STARBOARD, IDC_STARBOARD_SPIN, m_Y},
                        {"Downward(Z):", IDC_DOWN, IDC_DOWN_SPIN, m_Z}};
    int at = 0;
    for (const Row& r : rows) {
        auto* field = widgets::WithId(new QLineEdit(widgets::FormatNumber(r.value, 2), this), r.edit);
        auto* spin = widgets::WithId(new app::CSpinButtonDoubleCtrl(this), r.spin);
        spin->SetBuddy(field);
        spin->SetRangeDouble(2, -kSpinLimit, kSpinLimit);
        // Replayed data keeps the offsets it was recorded with.
        field->setEnabled(!replaying);
        spin->setEnabled(!replaying);
        grid->addWidget(new QLabel(r.label, this), at, 0);
        grid->addWidget(field, at, 1);
        grid->addWidget(spin, at, 2);
        grid->addWidget(new QLabel("m", this), at, 3);
        m_fields[at++] = field;
    }
    layout->addLayout(grid);
    layout->addWidget(widgets::StandardButtons(this, false));
}

void CSensorSetup::accept()
{
    double values[3];
    for (int i = 0; i < 3; ++i)
        // Any number is taken; no number gets the usual message.
        if (!widgets::ParseNumber(m_fields[i]->text(), values[i])) {
            widgets::CheckRange(m_fields[i], -DBL_MAX, DBL_MAX, values[i]);
            return;
        }
    m_X = values[0];
    m_Y = values[1];
    m_Z = values[2];
    QDialog::accept();
}

bool CSensorSetup::Run(double& forward, double& starboard, double& down, bool replaying, QWidget* parent)
{
    CSensorSetup dialog(forward, starboard, down, replaying, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    forward = dialog.m_X;
    starboard = dialog.m_Y;
    down = dialog.m_Z;
    return true;
}
