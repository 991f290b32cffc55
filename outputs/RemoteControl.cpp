#include "outputs/RemoteControl.h"

#include "platform/NumberText.h"

#include <array>
#include <cmath>
#include <string>

namespace {

using ECommand = CRemoteControl::ECommand;

struct SKeyword
{
    std::string_view word;
    ECommand command;
};

// In the order they are tried.
constexpr std::array<SKeyword, 7> kKeywords{{
    {"STARTPINGINT", ECommand::PingInterval},
    {"STARTLOGGING", ECommand::StartLogging},
    {"STOPLOGGING", ECommand::StopLogging},
    {"STARTPINGING", ECommand::StartPinging},
    {"STOPPINGING", ECommand::StopPinging},
    {"STOPHIST", ECommand::StopHistory},
    {"STARTHIST", ECommand::StartHistory},
}};

// Where the word stands in the text, when it stands after its first
// character: a word at the very start is the telegram's own field, not a
// command.
std::string_view::size_type FindAfterStart(std::string_view text, std::string_view word)
{
    const auto at = text.find(word);
    return at == 0 ? std::string_view::npos : at;
}

// The seconds behind the interval keyword: after its first comma (the whole
// rest without one), up to "CRLF" (nothing without it), as the C library
// reads a number; no number is 0 s.
std::optional<double> Interval(std::string_view rest)
{
    const auto comma = rest.find(',');
    if (comma != std::string_view::npos)
        rest.remove_prefix(comma + 1);
    const auto end = rest.find("CRLF");
    const std::string digits(end == std::string_view::npos ? std::string_view() : rest.substr(0, end));
    const double seconds = CNumberText::ParseDouble(digits);
    // What the operation dialog could not set is no interval: a NaN, an
    // infinity or a huge value would overflow the sounder's 100 ns count,
    // and a negative one means nothing.
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds > CRemoteControl::kMaxIntervalSeconds)
        return std::nullopt;
    return seconds;
}

}  // namespace

CRemoteControl::SCommand CRemoteControl::Parse(std::string_view telegram)
{
    // The telegram is a C text to its peers: a NUL ends it.
    const std::string_view text = telegram.substr(0, telegram.find('\0'));
    if (FindAfterStart(text, "SYSTEM") == std::string_view::npos)
        return {};
    for (const SKeyword& keyword : kKeywords) {
        const auto at = FindAfterStart(text, keyword.word);
        if (at == std::string_view::npos)
            continue;
        SCommand command{keyword.command, std::nullopt};
        if (keyword.command == ECommand::PingInterval)
            command.interval = Interval(text.substr(at));
        return command;
    }
    return {};
}

void CRemoteControl::Execute(std::string_view telegram)
{
    const SCommand command = Parse(telegram);
    switch (command.command) {
    case ECommand::None:
        break;
    case ECommand::PingInterval:
        if (command.interval)
            m_host.RequestPingMode(2, *command.interval, kTrigger);
        break;
    case ECommand::StartLogging:
        // The one command toggles recording: the state decides whether it
        // is sent.
        if (!m_host.IsRecording())
            m_host.PostRecordToggle();
        break;
    case ECommand::StopLogging:
        if (m_host.IsRecording())
            m_host.PostRecordToggle();
        break;
    case ECommand::StartPinging:
        m_host.RequestPingMode(0, 1.0, kTrigger);
        break;
    case ECommand::StopPinging:
        m_host.RequestPingMode(1, 1.0, kTrigger);
        break;
    case ECommand::StopHistory:
        m_host.RequestHistory(false);
        break;
    case ECommand::StartHistory:
        m_host.RequestHistory(true);
        break;
    }
}

void CRemoteControl::TakeText(const OutputText& text)
{
    if (text.kind == OutputTextKind::RemoteCommand)
        Execute(text.text);
}
