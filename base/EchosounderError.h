// The program-wide report of states that must not occur, and its non-fatal
// twin. The fatal report shows its box and then ends the process at once:
// no destructor runs, no file or socket is closed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

constexpr std::size_t kEchosounderErrorTextSize = 4096;
constexpr const char* kEchosounderErrorCaption = "Fatal Echosounder Error !!!";

// sourceFile is the source file name without path and extension, as the
// user is to quote it ("Pelmaris").
[[noreturn]] void EchosounderFatalError(const char* sourceFile, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void EchosounderWarning(const char* sourceFile, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Called with the report's text after the box, in place of ending the
// process; tests install one that throws. When it returns, the process ends
// all the same. An empty handler restores the plain end.
using FatalErrorHandler = std::function<void(const std::string& text)>;
void SetFatalErrorHandler(FatalErrorHandler handler);

// A source path's file name without folders and extension, in a buffer of
// its own (no allocation, usable while the program is breaking down).
class CSourceName
{
public:
    explicit CSourceName(const char* path);
    const char* c_str() const { return m_name; }

private:
    char m_name[64];
};

#define ECHOSOUNDER_FATAL_ERROR(...) EchosounderFatalError(CSourceName(__FILE__).c_str(), __LINE__, __VA_ARGS__)
#define ECHOSOUNDER_WARNING(...) EchosounderWarning(CSourceName(__FILE__).c_str(), __LINE__, __VA_ARGS__)
