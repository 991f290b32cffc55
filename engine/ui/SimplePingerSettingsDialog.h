// "Simple pinger settings" (dialog 281): the simple pinger's interval and
// pulse length, and the installed channel it transmits on.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

class CSimplePingerSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 281;

    CSimplePingerSettingsDialog(double interval, double pulseLength, const std::string& source,
                                const std::vector<std::string>& channels, QWidget* parent = nullptr);

    // Valid after OK.
    double Interval() const { return m_interval; }
    double PulseLength() const { return m_pulseLength; }
    const std::string& Source() const { return m_source; }
    void accept() override;

private:
    QLineEdit* m_intervalEdit = nullptr;
    QLineEdit* m_pulseEdit = nullptr;
    QComboBox* m_sources = nullptr;
    double m_interval;
    double m_pulseLength;
    std::string m_source;
};
