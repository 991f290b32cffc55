// Conversions between messages and strings. The results are new objects the
// caller deletes.
#pragma once

#include "seriallib/TarnMessage.h"

#include <string>

class CMsgConvert
{
public:
    CMsgConvert() = default;
    virtual ~CMsgConvert() = default;

    // The used bytes followed by one zero byte that counts in the length;
    // null for an empty message or when memory runs out.
    std::string* MessageToString(const CTarnMessage* message);
    // A new message (capacity = length, grow step 16) of the string's bytes;
    // null for an empty string.
    CTarnMessage* StringToMessage(const std::string& text);
    // Appends the string's bytes to the message and returns it; null when the
    // string is empty, no message is given or memory runs out.
    CTarnMessage* StringToMessage(const std::string& text, CTarnMessage* message);
};
