#include "display/ui/EchogramDialogQY210.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/UpDownCtrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

using widgets::StandardButtons;
using widgets::WithId;

namespace {

std::vector<QRadioButton*> AddRadios(QWidget* box, QBoxLayout* layout,
                                     std::initializer_list<std::pair<int, const char*>> buttons)
{
    std::vector<QRadioButton*> group;
    for (const auto& [id, text] : buttons) {
        auto* button = WithId(new QRadioButton(text, box), id);
        layout->addWidget(button);
        group.push_back(button);
    }
    return group;
}

// Fills a drop-down list and selects the first entry that begins with the
// text; none when no entry does.
void FillList(QComboBox* box, const std::vector<std::string>& entries, const std::string& text)
{
    box->clear();
    for (const std::string& entry : entries)
        box->addItem(QString::fromStdString(entry));
    box->setCurrentIndex(-1);
    const QString wanted = QString::fromStdString(text);
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i).startsWith(wanted)) {
            box->setCurrentIndex(i);
            break;
        }
}

}  // namespace

CEchogramDialogQY210::CEchogramDialogQY210(const CEchogramDoc::SettingsDialogValues& values, int templateId,
                                           QWidget* parent)
    : QDialog(parent), m_values(values), m_templateId(templateId)
{
    setObjectName(QString("dialog_%1").arg(templateId));
    setWindowTitle("Echogram");
    QFont f("Arial");
    f.setPointSize(8);
    setFont(f);
    Build();
    ShowValues();

    FillList(m_importSource, m_values.importList, m_values.importSource);
    FillList(m_externalSource, m_values.externalDepthList, m_values.externalDepthSource);
    m_scaleSpin->SetRange(0, static_cast<int>(CEchogramDoc::kMaxScaleLines));
    m_gainSpin->SetRange(0, static_cast<int>(kMaxSubBottomGain));
    // In pinger mode the pinger sets the gain: the TVG choice is off, the
    // pinger's gain on, and the other way round.
    const bool pinger = m_values.pingerMode;
    for (QRadioButton* b : m_gain)
        b->setEnabled(!pinger);
    if (m_tvgFrame)
        m_tvgFrame->setEnabled(!pinger);
    for (QWidget* w : std::initializer_list<QWidget*>{m_pingerFrame, m_pingerGain, m_pingerUnit, m_pingerGainMode[0],
                                                      m_pingerGainMode[1]})
        w->setEnabled(pinger);
}

void CEchogramDialogQY210::Build()
{
    const bool large = m_templateId == CEchogramDoc::kQY310Template;
    auto* layout = new QGridLayout(this);

    auto* tvg = new QGroupBox("TVG", this);
    // Only the larger template gives the frame an id.
    if (large)
        m_tvgFrame = WithId(tvg, 1557);
    auto* tvgLayout = new QVBoxLayout(tvg);
    m_gain = AddRadios(tvg, tvgLayout, {{1005, "No "}, {1006, "20 log R"}, {1009, "30 log R"}, {1010, "40 log R"}});
    layout->addWidget(tvg, 0, 0);

    auto* kind = new QGroupBox("Echogram", this);
    auto* kindLayout = new QVBoxLayout(kind);
    m_kind = AddRadios(kind, kindLayout,
                       {{1036, "Surface - Manual"},
                        {1008, "Surface - Auto Range"},
                        {1011, "Surface - Auto Start"},
                        {1013, "Bottom"},
                        {1379, "Sidescan"},
                        {1012, "Along Track Slope"}});
    layout->addWidget(kind, 1, 0);

    auto* side = new QGroupBox("Sidescan", this);
    auto* sideLayout = new QVBoxLayout(side);
    // Two radio groups in one frame: each pair sits in a box of its own, so
    // that it excludes only its partner.
    auto* sidePair = new QWidget(side);
    m_side = AddRadios(sidePair, new QHBoxLayout(sidePair), {{1502, "Port"}, {1500, "Starbord"}});
    auto* viewPair = new QWidget(side);
    if (large)
        m_view = AddRadios(viewPair, new QHBoxLayout(viewPair), {{1014, "Range"}, {1501, "Slant Range"}});
    else
        m_view = AddRadios(viewPair, new QHBoxLayout(viewPair), {{1014, "Range View"}, {1501, "Across View"}});
    sideLayout->addWidget(sidePair);
    sideLayout->addWidget(viewPair);
    auto* importRow = new QHBoxLayout;
    m_import = WithId(new QCheckBox("Import", side), 1325);
    m_importSource = WithId(new QComboBox(side), 1326);
    importRow->addWidget(m_import);
    importRow->addWidget(m_importSource);
    sideLayout->addLayout(importRow);
    layout->addWidget(side, 2, 0);

    auto* lines = new QGroupBox("Horizontal Depth Lines", this);
    auto* linesLayout = new QVBoxLayout(lines);
    auto* count = new QHBoxLayout;
    m_scale = WithId(new QCheckBox("Scale", lines), 1024);
    m_scaleLines = WithId(new QLineEdit(lines), 1054);
    m_scaleSpin = WithId(new CUpDownCtrl(lines), 1057);
    count->addWidget(m_scale);
    count->addWidget(m_scaleLines);
    count->addWidget(m_scaleSpin);
    linesLayout->addLayout(count);
    m_variableDepth = WithId(new QCheckBox("Variable Depth", lines), 1028);
    m_rangeOther = WithId(new QCheckBox("Range Other", lines), 1308);
    m_bottomDetectionLines = WithId(new QCheckBox("Bottom Detection Lines", lines), 1309);
    linesLayout->addWidget(m_variableDepth);
    linesLayout->addWidget(m_rangeOther);
    linesLayout->addWidget(m_bottomDetectionLines);
    auto* external = new QHBoxLayout;
    m_externalDepth = WithId(new QCheckBox("Ext. Depth", lines), 1321);
    m_externalSource = WithId(new QComboBox(lines), 1322);
    external->addWidget(m_externalDepth);
    external->addWidget(m_externalSource);
    linesLayout->addLayout(external);
    layout->addWidget(lines, 0, 1, 2, 1);

    auto* bottom = new QGroupBox("Bottom", this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    m_bottom =
        AddRadios(bottom, bottomLayout, {{1039, "Off"}, {1015, "On"}, {1016, "White Line"}, {1376, "Contour Line"}});
    auto* gain = new QHBoxLayout;
    m_subBottomGainOn = WithId(new QCheckBox("Sub Bottom Gain", bottom), 1025);
    m_subBottomGain = WithId(new QLineEdit(bottom), 1055);
    m_gainSpin = WithId(new CUpDownCtrl(bottom), 1058);
    gain->addWidget(m_subBottomGainOn);
    gain->addWidget(m_subBottomGain);
    gain->addWidget(m_gainSpin);
    bottomLayout->addLayout(gain);
    layout->addWidget(bottom, 2, 1);

    auto* markers = new QGroupBox("Vertical Markers", this);
    auto* markersLayout = new QVBoxLayout(markers);
    m_event = WithId(new QCheckBox("Event", markers), 1030);
    m_minute = WithId(new QCheckBox("Minute", markers), 1027);
    m_newRange = WithId(new QCheckBox("New Range", markers), 1029);
    m_newSvp = WithId(new QCheckBox("New Svp", markers), 1351);
    m_annotation = WithId(new QCheckBox("Show Annotation", markers), 1378);
    for (QWidget* w : std::initializer_list<QWidget*>{m_event, m_minute, m_newRange, m_newSvp, m_annotation})
        markersLayout->addWidget(w);
    layout->addWidget(markers, 0, 2);
    m_pingFilter = WithId(new QCheckBox("Ping Filter", this), 1026);
    layout->addWidget(m_pingFilter, 1, 2);

    m_pingerFrame = WithId(new QGroupBox("Pinger Gain", this), 1554);
    auto* pingerLayout = new QHBoxLayout(m_pingerFrame);
    m_pingerGain = WithId(new QLineEdit(m_pingerFrame), 1555);
    m_pingerUnit = WithId(new QLabel("dB", m_pingerFrame), 1553);
    pingerLayout->addWidget(m_pingerGain);
    pingerLayout->addWidget(m_pingerUnit);
    m_pingerGainMode = AddRadios(m_pingerFrame, pingerLayout, {{1579, "Man"}, {1580, "Auto"}});
    layout->addWidget(m_pingerFrame, 2, 2);
    // The smaller template carries the pinger controls hidden.
    m_pingerFrame->setVisible(large);

    auto* noise = new QGroupBox("Noise", this);
    auto* noiseLayout = new QHBoxLayout(noise);
    noiseLayout->addWidget(new QLabel("Noise Offset", noise));
    m_noiseOffset = new QLineEdit(noise);
    m_noiseOffset->setObjectName("NoiseOffset");
    m_noiseTracking = new QCheckBox("Noise Tracking", noise);
    m_noiseTracking->setObjectName("NoiseTracking");
    noiseLayout->addWidget(m_noiseOffset);
    noiseLayout->addWidget(m_noiseTracking);
    noise->setVisible(m_values.noiseCompensation);
    layout->addWidget(noise, 3, 0, 1, 3);

    auto* buttons = StandardButtons(this, true);
    layout->addWidget(buttons, 4, 0, 1, 3);

    connect(m_scaleSpin, &CUpDownCtrl::deltaPos, this, [this](int delta) {
        widgets::StepWholeNumber(m_scaleLines, delta, m_scaleSpin->Lower(), m_scaleSpin->Upper());
    });
    connect(m_gainSpin, &CUpDownCtrl::deltaPos, this, &CEchogramDialogQY210::OnDeltaPosSubBottomGain);
}

void CEchogramDialogQY210::ShowValues()
{
    widgets::SetCheckedIndex(m_gain, m_values.gainType);
    widgets::SetCheckedIndex(m_kind, m_values.echogramKind);
    widgets::SetCheckedIndex(m_bottom, m_values.bottomLine);
    widgets::SetCheckedIndex(m_side, m_values.sidescanSide);
    widgets::SetCheckedIndex(m_view, m_values.sidescanView);
    widgets::SetCheckedIndex(m_pingerGainMode, m_values.pingerGainMode);
    m_scaleLines->setText(QString::number(m_values.scaleLineCount));
    m_scale->setChecked(m_values.scaleLines);
    m_pingFilter->setChecked(m_values.pingFilter);
    m_minute->setChecked(m_values.minuteMarkers);
    m_variableDepth->setChecked(m_values.variableDepthLines);
    m_newRange->setChecked(m_values.newRangeMarkers);
    m_newSvp->setChecked(m_values.newSvpMarkers);
    m_annotation->setChecked(m_values.showAnnotation);
    m_event->setChecked(m_values.eventMarkers);
    m_rangeOther->setChecked(m_values.rangeOther);
    m_subBottomGainOn->setChecked(m_values.subBottomGainOn);
    m_subBottomGain->setText(QString::number(static_cast<double>(m_values.subBottomGain), 'g', 6));
    m_externalDepth->setChecked(m_values.externalDepthOn);
    m_import->setChecked(m_values.importOn);
    m_bottomDetectionLines->setChecked(m_values.bottomDetectionLines);
    m_pingerGain->setText(QString::number(m_values.pingerGain, 'g', 6));
    m_noiseOffset->setText(QString::number(m_values.noiseOffset, 'g', 6));
    m_noiseTracking->setChecked(m_values.noiseTracking == 1);
}

bool CEchogramDialogQY210::TakeValues()
{
    CEchogramDoc::SettingsDialogValues v = m_values;
    double gain = 0.0, pinger = 0.0, noise = 0.0;
    if (!widgets::TakeUnsigned(m_scaleLines, 0, CEchogramDoc::kMaxScaleLines, v.scaleLineCount) ||
        !widgets::TakeAnyDouble(m_subBottomGain, gain) || !widgets::TakeAnyDouble(m_pingerGain, pinger))
        return false;
    if (v.noiseCompensation && !widgets::TakeAnyDouble(m_noiseOffset, noise))
        return false;
    v.gainType = widgets::CheckedIndex(m_gain);
    v.echogramKind = widgets::CheckedIndex(m_kind);
    v.bottomLine = widgets::CheckedIndex(m_bottom);
    v.sidescanSide = widgets::CheckedIndex(m_side);
    v.sidescanView = widgets::CheckedIndex(m_view);
    v.pingerGainMode = widgets::CheckedIndex(m_pingerGainMode);
    v.scaleLines = m_scale->isChecked();
    v.pingFilter = m_pingFilter->isChecked();
    v.minuteMarkers = m_minute->isChecked();
    v.variableDepthLines = m_variableDepth->isChecked();
    v.newRangeMarkers = m_newRange->isChecked();
    v.newSvpMarkers = m_newSvp->isChecked();
    v.showAnnotation = m_annotation->isChecked();
    v.eventMarkers = m_event->isChecked();
    v.rangeOther = m_rangeOther->isChecked();
    v.subBottomGainOn = m_subBottomGainOn->isChecked();
    v.subBottomGain = static_cast<float>(gain);
    v.externalDepthOn = m_externalDepth->isChecked();
    v.externalDepthSource = m_externalSource->currentText().toStdString();
    v.importSource = m_importSource->currentText().toStdString();
    v.importOn = m_import->isChecked();
    v.bottomDetectionLines = m_bottomDetectionLines->isChecked();
    v.pingerGain = pinger;
    if (v.noiseCompensation) {
        v.noiseOffset = noise;
        v.noiseTracking = m_noiseTracking->isChecked() ? 1 : 0;
    }
    m_values = v;
    return true;
}

void CEchogramDialogQY210::OnDeltaPosSubBottomGain(int delta)
{
    if (!TakeValues())
        return;
    double gain = static_cast<double>(m_values.subBottomGain) + (delta > 0 ? 0.1 : -0.1);
    gain = std::clamp(gain, 0.0, static_cast<double>(kMaxSubBottomGain));
    m_values.subBottomGain = static_cast<float>(gain);
    ShowValues();
}

void CEchogramDialogQY210::accept()
{
    if (TakeValues())
        QDialog::accept();
}
