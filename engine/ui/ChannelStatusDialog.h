// "Channel Status" (dialog 251): a modeless window that shows, for up to four
// channels side by side, the transmit and receive settings in force. The
// main frame owns it, gives it the channel ids and values, and refreshes it.
#pragma once

#include "engine/Channel.h"

#include <QDialog>

#include <array>
#include <string>

class QLabel;

class CChannelStatusDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 251;
    static constexpr int kColumns = 4;
    static constexpr int kChannels = 8;

    explicit CChannelStatusDialog(QWidget* parent = nullptr);

    // The short ids of the channel displays in force, which name the
    // columns; replaying, their "Replay " is left out.
    void SetChannelIds(const std::array<std::string, kChannels>& shortIds, bool replaying);
    // The number of channels the sounder has; up to four get a column.
    void SetChannelCount(int count);
    void SetChannel(int index, const CChannel::StatusValues& values);
    // Writes the columns from what was set; without a channel the texts stay.
    void Refresh();

    QLabel* Field(const char* row, int column) const;

Q_SIGNALS:
    // The operator closed the window.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateOneChannel(int column);

    static constexpr int kRows = 8;  // the name, then the seven values
    std::array<std::array<QLabel*, kRows>, kColumns> m_fields{};
    std::array<std::string, kChannels> m_ids{};
    bool m_replaying = false;
    int m_count = 0;
    bool m_laidOut = false;
    std::array<CChannel::StatusValues, kChannels> m_values{};
};
