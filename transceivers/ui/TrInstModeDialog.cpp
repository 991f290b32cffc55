#include "transceivers/ui/TrInstModeDialog.h"

#include "app/widgets/DialogExchange.h"
#include "base/AppIds.h"
#include "platform/MessageDispatcher.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CTrInstModeDialog::CTrInstModeDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("CTrInstModeDialog");
    setWindowTitle("Transceiver Installation Mode");
    auto* layout = new QGridLayout(this);
    auto* inspect = widgets::WithId(new QPushButton("Inspect", this), kInspectId);
    auto* modify = widgets::WithId(new QPushButton("Modify", this), kModifyId);
    auto* cancel = widgets::WithId(new QPushButton("Cancel", this), 2);
    layout->addWidget(
        new QLabel("Click the inspect button if you just want to take\na look at the current installation.", this), 0,
        0);
    layout->addWidget(inspect, 0, 1);
    layout->addWidget(new QLabel("Click the modify button if you intend to alter the \ncurrent installation.", this), 1,
                      0);
    layout->addWidget(modify, 1, 1);
    auto* warning = new QLabel("All echosounder activity must be halted  before installing new \ntransceiver hardware "
                               "or uninstalling existig transceiver.",
                               this);
    layout->addWidget(warning, 2, 0);
    layout->addWidget(cancel, 2, 1, Qt::AlignBottom);
    inspect->setDefault(true);
    connect(inspect, &QPushButton::clicked, this, &CTrInstModeDialog::OnInspect);
    connect(modify, &QPushButton::clicked, this, &CTrInstModeDialog::OnModify);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CTrInstModeDialog::OnInspect()
{
    accept();
    ::PostMessage(GetMainWindow(), WM_COMMAND, app::cmd::INSPECT_INSTALLATION, 0);
}

void CTrInstModeDialog::OnModify()
{
    // The stop deletes the echo sounder before its follow-up runs, so the
    // installation is changed only while no sounder exists.
    accept();
    ::PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_STOP,
                  static_cast<LPARAM>(app::cmd::RESTART_FROM_INSTALLATION));
}
