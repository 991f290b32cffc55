#include "sensors/ui/TrawlDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "sensors/ui/DepthOutputDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CTrawlDialog::CTrawlDialog(CTrawl& trawl, QWidget* parent)
    : CSensorDialog(trawl, "Trawl Interface", parent), m_trawl(trawl), m_working(trawl.GetSettings())
{
    setObjectName("dialog_168");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeMonitor(IDC_MONITOR));
    auto* row = new QHBoxLayout;
    row->addWidget(MakeClear(IDC_CLEAR));
    auto* hex = widgets::WithId(new QCheckBox("Hex", this), IDC_HEX);
    hex->setChecked(m_trawl.IsHexMonitor());
    connect(hex, &QCheckBox::toggled, this, [this](bool on) { m_trawl.SetHexMonitor(on); });
    row->addWidget(hex);
    row->addStretch();
    row->addWidget(MakePortButton(IDC_PORT));
    auto* depthOutput = widgets::WithId(new QPushButton("Depth Output...", this), IDC_DEPTH_OUTPUT);
    connect(depthOutput, &QPushButton::clicked, this, [this] { OnDepthOutput(); });
    row->addWidget(depthOutput);
    layout->addLayout(row);

    auto* group = widgets::WithId(new QGroupBox("Trawl Opening", this), IDC_OPENING_GROUP);
    auto* groupLayout = new QHBoxLayout(group);
    m_manual = widgets::WithId(new QCheckBox("Manual:", group), IDC_MANUAL);
    m_manual->setChecked(m_working.Manual != 0);
    m_opening = widgets::WithId(new QLineEdit(widgets::FormatNumber(m_working.ManualOpening, 1), group), IDC_OPENING);
    m_spin = widgets::WithId(new app::CSpinButtonDoubleCtrl(group), IDC_OPENING_SPIN);
    m_spin->SetBuddy(m_opening);
    m_spin->SetRangeDouble(1, 0.0, CTrawl::kMaxOpening);
    m_unit = widgets::WithId(new QLabel("m", group), IDC_UNIT);
    groupLayout->addWidget(m_manual);
    groupLayout->addWidget(m_opening);
    groupLayout->addWidget(m_spin);
    groupLayout->addWidget(m_unit);
    groupLayout->addStretch();
    layout->addWidget(group);
    connect(m_manual, &QCheckBox::toggled, this, [this] { OnManual(); });

    layout->addWidget(widgets::StandardButtons(this, false));
    OnManual();
    OnSensorChanged();
}

void CTrawlDialog::OnManual()
{
    const bool manual = m_manual->isChecked();
    m_opening->setEnabled(manual);
    m_spin->setEnabled(manual);
    m_unit->setEnabled(manual);
}

void CTrawlDialog::OnDepthOutput()
{
    CDepthOutputDialog::Values values{m_working.DepthOutput != 0, m_working.DepthTelegram, m_working.CheckSum != 0,
                                      m_working.ChannelSource};
    if (!CDepthOutputDialog::Run(m_trawl.GetChannelList(), values, this))
        return;
    m_working.DepthTelegram = values.telegram;
    m_working.DepthOutput = values.output ? 1 : 0;
    m_working.CheckSum = values.checksum ? 1 : 0;
    m_working.ChannelSource = values.channel;
    m_trawl.StoreDepthOutput(m_working.DepthOutput, m_working.CheckSum, m_working.ChannelSource);
}

void CTrawlDialog::accept()
{
    double opening = m_working.ManualOpening;
    // The opening is checked only where it is used.
    if (m_manual->isChecked() && !widgets::CheckRange(m_opening, 0.0, CTrawl::kMaxOpening, opening))
        return;
    m_working.Manual = m_manual->isChecked() ? 1 : 0;
    m_working.ManualOpening = opening;
    CSensorDialog::accept();
}

int CTrawlDialog::Run(CTrawl& trawl, QWidget* parent)
{
    CTrawlDialog dialog(trawl, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    trawl.StoreSettings(dialog.Working());
    return 1;
}
