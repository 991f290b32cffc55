// "Network Interface" (dialog 225): the network output's settings. It edits
// a copy of the output's settings; OK hands them back, where the output
// takes them over (CQYNet::ApplySettings: destination, local port, saved).
// The per-channel controls carry the installed channels' names and are
// enabled only for them; the echogram ranges are shown in the depth unit
// and kept in metres.
#pragma once

#include "outputs/QYNet.h"

#include <QDialog>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace outputsui {

class CDestinationFields;

class CQYNetDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 225;
    static constexpr int kLocalPortSpin = 1289;

    // channels: the installed channels' names, in channel order.
    CQYNetDialog(const CQYNet::Settings& settings, std::vector<std::string> channels, QWidget* parent = nullptr);

    // The edited settings; valid after OK.
    const CQYNet::Settings& Values() const { return m_values; }
    void accept() override;

    // The TVG choice shown for a stored value, and the value a choice
    // stores (0 "No", 1 "20 log R", 2 "30 log R", 3 "40 log R", 4 "From
    // view").
    static int TvgChoice(std::uint32_t stored);
    static std::uint32_t TvgValue(int choice);

    // Runs the dialog on the output; OK applies it. True after OK.
    static bool OnNetworkInterface(CQYNet& output, std::vector<std::string> channels, QWidget* parent);

private:
    bool Installed(std::size_t channel) const { return channel < m_channels.size(); }
    // "Output Enabled" follows the three NMEA boxes; the NMEA channel
    // buttons follow it.
    void ApplyNmeaRule();
    void OnSurfaceRange();
    void OnBottomRange();

    CQYNet::Settings m_values;
    std::vector<std::string> m_channels;
    CDestinationFields* m_destination = nullptr;
    QLineEdit* m_localPort = nullptr;
    std::array<QCheckBox*, 4> m_depth{};
    std::array<QCheckBox*, 4> m_echogram{};
    std::array<QRadioButton*, 4> m_nmeaChannel{};
    QRadioButton* m_binary = nullptr;
    QRadioButton* m_ascii = nullptr;
    QCheckBox* m_addFrequency = nullptr;
    QCheckBox* m_withoutHeave = nullptr;
    QCheckBox* m_hymas = nullptr;
    QCheckBox* m_dbs = nullptr;
    QCheckBox* m_dbt = nullptr;
    QCheckBox* m_dpt = nullptr;
    QCheckBox* m_nmeaEnabled = nullptr;
    QLineEdit* m_surfaceCount = nullptr;
    QLineEdit* m_bottomCount = nullptr;
    std::array<QRadioButton*, 5> m_tvg{};
    std::array<QCheckBox*, 7> m_datagrams{};
};

}  // namespace outputsui
