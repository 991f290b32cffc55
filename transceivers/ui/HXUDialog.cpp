#include "transceivers/ui/HXUDialog.h"

#include "base/AppIds.h"
#include "platform/MessageDispatcher.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CHXUDialog::CHXUDialog(const HxuDebugDialogValues& values, QWidget* parent) : QDialog(parent)
{
    setObjectName("CHXUDialog");
    setWindowTitle("HXU Debug Dialog");
    auto* layout = new QVBoxLayout(this);
    auto* alarms = new QHBoxLayout;
    auto* on = new QPushButton("Alarm On", this);
    on->setObjectName("alarmOn");
    auto* off = new QPushButton("Alarm Off", this);
    off->setObjectName("alarmOff");
    on->setAutoDefault(false);
    off->setAutoDefault(false);
    connect(on, &QPushButton::clicked, [] { ::PostMessage(::GetMainWindow(), WM_COMMAND, app::cmd::HXU_ALARM_ON, 0); });
    connect(off, &QPushButton::clicked,
            [] { ::PostMessage(::GetMainWindow(), WM_COMMAND, app::cmd::HXU_ALARM_OFF, 0); });
    alarms->addWidget(on);
    alarms->addWidget(off);
    layout->addLayout(alarms);
    auto* note = new QLabel("Warning: This dialog is only valid for the first HXU if several installed!", this);
    note->setWordWrap(true);
    layout->addWidget(note);
    static constexpr const char* kLabels[HxuDebugDialogValues::kFlagCount] = {
        "Debug Mode", "TRACE 1", "TRACE 2", "TRACE 3", "TRACE 4", "TRACE 5", "TRACE 6"};
    for (std::size_t i = 0; i < m_checks.size(); ++i) {
        m_checks[i] = new QCheckBox(kLabels[i], this);
        m_checks[i]->setObjectName(QString("flag%1").arg(i));
        m_checks[i]->setChecked(values.flags[i] != 0);
        layout->addWidget(m_checks[i]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

HxuDebugDialogValues CHXUDialog::Values() const
{
    HxuDebugDialogValues v;
    for (std::size_t i = 0; i < m_checks.size(); ++i)
        v.flags[i] = m_checks[i]->isChecked() ? 1 : 0;
    return v;
}
