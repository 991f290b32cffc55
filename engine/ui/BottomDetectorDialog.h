// "Bottom Detector": search range, alarms, backstep level, smoothing, the
// alternative detector and the second-layer mode of one channel. Depths
// are shown in the current depth unit and handed back in metres.
#pragma once

#include "engine/BottomDetector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSlider>

class CBottomDetectorDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr double kBackstepMin = -80.0;
    static constexpr double kBackstepMax = 0.0;
    static constexpr double kGainMin = 0.0;
    static constexpr double kGainMax = 5.0;

    explicit CBottomDetectorDialog(const CBottomDetector::DialogValues& values, QWidget* parent = nullptr);
    const CBottomDetector::DialogValues& Values() const { return m_values; }
    // The largest depth the fields take, in the current unit.
    static double LargestDepth();
    void accept() override;

private:
    QLineEdit* AddDepthRow(class QGridLayout* grid, int row, const QString& label, const char* name, double metres,
                           QSlider** slider);

    CBottomDetector::DialogValues m_values;
    QSlider* m_minSlider = nullptr;
    QSlider* m_maxSlider = nullptr;
    QLineEdit* m_minDepth = nullptr;
    QLineEdit* m_maxDepth = nullptr;
    QCheckBox* m_lost = nullptr;
    QCheckBox* m_minAlarm = nullptr;
    QCheckBox* m_maxAlarm = nullptr;
    QLineEdit* m_minAlarmDepth = nullptr;
    QLineEdit* m_maxAlarmDepth = nullptr;
    QLineEdit* m_backstep = nullptr;
    QCheckBox* m_smoothing = nullptr;
    QCheckBox* m_alternative = nullptr;
    QCheckBox* m_secondLayer = nullptr;
    QComboBox* m_reference = nullptr;
    QLineEdit* m_gain = nullptr;
};
