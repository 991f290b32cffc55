// A spin control that steps a floating-point value in its buddy edit field;
// holding an arrow makes the steps coarser every three seconds.
#pragma once

#include "app/widgets/SpinDouble.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

namespace app {

class CSpinButtonDoubleCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit CSpinButtonDoubleCtrl(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy) { m_buddy = buddy; }
    QLineEdit* Buddy() const { return m_buddy; }
    void SetRange(int precision, double minimum, double maximum) { m_value.SetRange(precision, minimum, maximum); }
    void SetRangeDouble(int precision, double minimum, double maximum) { SetRange(precision, minimum, maximum); }
    double GetValue() const { return m_value.Value(); }
    const CSpinDoubleValue& Model() const { return m_value; }

    // One change notification: delta steps up (positive) or down.
    void OnDeltaPos(int delta);

Q_SIGNALS:
    void valueChanged(double value);

private:
    void Press(int direction);

    CSpinDoubleValue m_value;
    QPointer<QLineEdit> m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    QElapsedTimer m_held;
};

}  // namespace app
