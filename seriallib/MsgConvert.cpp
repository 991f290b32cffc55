#include "seriallib/MsgConvert.h"

#include <new>

std::string* CMsgConvert::MessageToString(const CTarnMessage* message)
{
    if (!message || message->IsEmpty())
        return nullptr;
    try {
        auto* text = new std::string(reinterpret_cast<const char*>(message->GetDataPtr()), message->GetSize());
        text->push_back('\0');
        return text;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CTarnMessage* CMsgConvert::StringToMessage(const std::string& text)
{
    if (text.empty())
        return nullptr;
    auto* message = new (std::nothrow) CTarnMessage(text, 16);
    if (message && message->GetSize() != text.size()) {
        delete message;
        return nullptr;
    }
    return message;
}

CTarnMessage* CMsgConvert::StringToMessage(const std::string& text, CTarnMessage* message)
{
    if (text.empty() || !message || text.size() > UINT32_MAX)
        return nullptr;
    if (!message->AddBytes(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size())))
        return nullptr;
    return message;
}
