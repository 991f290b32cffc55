#include "display/ui/EchogramDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/UpDownCtrl.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

using widgets::StandardButtons;
using widgets::WithId;

namespace {

std::vector<QRadioButton*> RadioGroup(QGroupBox* box, std::initializer_list<std::pair<int, const char*>> buttons)
{
    auto* layout = new QVBoxLayout(box);
    std::vector<QRadioButton*> group;
    for (const auto& [id, text] : buttons) {
        auto* button = WithId(new QRadioButton(text, box), id);
        layout->addWidget(button);
        group.push_back(button);
    }
    return group;
}

}  // namespace

CEchogramDialog::CEchogramDialog(const CEchogramDoc::SettingsDialogValues& values, QWidget* parent)
    : CEchogramDialog(values, false, parent)
{}

CEchogramDialog::CEchogramDialog(const CEchogramDoc::SettingsDialogValues& values, bool rm30, QWidget* parent)
    : QDialog(parent), m_values(values)
{
    const int templateId = rm30 ? CEchogramDoc::kRM30Template : kTemplate;
    setObjectName(QString("dialog_%1").arg(templateId));
    setWindowTitle(rm30 ? "Echogram Dialog" : "Echogram");
    QFont f("Arial");
    f.setPointSize(8);
    setFont(f);
    Build(rm30);
    ShowValues();
}

void CEchogramDialog::Build(bool rm30)
{
    auto* layout = new QGridLayout(this);

    auto* gain = new QGroupBox(rm30 ? "Gain" : "TVG", this);
    if (rm30)
        m_gain = RadioGroup(gain, {{1005, "School "}, {1006, "Fish "}});
    else
        m_gain = RadioGroup(gain, {{1005, "No"}, {1006, "20 log "}, {1009, "40 log"}, {1010, "Bottom"}});
    layout->addWidget(gain, 0, 0);

    auto* kind = new QGroupBox("Echogram", this);
    m_kind = RadioGroup(kind, {{1036, "Surface - Manual"},
                               {1008, "Surface - Auto Range"},
                               {1011, "Surface - Auto Start"},
                               {1013, "Bottom"},
                               {1012, "Trawl"}});
    layout->addWidget(kind, 1, 0);

    auto* lines = new QGroupBox("Horizontal Depth Lines", this);
    auto* linesLayout = new QVBoxLayout(lines);
    m_trawl = WithId(new QCheckBox("Trawl", lines), 1023);
    m_scale = WithId(new QCheckBox("Scale", lines), 1024);
    auto* count = new QHBoxLayout;
    m_scaleLines = WithId(new QLineEdit(lines), 1054);
    m_scaleSpin = WithId(new CUpDownCtrl(lines), 1057);
    count->addWidget(m_scale);
    count->addWidget(m_scaleLines);
    count->addWidget(m_scaleSpin);
    m_variableDepth = WithId(new QCheckBox("Variable Depth", lines), 1028);
    m_rangeOther = WithId(new QCheckBox("Range Other", lines), 1308);
    m_purseSeine = WithId(new QCheckBox("Purse Seine", lines), 1025);
    linesLayout->addWidget(m_trawl);
    linesLayout->addLayout(count);
    linesLayout->addWidget(m_variableDepth);
    linesLayout->addWidget(m_rangeOther);
    linesLayout->addWidget(m_purseSeine);
    auto* bottom = new QGroupBox(rm30 ? "Bottom" : "Bottom Line", lines);
    m_bottom = RadioGroup(bottom, {{1039, "Off"}, {1015, "On"}, {1016, "White Line"}});
    linesLayout->addWidget(bottom);
    layout->addWidget(lines, 0, 1, 2, 1);

    auto* markers = new QGroupBox("Vertical Markers", this);
    auto* markersLayout = new QVBoxLayout(markers);
    m_event = WithId(new QCheckBox("Event", markers), 1030);
    m_minute = WithId(new QCheckBox("Minute", markers), 1027);
    m_newRange = WithId(new QCheckBox("New Range", markers), 1029);
    markersLayout->addWidget(m_event);
    markersLayout->addWidget(m_minute);
    markersLayout->addWidget(m_newRange);
    layout->addWidget(markers, 0, 2);
    m_pingFilter = WithId(new QCheckBox("Ping Filter", this), 1026);
    layout->addWidget(m_pingFilter, 1, 2);

    auto* buttons = StandardButtons(this, true);
    layout->addWidget(buttons, 2, 0, 1, 3);

    m_scaleSpin->SetRange(0, static_cast<int>(CEchogramDoc::kMaxScaleLines));
    connect(m_scaleSpin, &CUpDownCtrl::deltaPos, this, [this](int delta) {
        widgets::StepWholeNumber(m_scaleLines, delta, m_scaleSpin->Lower(), m_scaleSpin->Upper());
    });
}

void CEchogramDialog::ShowValues()
{
    widgets::SetCheckedIndex(m_gain, m_values.gainType);
    widgets::SetCheckedIndex(m_kind, m_values.echogramKind);
    widgets::SetCheckedIndex(m_bottom, m_values.bottomLine);
    m_trawl->setChecked(m_values.trawlLine);
    m_scaleLines->setText(QString::number(m_values.scaleLineCount));
    m_scale->setChecked(m_values.scaleLines);
    m_pingFilter->setChecked(m_values.pingFilter);
    m_minute->setChecked(m_values.minuteMarkers);
    m_variableDepth->setChecked(m_values.variableDepthLines);
    m_newRange->setChecked(m_values.newRangeMarkers);
    m_event->setChecked(m_values.eventMarkers);
    m_rangeOther->setChecked(m_values.rangeOther);
    m_purseSeine->setChecked(m_values.purseSeine);
}

bool CEchogramDialog::TakeValues()
{
    CEchogramDoc::SettingsDialogValues v = m_values;
    if (!widgets::TakeUnsigned(m_scaleLines, 0, CEchogramDoc::kMaxScaleLines, v.scaleLineCount))
        return false;
    v.gainType = widgets::CheckedIndex(m_gain);
    v.echogramKind = widgets::CheckedIndex(m_kind);
    v.bottomLine = widgets::CheckedIndex(m_bottom);
    v.trawlLine = m_trawl->isChecked();
    v.scaleLines = m_scale->isChecked();
    v.pingFilter = m_pingFilter->isChecked();
    v.minuteMarkers = m_minute->isChecked();
    v.variableDepthLines = m_variableDepth->isChecked();
    v.newRangeMarkers = m_newRange->isChecked();
    v.eventMarkers = m_event->isChecked();
    v.rangeOther = m_rangeOther->isChecked();
    v.purseSeine = m_purseSeine->isChecked();
    m_values = v;
    return true;
}

void CEchogramDialog::accept()
{
    if (TakeValues())
        QDialog::accept();
}
