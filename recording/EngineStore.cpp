#include "recording/EngineStore.h"

namespace zv::recording {

CEngineStore::CEngineStore(CEchoSounder& sounder, CEngineStoreSounder::SApplication application, IStoreEvents& events,
                           IRawDataSink* rawData, HKEY settingsKey, const std::string& fixedFileName,
                           SounderModel model)
    : m_view(sounder, std::move(application)),
      m_store(std::make_unique<CStore>(m_view, events, rawData, settingsKey, fixedFileName, model))
{}

}  // namespace zv::recording
