// "Advanced Navigation": which NMEA sentence is the position, or the layout
// of an ASCII position line, the position and GGA quality checks and the
// antenna height. Sentence buttons are for NMEA input, the ASCII set-up for
// ASCII input; the other is disabled.
#pragma once

#include "sensors/Navigation.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class CAdvancedNavigationDialog : public QDialog
{
public:
    // Takes the fields when they hold what they may; else stays open.
    void accept() override;
    CAdvancedNavigationDialog(const CNavigation::Settings& settings, QWidget* parent = nullptr);
    // The settings as the operator left them (those the dialog edits).
    CNavigation::Settings Result() const;

private:
    void SelectSentence(int sentence);

    CNavigation::Settings m_settings;
    std::vector<QRadioButton*> m_sentences;
    QLineEdit* m_sequence;
    QSpinBox* m_fields;
    QSpinBox* m_startField;
    QComboBox* m_separator;
    std::vector<QRadioButton*> m_terminator;
    QCheckBox* m_checkForPos;
    QSpinBox* m_quality;
    QSpinBox* m_satellites;
    QLineEdit* m_dilution;
    QLineEdit* m_height;
};
