#include "engine/ui/PingerSyncDialog.h"

#include "app/widgets/DialogExchange.h"
#include "engine/PingerMode.h"
#include "platform/NumberText.h"

#include <QGridLayout>
#include <QLabel>

using widgets::WithId;

CPingerSyncDialog::CPingerSyncDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Pinger Syncronization Dialog");
    auto* grid = new QGridLayout(this);
    m_pingsLeft = WithId(new QLabel, kPingsLeftId);
    m_drift = WithId(new QLabel, kDriftId);
    grid->addWidget(new QLabel("Pings left"), 0, 0);
    grid->addWidget(m_pingsLeft, 0, 1);
    grid->addWidget(new QLabel("Drift"), 1, 0);
    grid->addWidget(m_drift, 1, 1);
    SetProgress(CPingerMode::kSynchronisePeriods, 0);
}

void CPingerSyncDialog::SetProgress(int pingsLeft, int driftHundredths)
{
    m_pingsLeft->setText(QString::fromStdString(CNumberText::Format(" %d", pingsLeft)));
    m_drift->setText(QString::fromStdString(CNumberText::Format(" %d", driftHundredths / 100)));
}
