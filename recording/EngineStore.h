// The recorder as the running sounder owns it: the recorder and its view of
// the sounder's channels, made together when the sounder has its channels
// and dropped together after its workers have ended.
#pragma once

#include "recording/EngineStoreSounder.h"
#include "recording/Store.h"
#include "sounder/EchoSounder.h"

#include <memory>
#include <string>

namespace zv::recording {

class CEngineStore : public IPingRecorder
{
public:
    // settingsKey: the key the sounder was given, under which the recorder
    // keeps its "Store" section; fixedFileName: the sequence file, or empty.
    CEngineStore(CEchoSounder& sounder, CEngineStoreSounder::SApplication application, IStoreEvents& events,
                 IRawDataSink* rawData, HKEY settingsKey, const std::string& fixedFileName, SounderModel model);
    ~CEngineStore() override = default;

    void WritePing() override { m_store->WritePing(); }
    bool IsRecordingPing() const override { return m_store->IsRecordingPing(); }
    bool IsRecordingXtf() const override { return m_store->IsRecordingXtf(); }
    void WriteXtfPing() override { m_store->WriteXtfPing(); }
    bool OnCommand(unsigned id) override { return m_store->OnCommand(id); }
    int GetMode() const override { return m_store->GetMode(); }

    CStore& Store() { return *m_store; }

private:
    CEngineStoreSounder m_view;
    std::unique_ptr<CStore> m_store;  // goes before the view it reads
};

}  // namespace zv::recording
