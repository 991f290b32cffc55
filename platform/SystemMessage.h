// The system's text for a result code, as the boxes of failed component
// calls show it (the text a caller would get from the system's message
// table); a caller shows a text of its own when there is none.
#pragma once

#include "platform/WinTypes.h"

#include <string>

// Empty for a code the system has no text for.
std::string FormatSystemMessage(HRESULT code);
