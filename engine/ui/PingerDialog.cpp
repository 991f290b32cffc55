#include "engine/ui/PingerDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "platform/MessageBox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using widgets::WithId;

CPingerDialog::CPingerDialog(const SPingerDialogValues& values, QWidget* parent) : QDialog(parent), m_values(values)
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Pinger Mode");
    auto* grid = new QGridLayout(this);
    auto row = [&](int r, const char* label, int id, double value, const char* unit) {
        auto* edit = WithId(new QLineEdit(widgets::FormatNumber(value, 3)), id);
        grid->addWidget(new QLabel(label), r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(new QLabel(unit), r, 2);
        return edit;
    };
    m_cable = row(0, "Cable Length", 1004, values.cableLength, "m");
    m_depth = row(1, "Depth", 1006, values.depth, "m");
    m_pulse = row(2, "Pulse Length", 1005, values.pulseLength, "ms");
    m_period = row(3, "Ping Rate", 1007, values.period, "s");
    auto* buttons = widgets::StandardButtons(this, true);
    buttons->button(QDialogButtonBox::Ok)->setText("Ok");
    auto* sync = WithId(new QPushButton("Syncronize"), kSynchroniseId);
    buttons->addButton(sync, QDialogButtonBox::ActionRole);
    connect(sync, &QPushButton::clicked, this, [this] {
        m_values.synchronise = true;
        accept();
    });
    grid->addWidget(buttons, 4, 0, 1, 3);
}

void CPingerDialog::accept()
{
    double cable = 0.0, depth = 0.0, pulse = 0.0, period = 0.0;
    if (!widgets::ParseNumber(m_depth->text(), depth) || !widgets::ParseNumber(m_cable->text(), cable) ||
        !CPingerMode::IsDistance(cable) || !CPingerMode::IsDistance(depth)) {
        m_values.synchronise = false;
        MessageBox(0, kInvalidValues, "Pinger Mode", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!widgets::CheckRange(m_cable, kCableMinimum, kCableMaximum, cable)) {
        m_values.synchronise = false;
        return;
    }
    // A period or pulse length of 0 (a missing "Pinger.dta") would pace the
    // pings at nothing and search a pulse of no width.
    if (!widgets::ParseNumber(m_pulse->text(), pulse) || !widgets::ParseNumber(m_period->text(), period) ||
        !CPingerMode::IsUsable(pulse) || !CPingerMode::IsUsable(period)) {
        m_values.synchronise = false;
        MessageBox(0, kInvalidPulse, "Pinger Mode", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_values.cableLength = cable;
    m_values.depth = depth;
    m_values.pulseLength = pulse;
    m_values.period = period;
    QDialog::accept();
}
