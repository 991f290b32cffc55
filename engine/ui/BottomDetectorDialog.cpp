#include "engine/ui/BottomDetectorDialog.h"

#include "app/widgets/DialogFields.h"
#include "base/DepthUnit.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using widgets::CheckRange;
using widgets::FormatNumber;

double CBottomDetectorDialog::LargestDepth()
{
    return CDepthUnit::GetRange(CDepthUnit::GetRangeCount(CDepthUnit::kModeSurface), CDepthUnit::kModeSurface);
}

QLineEdit* CBottomDetectorDialog::AddDepthRow(QGridLayout* grid, int row, const QString& label, const char* name,
                                              double metres, QSlider** slider)
{
    const double largest = LargestDepth();
    const double shown = CDepthUnit::FromMeters(metres);
    grid->addWidget(new QLabel(label, this), row, 0);
    auto* s = new QSlider(Qt::Horizontal, this);
    s->setObjectName(QString(name) + "_SLIDER");
    s->setRange(0, static_cast<int>(std::lround(largest)));
    s->setSingleStep(1);
    s->setPageStep(std::max(1, static_cast<int>(largest / 20.0)));
    s->setValue(static_cast<int>(std::lround(std::clamp(shown, 0.0, largest))));
    grid->addWidget(s, row, 1);
    auto* edit = new QLineEdit(FormatNumber(shown, 0), this);
    edit->setObjectName(name);
    grid->addWidget(edit, row, 2);
    auto* unit = new QLabel(QString::fromStdString(CDepthUnit::GetUnitSymbol()), this);
    unit->setObjectName(QString(name) + "_UNIT");
    grid->addWidget(unit, row, 3);
    connect(s, &QSlider::valueChanged, edit, [edit](int v) { edit->setText(FormatNumber(v, 0)); });
    *slider = s;
    return edit;
}

CBottomDetectorDialog::CBottomDetectorDialog(const CBottomDetector::DialogValues& values, QWidget* parent)
    : QDialog(parent), m_values(values)
{
    setObjectName("CBottomDetectorDialog");
    setWindowTitle("Bottom Detector");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_minDepth = AddDepthRow(grid, 0, "Minimum Depth", "IDC_MIN_DEPTH", values.MinimumDepth, &m_minSlider);
    m_maxDepth = AddDepthRow(grid, 1, "Maximum Depth", "IDC_MAX_DEPTH", values.MaximumDepth, &m_maxSlider);

    const QString unit = QString::fromStdString(CDepthUnit::GetUnitSymbol());
    m_lost = new QCheckBox("Bottom Lost Warning", this);
    m_lost->setObjectName("IDC_BOTTOM_LOST");
    m_lost->setChecked(values.BottomLostWarning);
    grid->addWidget(m_lost, 2, 0, 1, 2);

    m_minAlarm = new QCheckBox("Min. Depth Alarm:", this);
    m_minAlarm->setObjectName("IDC_MIN_ALARM");
    m_minAlarm->setChecked(values.MinimumDepthAlarm);
    m_minAlarmDepth = new QLineEdit(FormatNumber(CDepthUnit::FromMeters(values.MinimumAlarmDepth), 1), this);
    m_minAlarmDepth->setObjectName("IDC_MIN_ALARM_DEPTH");
    grid->addWidget(m_minAlarm, 3, 0);
    grid->addWidget(m_minAlarmDepth, 3, 2);
    grid->addWidget(new QLabel(unit, this), 3, 3);

    m_maxAlarm = new QCheckBox("Max. Depth Alarm:", this);
    m_maxAlarm->setObjectName("IDC_MAX_ALARM");
    m_maxAlarm->setChecked(values.MaximumDepthAlarm);
    m_maxAlarmDepth = new QLineEdit(FormatNumber(CDepthUnit::FromMeters(values.MaximumAlarmDepth), 1), this);
    m_maxAlarmDepth->setObjectName("IDC_MAX_ALARM_DEPTH");
    grid->addWidget(m_maxAlarm, 4, 0);
    grid->addWidget(m_maxAlarmDepth, 4, 2);
    grid->addWidget(new QLabel(unit, this), 4, 3);

    grid->addWidget(new QLabel("Backstep Min. Level:", this), 5, 0);
    m_backstep = new QLineEdit(FormatNumber(values.BackstepLevel, 1), this);
    m_backstep->setObjectName("IDC_BACKSTEP");
    grid->addWidget(m_backstep, 5, 2);
    grid->addWidget(new QLabel(" dB", this), 5, 3);

    m_smoothing = new QCheckBox("Bottom Smoothing", this);
    m_smoothing->setObjectName("IDC_BOTTOM_SMOOTHING");
    m_smoothing->setChecked(values.BottomSmoothing);
    grid->addWidget(m_smoothing, 6, 0, 1, 2);
    m_alternative = new QCheckBox("Alternative Bottom Detector", this);
    m_alternative->setObjectName("IDC_ALTERNATIVE");
    m_alternative->setChecked(values.AlternativeDetector);
    grid->addWidget(m_alternative, 7, 0, 1, 2);

    m_secondLayer = new QCheckBox("Detect Second Layer Bottom", this);
    m_secondLayer->setObjectName("IDC_SECOND_LAYER");
    m_secondLayer->setChecked(values.SecondLayer);
    grid->addWidget(m_secondLayer, 8, 0, 1, 2);
    grid->addWidget(new QLabel("First Layer Refered to:", this), 9, 0);
    m_reference = new QComboBox(this);
    m_reference->setObjectName("IDC_REFERENCE");
    m_reference->setEditable(false);
    for (const std::string& name : values.ReferenceChoices)
        if (!name.empty() && m_reference->count() < CBottomDetector::kExternalSources)
            m_reference->addItem(QString::fromStdString(name));
    const int current = m_reference->findText(QString::fromStdString(values.Reference));
    m_reference->setCurrentIndex(current);
    grid->addWidget(m_reference, 9, 1, 1, 2);
    grid->addWidget(new QLabel("Gain below reference depth", this), 10, 0);
    m_gain = new QLineEdit(FormatNumber(values.Gain, 2), this);
    m_gain->setObjectName("IDC_GAIN");
    grid->addWidget(m_gain, 10, 2);
    grid->addWidget(new QLabel(" dB", this), 10, 3);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CBottomDetectorDialog::accept()
{
    const double largest = LargestDepth();
    double backstep, gain, minDepth, maxDepth, minAlarm, maxAlarm;
    // The minimum depth is checked again against the maximum: a window whose
    // top lies below its bottom would search nothing.
    if (!CheckRange(m_backstep, kBackstepMin, kBackstepMax, backstep) ||
        !CheckRange(m_gain, kGainMin, kGainMax, gain) || !CheckRange(m_minDepth, 0.0, largest, minDepth) ||
        !CheckRange(m_maxDepth, 0.0, largest, maxDepth) || !CheckRange(m_minDepth, 0.0, maxDepth, minDepth) ||
        !CheckRange(m_minAlarmDepth, 0.0, largest, minAlarm) || !CheckRange(m_maxAlarmDepth, 0.0, largest, maxAlarm))
        return;
    m_values.MinimumDepth = CDepthUnit::ToMeters(minDepth);
    m_values.MaximumDepth = CDepthUnit::ToMeters(maxDepth);
    m_values.MinimumAlarmDepth = CDepthUnit::ToMeters(minAlarm);
    m_values.MaximumAlarmDepth = CDepthUnit::ToMeters(maxAlarm);
    m_values.BackstepLevel = backstep;
    m_values.Gain = gain;
    m_values.BottomLostWarning = m_lost->isChecked();
    m_values.MinimumDepthAlarm = m_minAlarm->isChecked();
    m_values.MaximumDepthAlarm = m_maxAlarm->isChecked();
    m_values.BottomSmoothing = m_smoothing->isChecked();
    m_values.AlternativeDetector = m_alternative->isChecked();
    m_values.SecondLayer = m_secondLayer->isChecked();
    m_values.Reference = m_reference->currentIndex() >= 0 ? m_reference->currentText().toStdString() : std::string();
    QDialog::accept();
}
