// A plain up-down control: two arrow buttons that report each press as a
// step of +1 or -1. The dialog decides what a step does to its field, so
// the control's own position never matters.
#pragma once

#include <QWidget>

class QToolButton;

class CUpDownCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit CUpDownCtrl(QWidget* parent = nullptr);
    void SetRange(int lower, int upper);
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

Q_SIGNALS:
    void deltaPos(int delta);

private:
    QToolButton* m_up;
    QToolButton* m_down;
    int m_lower = 0;
    int m_upper = 100;
};
