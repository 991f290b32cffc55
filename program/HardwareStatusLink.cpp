#include "program/HardwareStatusLink.h"

#include "app/ui/MainFrame.h"
#include "program/Program.h"
#include "sounder/EchoSounder.h"
#include "transceivers/ui/HardwareStatusDialog.h"

namespace app {

namespace {

// The object in the shape of the creation table: it hands the units its
// status window while it exists, and runs the window behind "HW status".
class CHardwareStatusObject final : public TSensorObject<CHardwareStatus>
{
public:
    CHardwareStatusObject(CProgram& program, std::shared_ptr<CHardwareStatus> status)
        : TSensorObject(std::move(status)), m_program(program)
    {
        Link().Set(Get());
    }
    ~CHardwareStatusObject() override { Link().Set(nullptr); }

    void SetSourceList(const std::vector<std::string>& names) override { Get()->SetSourceList(names); }
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override
    {
        CHardwareStatusDialog dialog(*Get(), m_program.Frame());
        dialog.exec();
    }

private:
    TLink<IHardwareStatusSink, CAbsentHardwareStatus>& Link()
    {
        return m_program.SounderHost().TransceiverServices().HardwareStatusLink();
    }

    CProgram& m_program;
};

}  // namespace

std::unique_ptr<CSensorObject> CHardwareStatusLink::MakeObject()
{
    if (!m_status)
        m_status = std::make_shared<CHardwareStatus>(m_program.Installation(), *this);
    return std::make_unique<CHardwareStatusObject>(m_program, m_status);
}

bool CHardwareStatusLink::IsSounderRunning() const
{
    return m_program.Operation().GetEchoSounder() != nullptr;
}

void CHardwareStatusLink::ForEachTransceiver(const std::function<void(int index, CTransceiver& transceiver)>& f)
{
    m_program.Operation().WithRunningSounder([&](CEchoSounder& sounder) {
        for (int i = 0; i < sounder.GetTransceiverCount(); ++i)
            if (CTransceiver* transceiver = sounder.GetTransceiver(i))
                f(i, *transceiver);
    });
}

}  // namespace app
