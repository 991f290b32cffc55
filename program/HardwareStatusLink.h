// The hardware status of the program: the object behind "HW status", which
// the creation table makes and the network units feed through their
// services. The program keeps it from the moment it is made to its own end,
// so that a unit's answer on its way while the sensors close still finds it;
// the units reach it only while the table's object exists.
#pragma once

#include "app/SensorObject.h"
#include "transceivers/HardwareStatus.h"

#include <memory>

namespace app {

class CProgram;

class CHardwareStatusLink final : public CHardwareStatus::IUnits
{
public:
    explicit CHardwareStatusLink(CProgram& program) : m_program(program) {}

    // The creation table's object, on the user-interface thread.
    std::unique_ptr<CSensorObject> MakeObject();

    bool IsSounderRunning() const override;
    void ForEachTransceiver(const std::function<void(int index, CTransceiver& transceiver)>& f) override;

private:
    CProgram& m_program;
    std::shared_ptr<CHardwareStatus> m_status;
};

}  // namespace app
