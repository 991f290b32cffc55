#include "base/EchosounderError.h"

#include "platform/MessageBox.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

constexpr const char* kFatalHeader = "The echosounder program has broken down!\n"
                                     "Please record this information before terminating the program.\n\n"
                                     "File: '%s'  Line: %d\n\n";
constexpr const char* kWarningHeader = "The echosounder program try to do a unleagal operation!\n"
                                       "Please record this information.\n\n"
                                       "File: '%s'  Line: %d\n\n";

constexpr unsigned kBoxFlags = MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND;

std::mutex g_handlerLock;
std::shared_ptr<const FatalErrorHandler> g_handler;

// Header first, then the caller's message in the room that is left; both
// cut at the buffer's end, never past it.
void Compose(char (&text)[kEchosounderErrorTextSize], const char* header, const char* sourceFile, int line,
             const char* format, va_list args)
{
    int n = std::snprintf(text, sizeof text, header, sourceFile ? sourceFile : "", line);
    std::size_t used = n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1);
    text[used] = '\0';
    if (format && used < sizeof text - 1)
        std::vsnprintf(text + used, sizeof text - used, format, args);
}

}  // namespace

void EchosounderFatalError(const char* sourceFile, int line, const char* format, ...)
{
    char text[kEchosounderErrorTextSize];
    va_list args;
    va_start(args, format);
    Compose(text, kFatalHeader, sourceFile, line, format, args);
    va_end(args);

    WaitingMessageBox(0, text, kEchosounderErrorCaption, kBoxFlags);

    std::shared_ptr<const FatalErrorHandler> handler;
    {
        std::lock_guard lk(g_handlerLock);
        handler = g_handler;
    }
    if (handler && *handler)
        (*handler)(text);
    std::abort();
}

void EchosounderWarning(const char* sourceFile, int line, const char* format, ...)
{
    char text[kEchosounderErrorTextSize];
    va_list args;
    va_start(args, format);
    Compose(text, kWarningHeader, sourceFile, line, format, args);
    va_end(args);

    MessageBox(0, text, kEchosounderErrorCaption, kBoxFlags);
}

void SetFatalErrorHandler(FatalErrorHandler handler)
{
    std::lock_guard lk(g_handlerLock);
    g_handler = handler ? std::make_shared<const FatalErrorHandler>(std::move(handler)) : nullptr;
}

CSourceName::CSourceName(const char* path)
{
    m_name[0] = '\0';
    if (!path)
        return;
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    std::size_t len = std::strlen(base);
    if (const char* dot = std::strrchr(base, '.'); dot && dot != base)
        len = static_cast<std::size_t>(dot - base);
    len = std::min(len, sizeof m_name - 1);
    std::memcpy(m_name, base, len);
    m_name[len] = '\0';
}
