#include "sensors/ui/SvpProbeDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSvpProbeDialog::CSvpProbeDialog(CSvpProbe& probe, QWidget* parent)
    : CSensorDialog(probe, "Sound Velocity Probe", parent), m_probe(probe)
{
    setObjectName("dialog_SvpProbe");
    m_probe.ForgetStored();
    auto* layout = new QVBoxLayout(this);
    m_realTime = widgets::WithId(new QCheckBox("Real time", this), IdRealTime);
    m_realTime->setChecked(m_probe.IsRealTime());
    connect(m_realTime, &QCheckBox::toggled, this, [this](bool on) {
        m_probe.SetRealTime(on);
        UpdateButtons();
    });
    layout->addWidget(m_realTime);
    auto* cast = new QHBoxLayout;
    m_start = widgets::WithId(new QPushButton("Start", this), IdStart);
    m_record = widgets::WithId(new QPushButton("Record", this), IdRecord);
    m_store = widgets::WithId(new QPushButton("Store", this), IdStore);
    connect(m_start, &QPushButton::clicked, this, [this] { m_probe.StartCast(); });
    connect(m_record, &QPushButton::clicked, this, [this] {
        m_probe.StartRecording();
        UpdateButtons();
    });
    connect(m_store, &QPushButton::clicked, this, [this] { m_probe.StoreCast(); });
    cast->addWidget(m_start);
    cast->addWidget(m_record);
    cast->addWidget(m_store);
    cast->addStretch();
    layout->addLayout(cast);
    layout->addWidget(MakeMonitor(IdLog));
    auto* row = new QHBoxLayout;
    row->addWidget(MakeClear(IdClear));
    row->addWidget(MakePortButton(IdPort));
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, false));
    UpdateButtons();
    OnSensorChanged();
}

void CSvpProbeDialog::UpdateButtons()
{
    const bool recording = m_probe.IsRecording();
    // The real-time poll and a cast do not share the probe.
    m_start->setEnabled(!m_probe.IsRealTime() && !recording);
    m_record->setEnabled(!recording);
    m_store->setEnabled(recording);
}

int CSvpProbeDialog::Run(CSvpProbe& probe, QWidget* parent)
{
    CSvpProbeDialog dialog(probe, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    probe.SaveEnabled();
    probe.AnnounceStored();
    return 1;
}
