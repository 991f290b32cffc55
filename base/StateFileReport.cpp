#include "base/StateFileReport.h"

#include "base/AppIds.h"
#include "base/Status.h"
#include "platform/EventLog.h"

#include <cstring>

void CStateFileReport::NotSaved(const std::string& path, int errorNumber)
{
    if (HEVENTSOURCE log = RegisterEventSource("Ostrival")) {
        ReportEvent(log, EVENTLOG_ERROR_TYPE, 0, 0,
                    {"Settings not saved: " + path + ": " +
                     (errorNumber ? std::string(std::strerror(errorNumber)) : std::string("write failed"))});
        DeregisterEventSource(log);
    }
    app::CStatus::PostAlarm(app::ids::SETTINGS_NOT_SAVED);
}
