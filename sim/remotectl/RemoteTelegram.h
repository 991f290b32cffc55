// The remote-control telegrams as another program writes them, from the
// keyword table on its own: "PE,SYSTEM <KEYWORD>" and, for the interval,
// "PE,SYSTEM STARTPINGINT,<seconds>CRLF".
#pragma once

#include <optional>
#include <string>

namespace remotectl {

// The telegram of a command name (startpinging, stoppinging, interval=S,
// startlogging, stoplogging, starthist, stophist); none for another name.
std::optional<std::string> Telegram(const std::string& command);
// Raw text with \r, \n, \0 and \xNN escapes decoded.
std::string Unescape(const std::string& text);

}  // namespace remotectl
