#include "sensors/ui/GyroCompassDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CGyroCompassDialog::CGyroCompassDialog(CGyroCompass& heading, QWidget* parent)
    : CSensorDialog(heading, "Heading", parent), m_heading(heading)
{
    setObjectName("dialog_Heading");
    const CGyroCompass::Settings s = m_heading.GetSettings();
    auto* layout = new QVBoxLayout(this);
    m_enabled = new QCheckBox("Enable heading", this);
    m_enabled->setObjectName("IDC_HEADING_ENABLED");
    m_enabled->setChecked(s.HDTEnabled != 0);
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) { m_heading.SetEnabled(on); });
    layout->addWidget(m_enabled);
    auto* sentenceGroup = new QGroupBox("Sentence", this);
    auto* sentenceLayout = new QHBoxLayout(sentenceGroup);
    for (std::size_t i = 0; i < std::size(CGyroCompass::kSentenceNames); ++i) {
        auto* button = new QRadioButton(CGyroCompass::kSentenceNames[i], sentenceGroup);
        button->setObjectName(QString("IDC_HEADING_") + CGyroCompass::kSentenceNames[i]);
        connect(button, &QRadioButton::clicked, this, [this, i] { m_heading.SelectSentence(static_cast<DWORD>(i)); });
        sentenceLayout->addWidget(button);
        m_sentence.push_back(button);
    }
    widgets::SetCheckedIndex(m_sentence, static_cast<int>(s.HeadingSentence));
    layout->addWidget(sentenceGroup);
    layout->addWidget(MakeMonitor(1006));
    auto* row = new QHBoxLayout;
    row->addWidget(MakeClear(1005));
    row->addWidget(MakePortButton(1272));
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, false));
    OnSensorChanged();
}

int CGyroCompassDialog::Run(CGyroCompass& heading, QWidget* parent)
{
    CGyroCompassDialog dialog(heading, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    heading.StoreSettings();
    return 1;
}
