// What travels with the main frame's private messages. The message owns its
// payload (platform/MessageDispatcher.h), so a text posted to a frame that
// is already gone is freed with the message.
//   0x46F status pane text   payload std::string (none: clear the pane)
//   0x473 annotation         payload std::string
//   0x478 telegram           payload TimedText
//   0x479 lobe command       payload TimedText
//   0x485 serial annotation  payload std::string (none: empty text)
//   0x487 update title       payload std::string (the user name)
//   0x472 start replay       payload CReplayFileList (the files and the replay's options)
#pragma once

#include <cstdint>
#include <string>

namespace app {

struct TimedText
{
    std::string text;
    std::uint64_t fileTime = 0;  // reception time, 100 ns since 1601 UTC
};

}  // namespace app
