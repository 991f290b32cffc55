#include "sensors/ui/NmeaDepthDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CNmeaDepthDialog::CNmeaDepthDialog(CNmeaDepth& depth, QWidget* parent)
    : CSensorDialog(depth, "NMEA Depth", parent), m_depth(depth)
{
    setObjectName("dialog_NMEADepth");
    auto* layout = new QVBoxLayout(this);
    m_enabled = new QCheckBox("DPT / DBS / DBT", this);
    m_enabled->setObjectName("IDC_NMEA_DEPTH_ENABLED");
    m_enabled->setChecked(m_depth.IsEnabled());
    // The switch holds at once, for the line as it arrives.
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) { m_depth.SetEnabled(on); });
    layout->addWidget(m_enabled);
    layout->addWidget(MakeMonitor(1006));
    auto* row = new QHBoxLayout;
    row->addWidget(MakeClear(1005));
    row->addWidget(MakePortButton(1272));
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, false));
    OnSensorChanged();
}

int CNmeaDepthDialog::Run(CNmeaDepth& depth, QWidget* parent)
{
    CNmeaDepthDialog dialog(depth, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    depth.StoreSettings();
    return 1;
}
