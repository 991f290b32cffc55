// Whether, how and from which channel a sensor's line sends each ping's
// depth as a depth telegram: shared by the depth outputs of the heave,
// navigation, purse-seine and trawl objects. The owner hands over the
// channel names and its values and reads them back after OK.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;

class CDepthOutputDialog : public QDialog
{
public:
    struct Values
    {
        bool output = false;
        unsigned telegram = 0;  // the formatter's types 0 to 7
        bool checksum = false;
        std::string channel;
    };

    // Control ids.
    static constexpr int IDC_DEPTH_OUTPUT = 1401;
    static constexpr int IDC_DEPTH_TELEGRAM = 1402;
    static constexpr int IDC_DEPTH_CHECKSUM = 1403;
    static constexpr int IDC_DEPTH_CHANNEL = 1404;

    CDepthOutputDialog(const std::vector<std::string>& channels, const Values& values, QWidget* parent = nullptr);
    Values Result() const;

    // Runs it on the values; true (and the values changed) on OK.
    static bool Run(const std::vector<std::string>& channels, Values& values, QWidget* parent);

private:
    void UpdateEnabling();

    QCheckBox* m_output;
    QComboBox* m_telegram;
    QCheckBox* m_checksum;
    QComboBox* m_channel;
};
