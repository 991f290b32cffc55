// The calibration component as a local server of its interface: every call
// it takes becomes one line of its log, and it can refuse "Frequency" a
// number of times, answer every call late, or end in the middle of a run.
//
// Log lines, fields separated by tabs, numbers as "%.17g":
//   SetParameter  <name>  <type>  <value>  <result>
//   AddTargets    <time>  <date>  <count type>  <count>  <values type>
//                 <dimensions>  <lower bound>  <elements>  <values, blank-separated>  <result>
//   Call          <slot>  <result>            (a method the program does not call)
// where a type is the variant type's number and a result "0x%08X".
#pragma once

#include "platform/LocalServer.h"

#include <cstdio>
#include <string>

namespace zv::calib {

// The component's identity, fixed by the program that links it.
inline const CLSID kCalibrationClass = {0x52CBDAD9, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};
inline const IID kCalibrationInterface = {0x52CBDAD8, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};
// Slots of its two methods in the interface.
constexpr ULONG kSetParameterSlot = 7;
constexpr ULONG kAddTargetsSlot = 8;

struct SOptions
{
    std::string log;        // empty: standard error
    int failFrequency = 0;  // "Frequency" refused this many times first
    int delayMs = 0;        // every answer this late
    int exitAfter = 0;      // the process ends on this call (from 1), unanswered
};

class CCalibrationSimulator final : public ILocalServerObject
{
public:
    explicit CCalibrationSimulator(SOptions options);
    ~CCalibrationSimulator() override;
    HRESULT Invoke(ULONG slot, VARIANT* args, ULONG count) override;

private:
    void Write(const std::string& line);
    HRESULT SetParameter(VARIANT* args, ULONG count, std::string& line);
    HRESULT AddTargets(VARIANT* args, ULONG count, std::string& line);

    SOptions m_options;
    std::FILE* m_log = nullptr;
    int m_calls = 0;
    int m_frequencyRefused = 0;
};

// Parses the command line's options (the program's own name first);
// false with the reason in *error.
bool ParseOptions(int argc, char** argv, SOptions& options, bool& registering, bool& unregistering, std::string* error);

}  // namespace zv::calib
