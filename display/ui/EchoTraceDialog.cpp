#include "display/ui/EchoTraceDialog.h"

#include "app/widgets/DialogExchange.h"
#include "display/ui/EchoTraceDialogs.h"
#include "engine/Channel.h"
#include "platform/MessageBox.h"
#include "platform/SystemMessage.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

using widgets::WithId;

CEchoTraceDialog::CEchoTraceDialog(SounderModel model, CChannel* channel, displayui::IEchoTraceCalibration* calibration,
                                   QWidget* parent)
    : QDialog(parent), m_model(model), m_channel(channel), m_calibrationLink(calibration)
{
    setWindowTitle("Echo Trace");
    setProperty("templateId", kTemplate);
    auto* layout = new QVBoxLayout(this);
    auto* groups = new QHBoxLayout;
    layout->addLayout(groups);

    auto* presentation = WithId(new QGroupBox("   Presentation  ", this), IDC_PRESENTATION_GROUP);
    auto* presentationLayout = new QVBoxLayout(presentation);
    for (auto [id, text] : {std::pair{IDC_HISTOGRAM, "Histogram"}, std::pair{IDC_ECHO_TRACE, "Echo Trace"},
                            std::pair{IDC_BOTH, "Both"}}) {
        auto* radio = WithId(new QRadioButton(text, presentation), id);
        presentationLayout->addWidget(radio);
        m_presentations.push_back(radio);
    }
    groups->addWidget(presentation);

    m_scaleGroup = WithId(new QGroupBox("Scale", this), IDC_SCALE_GROUP);
    auto* scaleLayout = new QVBoxLayout(m_scaleGroup);
    for (auto [id, text] : {std::pair{IDC_LENGTH_CM, "Length cm"}, std::pair{IDC_LENGTH_INCH, "Length inch"},
                            std::pair{IDC_WEIGHT, "Weight"}, std::pair{IDC_TS, "TS"}}) {
        auto* radio = WithId(new QRadioButton(text, m_scaleGroup), id);
        scaleLayout->addWidget(radio);
        m_scales.push_back(radio);
    }
    groups->addWidget(m_scaleGroup);

    auto* commands = new QHBoxLayout;
    m_tsDetection = WithId(new QPushButton("TS Detection...", this), IDC_TS_DETECTION);
    m_calibration = WithId(new QPushButton("Calibration...", this), IDC_CALIBRATION);
    m_tsDetection->setAutoDefault(false);
    m_calibration->setAutoDefault(false);
    commands->addWidget(m_tsDetection);
    commands->addWidget(m_calibration);
    layout->addLayout(commands);
    layout->addWidget(widgets::StandardButtons(this, true));
    connect(m_tsDetection, &QPushButton::clicked, this, &CEchoTraceDialog::OnTsDetection);
    connect(m_calibration, &QPushButton::clicked, this, &CEchoTraceDialog::OnCalibration);

    // The controls by model.
    const bool scientific = model == SounderModel::TQ30 || model == SounderModel::TOTAL;
    if (!scientific) {
        m_tsDetection->hide();
        m_calibration->hide();
    }
    if (model == SounderModel::TQ30)
        m_scaleGroup->hide();
    if (scientific && m_calibrationLink) {
        // One channel is calibrated at a time.
        const std::vector<CChannel*> channels = m_calibrationLink->GetChannels();
        const bool otherLinked =
            std::any_of(channels.begin(), channels.end(), [](const CChannel* c) { return c && c->GetLinkFlag(); });
        if (otherLinked && !(m_channel && m_channel->GetLinkFlag()))
            m_calibration->setEnabled(false);
    }
}

void CEchoTraceDialog::ShowValues()
{
    widgets::SetCheckedIndex(m_presentations, m_presentation);
    widgets::SetCheckedIndex(m_scales, m_sizeScale);
}

void CEchoTraceDialog::accept()
{
    m_presentation = widgets::CheckedIndex(m_presentations);
    // A hidden scale choice keeps its value.
    if (!m_scaleGroup->isHidden())
        m_sizeScale = widgets::CheckedIndex(m_scales);
    QDialog::accept();
}

void CEchoTraceDialog::OnTsDetection()
{
    if (m_channel)
        m_channel->GetTSDetection().OnSettings();
}

void CEchoTraceDialog::OnCalibration()
{
    if (!m_channel || !m_calibrationLink)
        return;
    // Only a channel of the running sounder can be linked.
    const std::vector<CChannel*> channels = m_calibrationLink->GetChannels();
    if (std::find(channels.begin(), channels.end(), m_channel) == channels.end())
        return;
    const CCalibrationLink::SStartResult r = m_calibrationLink->StartCalibration(*m_channel);
    if (r.outcome != CCalibrationLink::SStartResult::Failed)
        return;
    const std::string text = FormatSystemMessage(r.result);
    MessageBox(0, text.empty() ? "Failed" : text, r.caption, MB_OK | MB_ICONSTOP);
}
