#include "engine/ui/SimplePingerSettingsDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "engine/OperationDialogValues.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

using widgets::WithId;

CSimplePingerSettingsDialog::CSimplePingerSettingsDialog(double interval, double pulseLength, const std::string& source,
                                                         const std::vector<std::string>& channels, QWidget* parent)
    : QDialog(parent), m_interval(interval), m_pulseLength(pulseLength), m_source(source)
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Simple pinger settings");
    auto* grid = new QGridLayout(this);
    auto row = [&](int r, const char* label, int editId, int spinId, double value, const char* unit) {
        auto* edit = WithId(new QLineEdit(widgets::FormatNumber(value, 2)), editId);
        auto* spin = WithId(new app::CSpinButtonDoubleCtrl, spinId);
        spin->SetBuddy(edit);
        spin->SetRangeDouble(2, 0.0, SOperationDialogValues::kLargestValue);
        grid->addWidget(new QLabel(label), r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(spin, r, 2);
        grid->addWidget(new QLabel(unit), r, 3);
        return edit;
    };
    m_intervalEdit = row(0, "Pinger interval", 1121, 1122, interval, "s");
    m_pulseEdit = row(1, "Pinger pulselength", 1551, 1550, pulseLength, "ms");
    grid->addWidget(new QLabel("Source Selection"), 2, 0);
    m_sources = WithId(new QComboBox, 1613);
    for (const std::string& name : channels)
        m_sources->addItem(QString::fromStdString(name));
    m_sources->setCurrentIndex(m_sources->findText(QString::fromStdString(source)));
    grid->addWidget(m_sources, 2, 1, 1, 3);
    grid->addWidget(widgets::StandardButtons(this, false), 3, 0, 1, 4);
}

void CSimplePingerSettingsDialog::accept()
{
    double interval = 0.0, pulseLength = 0.0;
    if (!widgets::CheckRange(m_intervalEdit, 0.0, SOperationDialogValues::kLargestValue, interval) ||
        !widgets::CheckRange(m_pulseEdit, 0.0, SOperationDialogValues::kLargestValue, pulseLength))
        return;
    m_interval = interval;
    m_pulseLength = pulseLength;
    m_source = m_sources->currentText().toStdString();
    QDialog::accept();
}
