// The echogram settings dialog of the models without a dialog of their own
// ("Echogram"): echogram kind and range mode, TVG, horizontal depth lines
// with the bottom line, vertical markers and the ping filter. The RM30
// dialog is the same with its own gain buttons and texts.
#pragma once

#include "display/EchogramDoc.h"

#include "app/widgets/DialogExchange.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CUpDownCtrl;

class CEchogramDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 131;
    static constexpr int kHelpId = widgets::kDialogHelpId;

    explicit CEchogramDialog(const CEchogramDoc::SettingsDialogValues& values, QWidget* parent = nullptr);

    // Reads the controls, with the range check of the scale line count;
    // false (with the message shown) when a field is wrong.
    bool TakeValues();
    const CEchogramDoc::SettingsDialogValues& Values() const { return m_values; }

    void accept() override;

protected:
    CEchogramDialog(const CEchogramDoc::SettingsDialogValues& values, bool rm30, QWidget* parent);

private:
    void Build(bool rm30);
    void ShowValues();

    CEchogramDoc::SettingsDialogValues m_values;
    std::vector<QRadioButton*> m_gain;
    std::vector<QRadioButton*> m_kind;
    std::vector<QRadioButton*> m_bottom;
    QCheckBox* m_trawl = nullptr;
    QCheckBox* m_scale = nullptr;
    QCheckBox* m_pingFilter = nullptr;
    QCheckBox* m_minute = nullptr;
    QCheckBox* m_variableDepth = nullptr;
    QCheckBox* m_newRange = nullptr;
    QCheckBox* m_event = nullptr;
    QCheckBox* m_rangeOther = nullptr;
    QCheckBox* m_purseSeine = nullptr;
    QLineEdit* m_scaleLines = nullptr;
    CUpDownCtrl* m_scaleSpin = nullptr;
};
