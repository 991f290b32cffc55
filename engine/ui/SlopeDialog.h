// "Slope Settings": the slope history on or off and the number of pings
// the slope is fitted over.
#pragma once

#include "engine/Slope.h"

#include <QDialog>
#include <QRadioButton>
#include <QSpinBox>

class CSlopeDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMinFilterSize = 2;  // a line needs two points
    explicit CSlopeDialog(const CSlope::DialogValues& values, QWidget* parent = nullptr);
    CSlope::DialogValues Values() const;

private:
    QRadioButton* m_on;
    QRadioButton* m_off;
    QSpinBox* m_size;
};
