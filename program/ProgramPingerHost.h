// What pinger mode reaches of the running program: the settings folder and
// replay state of the application, the set-up dialog over the main frame,
// and the main frame's messages 0x481-0x484.
#pragma once

#include "engine/PingerMode.h"

namespace app {

class CProgram;

class CProgramPingerHost final : public IPingerModeHost
{
public:
    explicit CProgramPingerHost(CProgram& program) : m_program(program) {}

    std::string GetSerializePath() override;
    bool IsReplaying() override;
    bool RunPingerDialog(SPingerDialogValues& values) override;
    void PostToFrame(unsigned message, std::intptr_t wParam, std::intptr_t lParam) override;

private:
    CProgram& m_program;
};

}  // namespace app
