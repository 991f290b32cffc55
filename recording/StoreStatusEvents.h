// The recorder's reports in the running program: alarms and status messages
// go to the status bar as message 0x470 with their string ids, the recording
// state to the line counter as message 0x475, the START and STOP lines to the
// network output, and notices to a message box on the user-interface thread.
//
// Threads: every call may come from any thread, some while a file lock is
// held, so nothing here waits: each report is posted to the thread that
// shows it.
#pragma once

#include "platform/MessageDispatcher.h"
#include "recording/StoreInterfaces.h"

#include <functional>
#include <string>

namespace zv::recording {

class CStoreStatusEvents : public IStoreEvents
{
public:
    // Notices are shown on the thread that makes this object.
    CStoreStatusEvents();
    ~CStoreStatusEvents() override;
    CStoreStatusEvents(const CStoreStatusEvents&) = delete;
    CStoreStatusEvents& operator=(const CStoreStatusEvents&) = delete;

    // The string id of a recorder text; 0 for a text without one.
    static unsigned StringIdOf(const std::string& text);

    void RaiseAlarm(const std::string& text) override;
    void PostStatusMessage(const std::string& text) override;
    void RecordingState(bool active, int lineNumber) override;
    void SendLogLine(const std::string& line) override;
    void Notify(const std::string& text) override;

    // To the program's outputs (the network output sends it as a text
    // datagram); empty: nowhere. Called on the recorder's threads.
    std::function<void(const std::string&)> sendLine;

private:
    // A text without a string id still reaches the operator, in the free
    // text pane.
    void PostFreeText(const std::string& text);

    HWND m_noticeWindow = 0;
};

}  // namespace zv::recording
