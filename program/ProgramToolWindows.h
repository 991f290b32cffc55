// The main frame's tool windows in the running program: the channel status
// dialog, filled from the running sounder's channels, and the replay bar,
// which seeks in the replay that runs when its slider is let go. The
// replay's file times and slider table come from the trigger thread and are
// carried here, to the user-interface thread, as owned payloads. Pinger
// mode's "Pinger Ready" and synchronisation windows are made when pinger
// mode first asks for them.
#pragma once

#include "app/ui/ToolWindows.h"
#include "recording/DatagramFormat.h"

#include <QPointer>

#include <string>

class CChannelStatusDialog;
class CPingerReadyDialog;
class CPingerSyncDialog;

namespace zv::recording {
class CReplayButtons;
}

namespace app {

class CProgram;

class CProgramToolWindows final : public IToolWindows
{
public:
    explicit CProgramToolWindows(CProgram& program);
    ~CProgramToolWindows() override;
    CProgramToolWindows(const CProgramToolWindows&) = delete;
    CProgramToolWindows& operator=(const CProgramToolWindows&) = delete;

    bool HasChannelStatus() const override { return true; }
    bool HasReplayButtons() const override { return true; }
    void OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DeleteChannelStatus() override;

    // From any thread: the replayed file's start and end time and its name,
    // and the 200 times behind the slider, for the bar when it exists.
    void PostReplayFile(zv::recording::FileTime start, zv::recording::FileTime end, const std::string& path);
    void PostReplayTable(const zv::recording::FileTime* times200);

    // The windows while they exist.
    CChannelStatusDialog* ChannelStatus() const;
    zv::recording::CReplayButtons* ReplayButtons() const;
    CPingerReadyDialog* PingerReady() const;
    CPingerSyncDialog* PingerSync() const;

private:
    LRESULT OnOwnMessage(UINT message);
    void ShowChannelStatus(bool shown);
    void FillChannelStatus();
    void ShowReplayButtons(bool shown);
    // The REC button shows what the recorder does.
    void TakeRecState();
    void RequestPosition(int position);
    void ShowPingerReady();
    CPingerSyncDialog& MakePingerSync();

    CProgram& m_program;
    HWND m_window = 0;
    QPointer<CChannelStatusDialog> m_status;
    QPointer<zv::recording::CReplayButtons> m_bar;
    QPointer<CPingerReadyDialog> m_pingerReady;
    QPointer<CPingerSyncDialog> m_pingerSync;
    int m_statusHeight = 0;
};

}  // namespace app
