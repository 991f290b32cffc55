// The point dialog of the points view: a depth and a sound velocity.
#pragma once

#include <QDialog>

class QLineEdit;

class CPointEdit : public QDialog
{
public:
    CPointEdit(double depth, double velocity, QWidget* parent);

    double GetDepth() const { return m_depth; }
    double GetVelocity() const { return m_velocity; }

    // Takes both fields when they hold numbers, else stays open.
    void accept() override;

private:
    double m_depth;
    double m_velocity;
    QLineEdit* m_depthField;
    QLineEdit* m_velocityField;
};
