#include "program/RecorderLink.h"

#include "recording/EngineStore.h"

namespace app {

class CRecorderLink::CLinked final : public IPingRecorder
{
public:
    CLinked(CRecorderLink& link, std::unique_ptr<zv::recording::CEngineStore> recorder)
        : m_link(link), m_recorder(std::move(recorder))
    {
        std::lock_guard lock(m_link.m_lock);
        m_link.m_recorder = &m_recorder->Store();
    }
    ~CLinked() override
    {
        {
            std::lock_guard lock(m_link.m_lock);
            m_link.m_recorder = nullptr;
        }
        m_recorder.reset();
    }
    void WritePing() override { m_recorder->WritePing(); }
    bool IsRecordingPing() const override { return m_recorder->IsRecordingPing(); }
    bool IsRecordingXtf() const override { return m_recorder->IsRecordingXtf(); }
    void WriteXtfPing() override { m_recorder->WriteXtfPing(); }
    bool OnCommand(unsigned id) override { return m_recorder->OnCommand(id); }
    int GetMode() const override { return m_recorder->GetMode(); }

private:
    CRecorderLink& m_link;
    std::unique_ptr<zv::recording::CEngineStore> m_recorder;
};

std::unique_ptr<IPingRecorder> CRecorderLink::Attach(std::unique_ptr<zv::recording::CEngineStore> recorder)
{
    return std::make_unique<CLinked>(*this, std::move(recorder));
}

bool CRecorderLink::With(const std::function<void(zv::recording::CStore&)>& f)
{
    std::lock_guard lock(m_lock);
    if (!m_recorder)
        return false;
    f(*m_recorder);
    return true;
}

zv::recording::CStore* CRecorderLink::Current()
{
    std::lock_guard lock(m_lock);
    return m_recorder;
}

}  // namespace app
