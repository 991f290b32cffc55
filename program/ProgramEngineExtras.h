// The engine's extras the running program has: "Second Layer", which
// switches the second-layer bottom detection of every channel of the running
// sounder. The wide-band unit's extras ("Exp Calculation", "Freq Sweep")
// are not among them: their commands stay greyed.
#pragma once

#include "engine/EngineExtras.h"

namespace app {

class CProgram;

class CProgramEngineExtras final : public IEngineExtras
{
public:
    explicit CProgramEngineExtras(CProgram& program) : m_program(program) {}

    bool HasExtra(unsigned commandId) override;
    // User-interface thread, where the sounder is made and deleted.
    void SetSecondLayer(bool on) override;
    void SetExpCalculation(bool) override {}
    void FrequencySweep() override {}

private:
    CProgram& m_program;
};

}  // namespace app
