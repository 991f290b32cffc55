#include "sensors/ui/DepthOutputDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {

// The formatter's telegram types, by their number.
constexpr const char* kTelegrams[] = {
    "$SDDBS (below surface)",
    "$SDDPT (below transducer, offset)",
    "$SDDBT (below transducer)",
    "D (channel, time, depth)",
    "DB / DA (by channel)",
    "DA",
    "DB",
    "$PSDF (sound velocity, depths, age)",
};

}  // namespace

CDepthOutputDialog::CDepthOutputDialog(const std::vector<std::string>& channels, const Values& v, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("CDepthOutputDialog");
    setWindowTitle("Depth Output");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_output = widgets::WithId(new QCheckBox("Output Enabled", this), IDC_DEPTH_OUTPUT);
    m_output->setChecked(v.output);
    form->addRow(m_output);
    m_telegram = widgets::WithId(new QComboBox(this), IDC_DEPTH_TELEGRAM);
    for (const char* name : kTelegrams)
        m_telegram->addItem(name);
    // A stored type the formatter does not know shows as the first.
    m_telegram->setCurrentIndex(v.telegram < std::size(kTelegrams) ? static_cast<int>(v.telegram) : 0);
    form->addRow("Telegram:", m_telegram);
    m_checksum = widgets::WithId(new QCheckBox("Checksum", this), IDC_DEPTH_CHECKSUM);
    m_checksum->setChecked(v.checksum);
    form->addRow(m_checksum);
    m_channel = widgets::WithId(new QComboBox(this), IDC_DEPTH_CHANNEL);
    for (const std::string& name : channels)
        m_channel->addItem(QString::fromStdString(name));
    // A source no channel of the installation is named after stays chosen.
    if (!v.channel.empty() && m_channel->findText(QString::fromStdString(v.channel)) < 0)
        m_channel->addItem(QString::fromStdString(v.channel));
    m_channel->setCurrentIndex(m_channel->findText(QString::fromStdString(v.channel)));
    form->addRow("Channel:", m_channel);
    layout->addLayout(form);
    layout->addWidget(widgets::StandardButtons(this, false));

    connect(m_output, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
    connect(m_telegram, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabling(); });
    UpdateEnabling();
}

void CDepthOutputDialog::UpdateEnabling()
{
    const bool on = m_output->isChecked();
    // Types 3 and 4 carry the channel themselves and go out for every one.
    const int type = m_telegram->currentIndex();
    m_telegram->setEnabled(on);
    m_checksum->setEnabled(on);
    m_channel->setEnabled(on && type != 3 && type != 4);
}

CDepthOutputDialog::Values CDepthOutputDialog::Result() const
{
    Values v;
    v.output = m_output->isChecked();
    v.telegram = static_cast<unsigned>(std::max(0, m_telegram->currentIndex()));
    v.checksum = m_checksum->isChecked();
    v.channel = m_channel->currentText().toStdString();
    return v;
}

bool CDepthOutputDialog::Run(const std::vector<std::string>& channels, Values& values, QWidget* parent)
{
    CDepthOutputDialog dialog(channels, values, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.Result();
    return true;
}
