#include "sensors/ui/PurseSeineDialog.h"

#include "app/widgets/DialogExchange.h"
#include "sensors/ui/DepthOutputDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CPurseSeineDialog::CPurseSeineDialog(CPurseSeine& seine, QWidget* parent)
    : CSensorDialog(seine, "Purse Seine", parent), m_seine(seine), m_working(seine.GetSettings())
{
    setObjectName("dialog_purse_seine");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const int ids[] = {IDC_SENSOR1, IDC_SENSOR2, IDC_SENSOR3};
    for (int i = 0; i < INetSensors::kSensors; ++i) {
        grid->addWidget(new QLabel(QString("Sensor %1:").arg(i + 1), this), i, 0);
        m_depths[i] = widgets::WithId(new QLineEdit(this), ids[i]);
        m_depths[i]->setReadOnly(true);
        grid->addWidget(m_depths[i], i, 1);
    }
    layout->addLayout(grid);
    layout->addWidget(MakeMonitor(IDC_MONITOR));
    auto* row = new QHBoxLayout;
    row->addWidget(MakeClear(IDC_CLEAR));
    row->addStretch();
    row->addWidget(MakePortButton(IDC_PORT));
    auto* depthOutput = widgets::WithId(new QPushButton("Depth Output...", this), IDC_DEPTH_OUTPUT);
    connect(depthOutput, &QPushButton::clicked, this, [this] { OnDepthOutput(); });
    row->addWidget(depthOutput);
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, false));
    OnSensorChanged();
    OnSensorValues();
}

void CPurseSeineDialog::OnSensorValues()
{
    int states[INetSensors::kSensors];
    double depths[INetSensors::kSensors];
    m_seine.StampSensor(states, depths);
    for (int i = 0; i < INetSensors::kSensors; ++i) {
        if (states[i] == INetSensors::kFresh)
            m_depths[i]->setText(QString::asprintf(" %.1f m", depths[i]));
        else
            m_depths[i]->clear();
    }
}

void CPurseSeineDialog::OnDepthOutput()
{
    CDepthOutputDialog::Values values{m_working.DepthOutput != 0, m_working.DepthTelegram, m_working.CheckSum != 0,
                                      m_working.ChannelSource};
    if (!CDepthOutputDialog::Run(m_seine.GetChannelList(), values, this))
        return;
    m_working.DepthOutput = values.output ? 1 : 0;
    m_working.DepthTelegram = values.telegram;
    m_working.CheckSum = values.checksum ? 1 : 0;
    m_working.ChannelSource = values.channel;
}

int CPurseSeineDialog::Run(CPurseSeine& seine, QWidget* parent)
{
    CPurseSeineDialog dialog(seine, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    seine.StoreSettings(dialog.Working());
    return 1;
}
