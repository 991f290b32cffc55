// "Serial Interface" (dialog 226): the serial I/O hub's settings. It edits a
// copy of the hub's settings; OK saves them and reopens the line, Cancel
// leaves every setting as it was. The per-channel boxes carry the installed
// channels' names, and the boxes of a channel that is not installed are
// disabled and cleared; at most two Atlas and two FZ channels can be
// checked. "RS232..." opens the component's port settings, and a double
// click of the secondary mouse button while the primary one is held shows
// its statistics.
#pragma once

#include "outputs/QYSerial.h"
#include "sensors/ui/SensorDialog.h"

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace outputsui {

class CQYSerialDialog : public CSensorDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 226;
    static constexpr int kDecimateSpin = 1513;

    // channels: the installed channels' names, in channel order.
    CQYSerialDialog(CQYSerial& hub, std::vector<std::string> channels, QWidget* parent = nullptr);

    // The edited settings; valid after OK.
    const CQYSerial::Settings& Values() const { return m_values; }
    void accept() override;

    // Runs the dialog on the hub; 1 after OK (saved, line reopened), 0
    // after Cancel (nothing changed).
    static int Run(CQYSerial& hub, std::vector<std::string> channels, QWidget* parent);

private:
    bool Installed(std::size_t channel) const { return channel < m_channels.size(); }
    // The NMEA channel buttons while one NMEA telegram is checked.
    void ApplyNmeaRule();
    // At most two boxes of a kind checked: the others disabled then.
    void ApplyAtMostTwo(const std::array<QCheckBox*, 4>& boxes);
    void StepDecimate(int delta);

    CQYSerial& m_hub;
    std::vector<std::string> m_channels;
    CQYSerial::Settings m_values;

    std::array<QRadioButton*, 3> m_termination{};
    QCheckBox* m_dpt = nullptr;
    QCheckBox* m_dbs = nullptr;
    QCheckBox* m_dbt = nullptr;
    std::array<QRadioButton*, 4> m_nmeaChannel{};
    std::array<QCheckBox*, 4> m_atlas{};
    std::array<QCheckBox*, 4> m_fz{};
    std::array<QCheckBox*, 4> m_zelvar{};
    QCheckBox* m_addFrequency = nullptr;
    QCheckBox* m_hymas = nullptr;
    QCheckBox* m_withoutHeave = nullptr;
    std::array<QCheckBox*, 7> m_outputs{};
    std::array<QCheckBox*, 3> m_inputs{};
    QCheckBox* m_decimate = nullptr;
    QLineEdit* m_decimateHz = nullptr;
};

}  // namespace outputsui
