// The QY models' echogram settings dialog ("Echogram", template 208 for the
// QY210, 252 for the QY310 and QYNVU): besides the general dialog's groups
// the side-scan and along-track slope kinds, the contour line, the
// sub-bottom gain, the external depth and import sources, the side-scan
// options and the pinger gain. While the channel compensates noise it also
// shows the noise offset and its tracking.
#pragma once

#include "display/EchogramDoc.h"

#include "app/widgets/DialogExchange.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class CUpDownCtrl;

class CEchogramDialogQY210 : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpId = widgets::kDialogHelpId;
    static constexpr float kMaxSubBottomGain = 5.0f;

    CEchogramDialogQY210(const CEchogramDoc::SettingsDialogValues& values, int templateId, QWidget* parent = nullptr);

    bool TakeValues();
    const CEchogramDoc::SettingsDialogValues& Values() const { return m_values; }
    int TemplateId() const { return m_templateId; }

    // A press of the sub-bottom gain's up-down control: 0.1 dB up or down,
    // kept within 0 to 5.
    void OnDeltaPosSubBottomGain(int delta);

    void accept() override;

private:
    void Build();
    void ShowValues();

    CEchogramDoc::SettingsDialogValues m_values;
    int m_templateId;
    std::vector<QRadioButton*> m_gain;
    std::vector<QRadioButton*> m_kind;
    std::vector<QRadioButton*> m_bottom;
    std::vector<QRadioButton*> m_side;
    std::vector<QRadioButton*> m_view;
    std::vector<QRadioButton*> m_pingerGainMode;
    QGroupBox* m_tvgFrame = nullptr;
    QCheckBox* m_scale = nullptr;
    QCheckBox* m_pingFilter = nullptr;
    QCheckBox* m_minute = nullptr;
    QCheckBox* m_variableDepth = nullptr;
    QCheckBox* m_newRange = nullptr;
    QCheckBox* m_newSvp = nullptr;
    QCheckBox* m_annotation = nullptr;
    QCheckBox* m_event = nullptr;
    QCheckBox* m_rangeOther = nullptr;
    QCheckBox* m_subBottomGainOn = nullptr;
    QCheckBox* m_externalDepth = nullptr;
    QCheckBox* m_import = nullptr;
    QCheckBox* m_bottomDetectionLines = nullptr;
    QCheckBox* m_noiseTracking = nullptr;
    QLineEdit* m_scaleLines = nullptr;
    QLineEdit* m_subBottomGain = nullptr;
    QLineEdit* m_pingerGain = nullptr;
    QLineEdit* m_noiseOffset = nullptr;
    QComboBox* m_externalSource = nullptr;
    QComboBox* m_importSource = nullptr;
    QGroupBox* m_pingerFrame = nullptr;
    QLabel* m_pingerUnit = nullptr;
    CUpDownCtrl* m_scaleSpin = nullptr;
    CUpDownCtrl* m_gainSpin = nullptr;
};
