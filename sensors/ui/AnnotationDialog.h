// The "Annotation" settings dialog: a text to annotate now, the periodic
// time annotation, the event counter and the position annotation.
#pragma once

#include "sensors/Annotation.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class CAnnotationDialog : public QDialog
{
public:
    static constexpr int kTemplateId = 160;
    static constexpr int kMaxText = 80;

    explicit CAnnotationDialog(const CAnnotation::Settings& settings, QWidget* parent = nullptr);
    // The values as the operator left them.
    CAnnotation::DialogResult Result() const;

    // Runs the dialog on the annotation object; its result (1 OK, 0 Cancel).
    static int Run(CAnnotation& annotation, QWidget* parent = nullptr);

private:
    QLineEdit* m_text;
    QCheckBox* m_timer;
    QSpinBox* m_interval;
    QSpinBox* m_event;
    QRadioButton* m_decrease;
    QRadioButton* m_increase;
    QCheckBox* m_addPosition;
    QCheckBox* m_addTime;
    QCheckBox* m_navigation;
    QSpinBox* m_navigationInterval;
};
