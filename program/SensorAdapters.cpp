#include "program/SensorAdapters.h"

#include "app/ui/MainFrame.h"
#include "outputs/ui/LX750Dialog.h"
#include "outputs/ui/QYTritonDialog.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"
#include "program/Program.h"
#include "recording/Store.h"

namespace app {

CNetworkOutputObject::CNetworkOutputObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CQYNet> net)
    : TOutputObject(slot, std::move(net)), m_program(program)
{}

void CNetworkOutputObject::Start()
{
    CQYNetPort::Links links;
    links.isReplaying = [this] { return m_program.Application().IsReplaying(); };
    links.parseNmea = [this](const std::string& text, std::uint64_t received) {
        m_program.ParseNmeaTelegram(text, received, kNmeaFromNetwork);
    };
    links.storeProfile = [this](const CSvpProfile& profile) { return StoreProfile(profile); };
    Get()->Port().SetLinks(std::move(links));
    // The object positions it sends go into the running recorder's geo file.
    Get()->writeGeoLine = [this](const std::string& line) {
        m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteGeoLine(line); });
    };
    Get()->CreateSocket();
}

bool CNetworkOutputObject::StoreProfile(const CSvpProfile& profile)
{
    std::string folder;
    m_program.Recorder().With([&](zv::recording::CStore& store) { folder = store.RecordingFolder(); });
    if (folder.empty())
        folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(m_program.Application().GetSounderType()));
    folder = CPaths::WithTrailingSeparator(folder);
    SYSTEMTIME t{};
    if (!CPaths::CreateFolder(folder) || !CFileTime::ToLocalSystemTime(CFileTime::Now(), t))
        return false;
    const std::string name =
        CNumberText::Format("%04d%02d%02d_%02d%02d%02d.asvp", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    if (profile.WriteAsvp(folder + name) <= 0)
        return false;
    // The network input has no setting to apply a profile at once: the
    // operator is asked.
    m_program.Environment().AnnounceNewProfile(FALSE, folder, name);
    return true;
}

void CPostProcessingObject::RunSettingsDialog()
{
    outputsui::CLX750Dialog::Run(*Get(), m_program.Frame());
}

CRawDataOutputObject::CRawDataOutputObject(CProgram& program, std::shared_ptr<CQYTriton> output)
    : TSensorObject(std::move(output)), m_program(program)
{
    m_program.SounderHost().RawData().SetOutput(Get());
}

CRawDataOutputObject::~CRawDataOutputObject()
{
    m_program.SounderHost().RawData().SetOutput(nullptr);
}

void CRawDataOutputObject::RunSettingsDialog()
{
    outputsui::CQYTritonDialog::Run(*Get(), m_program.Frame());
}

}  // namespace app
