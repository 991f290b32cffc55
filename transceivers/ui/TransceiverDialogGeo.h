// "Transceiver Settings" of a GEO channel: its sample interval on a slider
// over the unit's choices, where the transducer sits and how it is turned,
// and its label.
#pragma once

#include "transceivers/TransceiverDialogs.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QSlider;

class CTransceiverDialogGeo : public QDialog
{
    Q_OBJECT
public:
    explicit CTransceiverDialogGeo(const GeoTransceiverDialogValues& values, QWidget* parent = nullptr);
    GeoTransceiverDialogValues Values() const;

    // OK: the number fields are checked first.
    void accept() override;

private:
    void UpdateText();

    GeoTransceiverDialogValues m_values;
    QSlider* m_interval;
    QLabel* m_intervalText;
    QLineEdit* m_draught;
    QLineEdit* m_x;
    QLineEdit* m_y;
    QLineEdit* m_z;
    QLineEdit* m_roll;
    QLineEdit* m_pitch;
    QLineEdit* m_azimuth;
    QLineEdit* m_label;
};
