// "Remote Display" (dialog 235): the remote display's format, channel and
// switch, and its line's port settings ("RS232..."). The channel buttons
// carry the names of the sounder's channel displays and are enabled only
// for those in use.
#pragma once

#include "outputs/RDDialog.h"

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QRadioButton;

namespace outputsui {

class CRemoteDisplayDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 235;
    static constexpr int kChannels = 4;
    struct SChannel
    {
        std::string name;
        bool inUse = false;
    };
    using Channels = std::array<SChannel, kChannels>;

    CRemoteDisplayDialog(CRDDialog& display, const CRDDialog::Settings& values, const Channels& channels,
                         QWidget* parent = nullptr);
    const CRDDialog::Settings& Values() const { return m_values; }
    void accept() override;

    // Runs the dialog on the remote display: Cancel returns 0; OK without a
    // settings key returns 1; OK with one writes the settings and returns 0.
    static int Run(CRDDialog& display, const Channels& channels, QWidget* parent);

private:
    CRDDialog::Settings m_values;
    std::array<QRadioButton*, 2> m_formats{};
    std::array<QRadioButton*, kChannels> m_channels{};
    QCheckBox* m_enabled = nullptr;
};

}  // namespace outputsui
