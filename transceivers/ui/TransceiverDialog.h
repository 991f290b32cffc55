// "Transceiver Settings" of one channel: its mode, transmit power and pulse
// length on sliders over the unit's choices, where the transducer sits and
// its label; the wide-band model's form adds the FM pulse, the CW filter,
// the resolution and the double sample rate. It shows the values handed in
// and hands back what OK confirmed (Values); the transceiver applies them.
#pragma once

#include "transceivers/TransceiverDialogs.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

class CTransceiverDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDescriptionLength = 20;
    static constexpr int kLabelLength = 15;
    static constexpr int kCwPositions = 3;  // the resolution: a quarter, a half, the whole pulse
    static constexpr int kFmPositions = 5;  // the FM pulse: 2, 4, 8, 16 or 32 pulse lengths

    explicit CTransceiverDialog(const TransceiverDialogValues& values, QWidget* parent = nullptr);
    TransceiverDialogValues Values() const;

    // Whether a channel of the frequency may choose an FM pulse, or keeps
    // the one it has chosen.
    static bool OffersFm(double frequency, bool fmChosen);
    // The resolution (cm) at a slider position: with CW the pulse's, cut to
    // a quarter, a half or whole; with FM that of the first pulse length
    // times 1, 2, 4, 8 or 16.
    static double Resolution(bool fm, int position, double pulseLength, double firstPulseLength);
    // The FM pulse length at a slider position: 2, 4, 8, 16 or 32 times the
    // pulse length.
    static double FmPulseLength(int position, double pulseLength);
    // Entries of the pulse-length table before its first repeat.
    static int TableLength(const double* table, int count);

    // OK: the number fields are checked first.
    void accept() override;

private:
    void UpdateTexts();
    void UpdatePulseType();
    bool IsFm() const;
    double PulseLength() const;

    TransceiverDialogValues m_values;
    bool m_wideBand;
    int m_pulseCount;
    std::vector<QRadioButton*> m_mode;
    QSlider* m_power;
    QLabel* m_powerText;
    QSlider* m_pulse;
    QLabel* m_pulseText;
    QLineEdit* m_draught;
    QLineEdit* m_x;
    QLineEdit* m_y;
    QLineEdit* m_z;
    QLineEdit* m_label;
    QLineEdit* m_remark = nullptr;
    // The wide-band model's controls.
    QCheckBox* m_fmCheck = nullptr;
    QCheckBox* m_doubleRate = nullptr;
    std::vector<QRadioButton*> m_filter;
    std::vector<QRadioButton*> m_pulseType;
    QSlider* m_resolution = nullptr;
    QLabel* m_resolutionText = nullptr;
    std::vector<QLabel*> m_resolutionLabels;
};
