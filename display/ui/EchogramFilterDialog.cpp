#include "display/ui/EchogramFilterDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>

using widgets::StandardButtons;
using widgets::WithId;

namespace {

// A sorted drop-down list with the template's entries whose edit takes any
// text; the one-digit factors begin with a blank so that they sort first.
QComboBox* MakeList(QWidget* parent, int id, const QStringList& entries, const std::string& text)
{
    auto* box = WithId(new QComboBox(parent), id);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    QStringList sorted = entries;
    sorted.sort();
    box->addItems(sorted);
    box->setCurrentText(QString::fromStdString(text));
    return box;
}

}  // namespace

CEchogramFilterDialog::CEchogramFilterDialog(const CEchogramDoc::FilterDialogValues& values, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QString("dialog_%1").arg(kTemplate));
    setWindowTitle("Echogram filter");
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);
    auto* layout = new QGridLayout(this);
    m_echoAmplifier = WithId(new QCheckBox("Echo amplifier", this), 1625);
    m_medianFilter = WithId(new QCheckBox("Median filter", this), 1626);
    m_secondStage = WithId(new QCheckBox("Second stage filter", this), 1627);
    m_secondStage->setEnabled(false);
    m_pingToPing = WithId(new QCheckBox("Ping to ping median.", this), 1628);
    m_size = MakeList(this, 1630, {"3", "5", "7", "9"}, values.value1);
    m_factor = MakeList(this, 1631, {" 1", " 2", " 4", " 6", " 8", "10", "15", "20", "25", "30"}, values.value2);
    layout->addWidget(m_echoAmplifier, 0, 0);
    layout->addWidget(m_factor, 0, 1);
    layout->addWidget(m_medianFilter, 1, 0);
    layout->addWidget(m_size, 1, 1);
    layout->addWidget(m_secondStage, 2, 0);
    layout->addWidget(m_pingToPing, 3, 0);
    m_echoAmplifier->setChecked(values.echoAmplifier);
    m_medianFilter->setChecked(values.medianFilter);
    m_secondStage->setChecked(values.secondStageFilter);
    m_pingToPing->setChecked(values.pingToPingMedian);

    auto* buttons = StandardButtons(this, false);
    layout->addWidget(buttons, 4, 0, 1, 2);
}

CEchogramDoc::FilterDialogValues CEchogramFilterDialog::Values() const
{
    CEchogramDoc::FilterDialogValues v;
    v.echoAmplifier = m_echoAmplifier->isChecked();
    v.medianFilter = m_medianFilter->isChecked();
    v.secondStageFilter = m_secondStage->isChecked();
    v.value1 = m_size->currentText().toStdString();
    v.value2 = m_factor->currentText().toStdString();
    v.pingToPingMedian = m_pingToPing->isChecked();
    return v;
}
