#include "outputs/ui/RemoteDisplayDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace outputsui {

CRemoteDisplayDialog::CRemoteDisplayDialog(CRDDialog& display, const CRDDialog::Settings& values,
                                           const Channels& channels, QWidget* parent)
    : QDialog(parent), m_values(values)
{
    setWindowTitle("Remote Display");
    setObjectName("dialog_" + QString::number(kTemplate));
    auto* layout = new QVBoxLayout(this);

    auto* formatBox = new QGroupBox("Format");
    auto* formatLayout = new QVBoxLayout(formatBox);
    auto* formatGroup = new QButtonGroup(this);
    m_formats = {widgets::WithId(new QRadioButton("RD 1 Format"), 1353),
                 widgets::WithId(new QRadioButton("NMEA Format"), 1354)};
    for (std::size_t i = 0; i < m_formats.size(); ++i) {
        formatGroup->addButton(m_formats[i]);
        formatLayout->addWidget(m_formats[i]);
        m_formats[i]->setChecked(values.RemoteFormat == i);
    }
    layout->addWidget(formatBox);

    auto* channelBox = new QGroupBox("Channel");
    auto* channelLayout = new QVBoxLayout(channelBox);
    auto* channelGroup = new QButtonGroup(this);
    for (int i = 0; i < kChannels; ++i) {
        const SChannel& c = channels[static_cast<std::size_t>(i)];
        QRadioButton* button = widgets::WithId(
            new QRadioButton(c.name.empty() ? QString("Channel%1").arg(i + 1) : QString::fromStdString(c.name)),
            1356 + i);
        button->setEnabled(c.inUse);
        button->setChecked(values.RemoteChannel == static_cast<DWORD>(i));
        channelGroup->addButton(button);
        channelLayout->addWidget(button);
        m_channels[static_cast<std::size_t>(i)] = button;
    }
    layout->addWidget(channelBox);

    m_enabled = widgets::WithId(new QCheckBox("Output Enabled"), 1360);
    m_enabled->setChecked(values.OutputEnabled == 1);
    layout->addWidget(m_enabled);

    auto* rs232 = widgets::WithId(new QPushButton("RS232..."), 1355);
    connect(rs232, &QPushButton::clicked, this, [&display] { display.ConfigurePort(); });
    auto* row = new QHBoxLayout;
    row->addWidget(rs232);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, true));
}

void CRemoteDisplayDialog::accept()
{
    CRDDialog::Settings v = m_values;
    for (std::size_t i = 0; i < m_formats.size(); ++i)
        if (m_formats[i]->isChecked())
            v.RemoteFormat = static_cast<DWORD>(i);
    for (std::size_t i = 0; i < m_channels.size(); ++i)
        if (m_channels[i]->isChecked())
            v.RemoteChannel = static_cast<DWORD>(i);
    v.OutputEnabled = m_enabled->isChecked() ? 1 : 0;
    m_values = v;
    QDialog::accept();
}

int CRemoteDisplayDialog::Run(CRDDialog& display, const Channels& channels, QWidget* parent)
{
    CRemoteDisplayDialog dialog(display, display.GetSettings(), channels, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    if (!display.GetSettingsKey())
        return 1;
    display.ApplySettings(dialog.Values());
    return 0;
}

}  // namespace outputsui
