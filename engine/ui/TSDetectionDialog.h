// Settings of the single-target detection: echo length limits, the largest
// beam compensation and the largest phase deviation.
#pragma once

#include "engine/TSDetection.h"

#include <QDialog>
#include <QLineEdit>

#include <array>

class CTSDetectionDialog : public QDialog
{
    Q_OBJECT
public:
    struct Field
    {
        const char* Label;
        const char* Name;
        double Minimum;
        double Maximum;
    };
    static const std::array<Field, 4> kFields;

    explicit CTSDetectionDialog(const CTSDetection::Settings& settings, QWidget* parent = nullptr);
    const CTSDetection::Settings& Settings() const { return m_settings; }
    void accept() override;

private:
    CTSDetection::Settings m_settings;
    std::array<QLineEdit*, 4> m_edits{};
};
