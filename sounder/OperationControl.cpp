#include "sounder/OperationControl.h"

#include "base/StateFileReport.h"

#include "base/EchosounderError.h"
#include "engine/Channel.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/Paths.h"
#include "sounder/OperationHost.h"
#include "transceivers/TransceiverInstallation.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr std::size_t kDisplays = 40;
constexpr std::size_t kDisplaySize = 128;

// What the operation dialog itself accepts: a rate it has a button for, and
// intervals and pulse lengths from 0 to its largest value. A stored value outside them
// (a hand-edited hive, a damaged file) is passed over and the one before it
// stands, since the sounder turns them into whole 100 ns counts.

bool IsRate(int rate)
{
    return rate >= CEchoSounder::kMaximumRate && rate <= CEchoSounder::kPinger;
}

bool IsSeconds(double value)
{
    return value >= 0.0 && value <= SOperationDialogValues::kLargestValue;  // false for NaN
}

void TakeRate(int value, int& field)
{
    if (IsRate(value))
        field = value;
}

void TakeSeconds(double value, double& field)
{
    if (IsSeconds(value))
        field = value;
}

}  // namespace

namespace {
CNoOperationHost g_noHost;
}  // namespace

COperationControl::COperationControl() : m_host(&g_noHost) {}

void COperationControl::SetHost(IOperationHost* host)
{
    m_host = host ? host : &g_noHost;
}

std::string COperationControl::Profile() const
{
    return m_host->GetProfile();
}

COperationControl::~COperationControl()
{
    Close();
    CloseKeys();
}

void COperationControl::Close()
{
    if (m_initialized) {
        WriteState();
        m_initialized = false;
    }
    // The frames show the sounder's documents and save what its channels
    // hold: they go before it.
    DeleteLayout();
    DeleteEchoSounder();
}

// ---------------------------------------------------------------------------
// Record of "OperationControl.sav"

std::vector<unsigned char> COperationControl::BuildRecord(const Settings& b)
{
    std::vector<unsigned char> r(kRecordSize, 0);
    CByteWriter w(r);
    w.I32(0, b.enumSpeed);
    w.F64(8, b.PingInterval);
    w.U32(16, b.enumNormalTrig);
    w.I32(20, b.enumNormalSequence);
    w.I32(24, b.bSaveHistory);
    w.I32(28, b.bSyncHistory);
    w.I32(32, b.iSequence);
    w.I32(36, b.enumViewArrangement);
    for (std::size_t n = 0; n < 8; ++n) {
        const std::size_t at = kDisplays + n * kDisplaySize;
        const ChannelDisplay& d = b.displays[n];
        w.I32(at, d.bExists);
        w.I32(at + 4, d.bShown);
        w.Text(at + 8, 20, d.sShortChannelID);
        w.Text(at + 28, 100, d.sLongChannelID);
    }
    w.U32(1064, b.HBX ? 1u : 0u);
    w.Text(1072, 200, b.sSimplePingerLongChannelID);
    w.F64(1280, b.SimplePingerInterval);
    w.F64(1288, b.SimplePingerPulselength);
    w.I32(1296, b.SimplePinger);
    return r;
}

bool COperationControl::ParseRecord(const std::vector<unsigned char>& r, Settings& b)
{
    if (r.size() != kRecordSize)
        return false;
    CByteReader f(r.data(), r.size());
    TakeRate(f.I32(0), b.enumSpeed);
    TakeSeconds(f.F64(8), b.PingInterval);
    b.enumNormalTrig = f.U32(16);
    b.enumNormalSequence = f.I32(20);
    b.bSaveHistory = f.I32(24);
    b.bSyncHistory = f.I32(28);
    b.iSequence = f.I32(32);
    b.enumViewArrangement = f.I32(36);
    for (std::size_t n = 0; n < 8; ++n) {
        const std::size_t at = kDisplays + n * kDisplaySize;
        ChannelDisplay& d = b.displays[n];
        d.bExists = f.I32(at);
        d.bShown = f.I32(at + 4);
        d.sShortChannelID = f.Text(at + 8, 20);
        d.sLongChannelID = f.Text(at + 28, 100);
    }
    b.HBX = f.U32(1064) == 1 ? 1 : 0;
    b.sSimplePingerLongChannelID = f.Text(1072, 200);
    TakeSeconds(f.F64(1280), b.SimplePingerInterval);
    TakeSeconds(f.F64(1288), b.SimplePingerPulselength);
    b.SimplePinger = f.I32(1296);
    return true;
}

std::string COperationControl::GetStateFileName() const
{
    return CPaths::WithTrailingSeparator(m_serializePath) + "OperationControl.sav";
}

// ---------------------------------------------------------------------------
// Registry

HKEY COperationControl::OpenKeys()
{
    HKEY user = CRegistrySupport::UserRootKey();
    if (!user)
        return nullptr;
    m_root = m_reg.OpenKey(user, "OperationControl", TRUE);
    if (!m_root)
        return nullptr;
    m_keyNormal = m_reg.OpenKey(m_root, "Normal", TRUE);
    m_keyReplay = m_reg.OpenKey(m_root, "Replay", TRUE);
    m_keyUser = m_reg.OpenKey(m_root, "User", TRUE);
    m_keyOperation = m_reg.OpenKey(m_root, "Operation", TRUE);
    if (m_keyOperation) {
        m_keyOperationNormal = m_reg.OpenKey(m_keyOperation, "Normal", TRUE);
        m_keyOperationReplay = m_reg.OpenKey(m_keyOperation, "Replay", TRUE);
    }
    return m_root;
}

void COperationControl::CloseKeys()
{
    for (HKEY* k : {&m_keyOperationNormal, &m_keyOperationReplay, &m_keyOperation, &m_keyUser, &m_keyReplay,
                    &m_keyNormal, &m_root}) {
        if (*k)
            m_reg.CloseKey(*k);
        *k = nullptr;
    }
}

void COperationControl::ReadSettings(HKEY key, Settings& b)
{
    if (!key)
        return;
    const std::string p = Profile();
    auto dw = [&](const std::string& sub, const char* name, int& field) {
        DWORD v = static_cast<DWORD>(field);
        m_reg.GetDword(key, sub, name, v, TRUE);
        field = static_cast<int>(v);
    };
    auto seconds = [&](const char* name, double& field) {
        double v = field;
        m_reg.GetDouble(key, p, name, v, TRUE);
        TakeSeconds(v, field);
    };
    int speed = b.enumSpeed;
    dw(p, "enumSpeed", speed);
    TakeRate(speed, b.enumSpeed);
    seconds("PingInterval", b.PingInterval);
    dw(p, "HBX", b.HBX);
    DWORD trig = b.enumNormalTrig;
    m_reg.GetDword(key, p, "enumNormalTrig", trig, TRUE);
    b.enumNormalTrig = trig;
    b.enumNormalSequence = 0;
    dw(p, "enumNormalSequence", b.enumNormalSequence);
    // Sequences never survive a restart.
    b.enumNormalSequence = 0;
    dw(p, "bSaveHistory", b.bSaveHistory);
    b.bSaveHistory = b.bSaveHistory != 0;
    dw(p, "bSyncHistory", b.bSyncHistory);
    b.bSyncHistory = b.bSyncHistory != 0;
    dw(p, "iSequence", b.iSequence);
    dw(p, "enumViewArrangement", b.enumViewArrangement);
    dw(p, "SimplePinger", b.SimplePinger);
    seconds("SimplePingerInterval", b.SimplePingerInterval);
    seconds("SimplePingerPulselength", b.SimplePingerPulselength);
    m_reg.GetString(key, p, "sSimplePingerLongChannelID", b.sSimplePingerLongChannelID, TRUE);
    for (int n = 0; n < 8; ++n) {
        const std::string sub = (p.empty() ? "" : p + "\\") + "ChannelDisplay" + std::to_string(n);
        ChannelDisplay& d = b.displays[static_cast<std::size_t>(n)];
        dw(sub, "bExists", d.bExists);
        dw(sub, "bShown", d.bShown);
        m_reg.GetString(key, sub, "sShortChannelID", d.sShortChannelID, TRUE);
        m_reg.GetString(key, sub, "sLongChannelID", d.sLongChannelID, TRUE);
    }
}

void COperationControl::WriteSettings(HKEY key, const Settings& b)
{
    if (!key)
        return;
    const std::string p = Profile();
    m_reg.SetDword(key, p, "enumSpeed", static_cast<DWORD>(b.enumSpeed));
    m_reg.SetDouble(key, p, "PingInterval", b.PingInterval);
    m_reg.SetDword(key, p, "HBX", static_cast<DWORD>(b.HBX));
    m_reg.SetDword(key, p, "enumNormalTrig", b.enumNormalTrig);
    m_reg.SetDword(key, p, "enumNormalSequence", 0);
    m_reg.SetDword(key, p, "bSaveHistory", static_cast<DWORD>(b.bSaveHistory));
    m_reg.SetDword(key, p, "bSyncHistory", static_cast<DWORD>(b.bSyncHistory));
    m_reg.SetDword(key, p, "iSequence", static_cast<DWORD>(b.iSequence));
    m_reg.SetDword(key, p, "enumViewArrangement", static_cast<DWORD>(b.enumViewArrangement));
    m_reg.SetDword(key, p, "SimplePinger", static_cast<DWORD>(b.SimplePinger));
    m_reg.SetDouble(key, p, "SimplePingerInterval", b.SimplePingerInterval);
    m_reg.SetDouble(key, p, "SimplePingerPulselength", b.SimplePingerPulselength);
    m_reg.SetString(key, p, "sSimplePingerLongChannelID", b.sSimplePingerLongChannelID);
    for (int n = 0; n < 8; ++n) {
        const std::string sub = (p.empty() ? "" : p + "\\") + "ChannelDisplay" + std::to_string(n);
        const ChannelDisplay& d = b.displays[static_cast<std::size_t>(n)];
        m_reg.SetDword(key, sub, "bExists", static_cast<DWORD>(d.bExists));
        m_reg.SetDword(key, sub, "bShown", static_cast<DWORD>(d.bShown));
        m_reg.SetString(key, sub, "sShortChannelID", d.sShortChannelID);
        m_reg.SetString(key, sub, "sLongChannelID", d.sLongChannelID);
    }
}

// ---------------------------------------------------------------------------
// State

void COperationControl::Init()
{
    if (m_initialized)
        ECHOSOUNDER_FATAL_ERROR("Operation Control initialized twice");
    m_initialized = true;
    OpenKeys();
    m_normal = Settings{};
    m_replay = Settings{};
    ReadState();
    const int installed = m_context.installation ? m_context.installation->GetTransceiverCount() : 0;
    if (installed > 0) {
        PutInForce(m_normal, CEchoSounder::kNormal);
        NameExternalDepthSources(m_normal.displays);
    } else {
        PutInForce(m_replay, CEchoSounder::kReplay);
    }
}

void COperationControl::ReadState()
{
    std::ifstream in(GetStateFileName(), std::ios::binary);
    if (!in)
        return;
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // A file of another size is not this record: the registry still holds
    // every value, so only the file is passed over.
    Settings block = m_normal;
    if (ParseRecord(bytes, block)) {
        m_normal = block;
        m_inForce = m_normal;
    }
    m_sequenceFileFlag = 0;
    ReadSettings(m_keyNormal, m_normal);
    ReadSettings(m_keyReplay, m_replay);
}

void COperationControl::WriteState()
{
    const std::vector<unsigned char> record = BuildRecord(m_normal);
    const std::string name = GetStateFileName();
    const std::string temporary = name + ".new";
    // What cannot be written is not written, but the operator hears of it:
    // the settings of this run are lost otherwise without a word.
    {
        errno = 0;
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            CStateFileReport::NotSaved(temporary, errno);
            return;
        }
        out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        out.close();
        if (!out) {
            const int error = errno;
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            CStateFileReport::NotSaved(temporary, error);
            return;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, name, ec);
    if (ec) {
        CStateFileReport::NotSaved(name, ec.value());
        return;
    }
    if (m_echoSounder)
        m_echoSounder->StopTransceivers();
    WriteSettings(m_keyNormal, m_normal);
    WriteSettings(m_keyReplay, m_replay);
}

void COperationControl::PutInForce(const Settings& block, int mode)
{
    m_inForce = block;
    m_modeInForce = mode;
}

void COperationControl::NameExternalDepthSources(const std::array<ChannelDisplay, 8>& displays)
{
    for (int n = 0; n < 8; ++n)
        if (displays[static_cast<std::size_t>(n)].bExists)
            m_host->NameExternalDepthSource(n, displays[static_cast<std::size_t>(n)].sShortChannelID);
}

void COperationControl::GetChannelDisplays(std::array<ChannelDisplay, 8>& out, int& arrangement, int& extra) const
{
    out = m_inForce.displays;
    arrangement = m_inForce.enumViewArrangement;
    extra = 0;
}

std::string COperationControl::GetSettingsFolder() const
{
    const std::string p = Profile();
    std::string folder = CPaths::WithTrailingSeparator(m_trListPath) + "Settings/" + (p.empty() ? "Default" : p) + "/";
    if (m_inForce.SimplePinger)
        folder += "Pinger/";
    return folder;
}

// ---------------------------------------------------------------------------
// Posting

void COperationControl::PostCommand(UINT menuCommand)
{
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_STOP, static_cast<LPARAM>(menuCommand));
}

void COperationControl::PostCommand4002()
{
    if (m_host->ShiftOrSecondaryButtonHeld())
        m_powerOff = false;
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_STOP_AND_EXIT, 0);
}

void COperationControl::PostCommand4003()
{
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_CLOSE_SENSORS, 0);
}

void COperationControl::PostStartWithFiles(const CReplayFileList* list)
{
    std::unique_ptr<MessagePayload> payload;
    if (list)
        payload = MakePayload<CReplayFileList>(*list);
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_START_REPLAY, 0, std::move(payload));
    PostMessage(GetMainWindow(), app::WM_ES_SHOWREPLAYBUTTONS, 0, 0);
}

void COperationControl::PostRestart()
{
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_START_NORMAL, 0);
    PostMessage(GetMainWindow(), app::WM_ES_HIDEREPLAYBUTTONS, 0, 0);
}

void COperationControl::PostCommand4006()
{
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_NEW_LAYOUT, 0);
}

void COperationControl::PostFactorySettings()
{
    PostMessage(GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_FACTORY_SETTINGS, 0);
}

// ---------------------------------------------------------------------------
// Queue and execution

LRESULT COperationControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == app::WM_ES_OPERATIONCOMMAND)
        QueueCommand(static_cast<UINT>(wParam), lParam, TakeCurrentMessagePayload());
    else if (message == app::WM_ES_EXECUTECOMMAND)
        ExecuteCommand(static_cast<UINT>(wParam), lParam);
    return 0;
}

void COperationControl::QueueCommand(UINT code, LPARAM parameter, std::unique_ptr<MessagePayload> payload)
{
    if (code < app::OC_STOP || code > app::OC_FACTORY_SETTINGS)
        ECHOSOUNDER_FATAL_ERROR("Illegal Operation Control Command (%d)", static_cast<int>(code));
    // Commands wait their turn here, in the order they came, instead of
    // being posted round again while one runs.
    m_queue.push_back(Pending{code, parameter, std::move(payload)});
    if (!m_busy)
        StartNext();
}

void COperationControl::StartNext()
{
    if (m_queue.empty())
        return;
    m_busy = true;
    if (m_echoSounder && m_echoSounder->GetDocuments())
        m_echoSounder->GetDocuments()->SetHold(true);
    m_host->StopPingTimer();
    const Pending& next = m_queue.front();
    if (!PostMessage(GetMainWindow(), app::WM_ES_EXECUTECOMMAND, next.code, next.parameter)) {
        // Without a main window the command runs here and now.
        ExecuteCommand(next.code, next.parameter);
    }
}

void COperationControl::ExecuteCommand(UINT code, LPARAM parameter)
{
    if (code < app::OC_STOP || code > app::OC_DELETE_AND_RESTART)
        ECHOSOUNDER_FATAL_ERROR("Illegal Operation Control Command (%d)", static_cast<int>(code));
    std::unique_ptr<MessagePayload> payload;
    if (!m_queue.empty() && m_queue.front().code == code && m_queue.front().parameter == parameter) {
        payload = std::move(m_queue.front().payload);
        m_queue.pop_front();
    }
    m_busy = true;
    DeleteLayout();
    switch (code) {
    case app::OC_STOP:
        DeleteEchoSounder();
        m_host->StatusBarModel(m_model);
        if (parameter != 0)
            PostMessage(GetMainWindow(), WM_COMMAND, static_cast<WPARAM>(parameter), 0);
        break;
    case app::OC_DELETE_LAYOUT:
        break;
    case app::OC_STOP_AND_EXIT:
        DeleteEchoSounder();
        StopAndExit();
        break;
    case app::OC_CLOSE_SENSORS:
        DeleteEchoSounder();
        m_host->CloseSensors();
        break;
    case app::OC_START_REPLAY: {
        DeleteEchoSounder();
        auto* typed = dynamic_cast<TypedPayload<CReplayFileList>*>(payload.get());
        m_replayFiles = typed ? std::make_unique<CReplayFileList>(typed->value) : nullptr;
        CreateEchosounder(CEchoSounder::kReplay);
        NewLayout();
        break;
    }
    case app::OC_START_NORMAL:
        DeleteEchoSounder();
        CreateEchosounder(CEchoSounder::kNormal);
        NewLayout();
        break;
    case app::OC_NEW_LAYOUT:
        NewLayout();
        break;
    case app::OC_FACTORY_SETTINGS:
        DeleteEchoSounder();
        RestoreFactorySettings();
        PostRestart();
        WriteSettings(m_keyUser, m_normal);
        break;
    case app::OC_DELETE_AND_RESTART:
        DeleteEchoSounder();
        PostRestart();
        break;
    }
    m_busy = false;
    StartNext();
}

void COperationControl::DeleteLayout()
{
    // A dispatch running on a worker stops before its next document while
    // the frames go; the next layout lifts the hold when it stands.
    if (m_echoSounder && m_echoSounder->GetDocuments())
        m_echoSounder->GetDocuments()->SetHold(true);
    m_host->DeleteLayout();
}

void COperationControl::DeleteEchoSounder()
{
    // Not found any more before it goes, and no other thread still inside
    // WithRunningSounder when it does.
    {
        std::unique_lock lock(m_runningAccess);
        m_running.store(nullptr, std::memory_order_release);
    }
    m_echoSounder.reset();
}

bool COperationControl::WithRunningSounder(const std::function<void(CEchoSounder&)>& f) const
{
    std::shared_lock lock(m_runningAccess);
    CEchoSounder* sounder = m_running.load(std::memory_order_acquire);
    if (!sounder)
        return false;
    f(*sounder);
    return true;
}

void COperationControl::StopAndExit()
{
    m_host->CloseSensors();
    PostMessage(GetMainWindow(), WM_CLOSE, 0, 0);
    if (m_host->ShiftOrSecondaryButtonHeld())
        m_powerOff = false;
    if (m_powerOff)
        m_host->PowerOff();
}

void COperationControl::CreateEchosounder(int mode)
{
    const std::string profile = Profile();
    if (profile.empty())
        PostMessage(GetMainWindow(), app::WM_ES_UPDATETITLE, 0, 0);
    else
        PostMessage(GetMainWindow(), app::WM_ES_UPDATETITLE, 0, 1, MakePayload<std::string>(profile));
    if (mode == CEchoSounder::kReplay)
        m_host->StatusBarStarting();
    const std::string folder = GetSettingsFolder();
    CPaths::CreateFolder(folder);
    m_host->SetSettingsFolder(folder);
    ReadState();
    if (m_echoSounder)
        ECHOSOUNDER_FATAL_ERROR("Echosounder already exists");

    if (mode == CEchoSounder::kReplay) {
        Settings block = m_replay;
        block.enumNormalTrig = m_normal.enumNormalTrig;
        block.enumNormalSequence = m_normal.enumNormalSequence;
        if (m_model == SounderModel::RM30)
            block.bSaveHistory = m_normal.bSaveHistory;
        PutInForce(block, CEchoSounder::kReplay);
        if (!m_replayFiles || m_replayFiles->IsEmpty())
            return;
    } else {
        PutInForce(m_normal, CEchoSounder::kNormal);
    }
    const bool history = m_inForce.bSaveHistory && !(mode == CEchoSounder::kReplay && m_model == SounderModel::RM30);
    m_host->HistorySaving(history);
    m_host->EnableMessagePane(m_inForce.bSyncHistory != 0);

    std::string sequenceFile;
    if (mode == CEchoSounder::kNormal && m_model == SounderModel::RM30 && m_sequenceFileFlag) {
        char name[32];
        std::snprintf(name, sizeof name, "Sequence%02d.raw", m_inForce.iSequence);
        sequenceFile = folder + name;
    }

    CEchoSounder::Context context = m_context;
    context.simplePinger = m_inForce.SimplePinger != 0;
    context.simplePingerInterval = m_inForce.SimplePingerInterval;
    HKEY key = mode == CEchoSounder::kReplay ? m_keyOperationReplay : m_keyOperationNormal;
    auto sounder = std::make_unique<CEchoSounder>();
    const bool started =
        sounder->Create(context, key, mode, m_inForce.enumSpeed, m_replayFiles.get(),
                        mode == CEchoSounder::kReplay ? CEchoSounder::kTriggerInternal : m_inForce.enumNormalTrig,
                        mode == CEchoSounder::kReplay ? 0 : m_inForce.enumNormalSequence, sequenceFile, m_inForce.HBX,
                        // Interval mode keeps the interval in force from its first ping, not
                        // only after the next Play or "Operation..." OK.
                        static_cast<std::int64_t>(m_inForce.PingInterval * 1e7));
    if (!started || sounder->GetChannelCount() == 0)
        return;
    m_echoSounder = std::move(sounder);
    m_running.store(m_echoSounder.get(), std::memory_order_release);
    // The transceivers loaded their saved settings in Create, before its
    // workers started.
    if (mode == CEchoSounder::kNormal)
        m_host->StatusBarModel(m_model);
}

void COperationControl::NewLayout()
{
    m_host->ClearPendingNewLayout();
    MakeLayout();
    // The channel status window comes back with every layout (the command
    // that made it took it away).
    PostMessage(GetMainWindow(), app::WM_ES_SHOWCHANNELSTATUS, 0, 0);
}

void COperationControl::MakeLayout()
{
    if (!m_echoSounder)
        return;
    Settings& block = m_modeInForce == CEchoSounder::kReplay ? m_replay : m_normal;
    const int count = m_echoSounder->GetChannelCount();
    bool matches = true;
    for (int n = 0; n < 8; ++n) {
        const ChannelDisplay& d = block.displays[static_cast<std::size_t>(n)];
        if (n < count) {
            const CChannel* c = m_echoSounder->GetChannel(n);
            matches = matches && d.bExists && c && d.sLongChannelID == c->GetChannelName();
        } else {
            matches = matches && !d.bExists;
        }
    }
    m_inForce.enumViewArrangement = block.enumViewArrangement;
    if (!matches) {
        for (int n = 0; n < 8; ++n) {
            ChannelDisplay& d = block.displays[static_cast<std::size_t>(n)];
            const CChannel* c = n < count ? m_echoSounder->GetChannel(n) : nullptr;
            if (c)
                d = ChannelDisplay{1, 1, c->GetSourceName(), c->GetChannelName()};
            else
                d = ChannelDisplay{};
        }
    }
    m_inForce.displays = block.displays;
    NameExternalDepthSources(m_inForce.displays);
    IPingDocuments* documents = m_echoSounder->GetDocuments();
    if (documents)
        documents->SetHold(true);
    m_host->CreateLayout(m_inForce.displays, m_inForce.enumViewArrangement);
    // Lifted also when no layout could be made, so that a later one is fed.
    if (documents)
        documents->SetHold(false);
    m_host->ResetGeographicHistory();
}

void COperationControl::RestoreFactorySettings()
{
    // The saved settings of every object: files "Normal *.ser", "Replay *.ser"
    // and "User *.ser" of the settings folder, removed one by one.
    const std::string folder = GetSettingsFolder();
    CPaths::CreateFolder(folder);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const bool ours =
            (name.rfind("Normal ", 0) == 0 || name.rfind("Replay ", 0) == 0 || name.rfind("User ", 0) == 0) &&
            entry.path().extension() == ".ser";
        if (ours && entry.is_regular_file(ec))
            std::filesystem::remove(entry.path(), ec);
    }
    m_normal = Settings{};
    m_replay = Settings{};
    for (HKEY* k : {&m_keyOperationNormal, &m_keyOperationReplay, &m_keyOperation}) {
        if (*k)
            m_reg.CloseKey(*k);
        *k = nullptr;
    }
    if (m_root) {
        m_reg.DeleteKey(m_root, "Operation");
        m_keyOperation = m_reg.OpenKey(m_root, "Operation", TRUE);
        if (m_keyOperation) {
            m_keyOperationNormal = m_reg.OpenKey(m_keyOperation, "Normal", TRUE);
            m_keyOperationReplay = m_reg.OpenKey(m_keyOperation, "Replay", TRUE);
        }
    }
    PutInForce(m_normal, CEchoSounder::kNormal);
    NameExternalDepthSources(m_inForce.displays);
    m_sequenceFileFlag = 0;
    m_replayFiles.reset();
    m_host->FactoryDefaults();
}

void COperationControl::ForwardControl(int speed, DWORD trigger, int sequence, double intervalSeconds, int hbx)
{
    m_inForce.enumSpeed = speed;
    m_inForce.enumNormalTrig = trigger;
    m_inForce.enumNormalSequence = sequence;
    m_inForce.PingInterval = intervalSeconds;
    m_inForce.HBX = hbx;
    Settings& block = m_modeInForce == CEchoSounder::kReplay ? m_replay : m_normal;
    block.enumSpeed = speed;
    block.enumNormalTrig = trigger;
    block.HBX = hbx;
    if (m_echoSounder)
        m_echoSounder->SetMode(speed, trigger, sequence, static_cast<std::int64_t>(intervalSeconds * 1e7), hbx);
}

bool COperationControl::OnCommand(UINT id)
{
    switch (id) {
    case app::cmd::OPERATION:
        OnOperation();
        return true;
    case app::cmd::PLAY:
        if (m_echoSounder)
            m_echoSounder->SetMode(m_inForce.enumSpeed, CEchoSounder::kTriggerInternal, 0,
                                   static_cast<std::int64_t>(m_inForce.PingInterval * 1e7), m_inForce.HBX);
        return true;
    case app::cmd::PAUSE:
        if (m_echoSounder)
            m_echoSounder->SetMode(CEchoSounder::kSingleStep, CEchoSounder::kTriggerInternal, 0,
                                   static_cast<std::int64_t>(m_inForce.PingInterval * 1e7), m_inForce.HBX);
        return true;
    default:
        return false;
    }
}

SOperationDialogValues COperationControl::OperationDialogValues()
{
    SOperationDialogValues v;
    v.model = m_model;
    v.channelNames = m_host->InstalledChannelNames();
    v.installedChannels = static_cast<int>(v.channelNames.size());
    v.pingerAvailable = m_host->HasPingerMode();
    v.mode = v.installedChannels == 0 ? CEchoSounder::kReplay : GetMode();
    v.rate = m_inForce.enumSpeed;
    v.interval = m_inForce.PingInterval;
    v.externalTrigger = m_inForce.enumNormalTrig != CEchoSounder::kTriggerInternal;
    v.history = m_inForce.bSaveHistory != 0;
    v.synchronise = m_inForce.bSyncHistory != 0;
    v.sequence = m_inForce.enumNormalSequence != 0;
    v.hbx = m_inForce.HBX != 0;
    v.simplePinger = m_inForce.SimplePinger != 0;
    v.simplePingerInterval = m_inForce.SimplePingerInterval;
    v.simplePingerPulseLength = m_inForce.SimplePingerPulselength;
    v.simplePingerSource = m_inForce.sSimplePingerLongChannelID;
    if (m_replayFiles)
        v.files = *m_replayFiles;
    v.changeSvp = m_host->GetEnvironmentUpdateFlag() != 0;
    return v;
}

void COperationControl::OnOperation()
{
    for (;;) {
        SOperationDialogValues values = OperationDialogValues();
        if (!m_host->RunOperationDialog(values))
            return;
        if (values.rate == CEchoSounder::kPinger) {
            // The dialog comes again until the pinger is found or the
            // operator cancels.
            if (!m_host->SynchronisePinger())
                continue;
        } else {
            m_host->SetPingerActive(false);
        }
        ApplyOperationDialog(values);
        return;
    }
}

void COperationControl::ApplyOperationDialog(const SOperationDialogValues& v)
{
    const DWORD trigger = CEchoSounder::kTriggerInternal + (v.externalTrigger ? 1 : 0);
    const int sequence = v.sequence ? 1 : 0;
    const bool replay = v.mode == CEchoSounder::kReplay;
    // Taken on OK only: Cancel of the dialog changes nothing.
    if (v.newFiles)
        m_host->SetEnvironmentUpdateFlag(v.changeSvp);
    Settings& block = replay ? m_replay : m_normal;
    const bool samePinger = m_inForce.SimplePinger == (v.simplePinger ? 1 : 0) &&
                            m_inForce.SimplePingerInterval == v.simplePingerInterval &&
                            m_inForce.SimplePingerPulselength == v.simplePingerPulseLength &&
                            m_inForce.sSimplePingerLongChannelID == v.simplePingerSource;
    const auto copySimplePinger = [](const Settings& from, Settings& to) {
        to.SimplePinger = from.SimplePinger;
        to.SimplePingerInterval = from.SimplePingerInterval;
        to.SimplePingerPulselength = from.SimplePingerPulselength;
        to.sSimplePingerLongChannelID = from.sSimplePingerLongChannelID;
    };
    m_normal.enumNormalTrig = trigger;
    m_normal.enumNormalSequence = sequence;
    block.enumSpeed = v.rate;
    block.PingInterval = v.interval;
    block.bSaveHistory = v.history ? 1 : 0;
    block.bSyncHistory = v.synchronise ? 1 : 0;
    block.HBX = v.hbx ? 1 : 0;

    // The dialog's message loop may have stopped or replaced the sounder:
    // what runs now decides.
    if (m_echoSounder && v.mode == m_modeInForce && !(replay && v.newFiles) && samePinger) {
        m_inForce.enumNormalTrig = trigger;
        m_inForce.enumNormalSequence = sequence;
        m_host->HistorySaving(v.history && !(replay && m_model == SounderModel::RM30));
        m_inForce.enumSpeed = v.rate;
        // Kept in force as well, so that "Play" after "Pause" goes on at the
        // interval chosen here.
        m_inForce.PingInterval = v.interval;
        m_inForce.bSaveHistory = block.bSaveHistory;
        m_inForce.bSyncHistory = block.bSyncHistory;
        m_inForce.HBX = block.HBX;
        m_echoSounder->SetMode(v.rate, replay ? CEchoSounder::kTriggerInternal : trigger, replay ? 0 : sequence,
                               static_cast<std::int64_t>(v.interval * 1e7), block.HBX);
        copySimplePinger(m_inForce, block);
    } else {
        m_inForce.SimplePinger = v.simplePinger ? 1 : 0;
        m_inForce.SimplePingerInterval = v.simplePingerInterval;
        m_inForce.SimplePingerPulselength = v.simplePingerPulseLength;
        m_inForce.sSimplePingerLongChannelID = v.simplePingerSource.substr(0, 200);
        copySimplePinger(m_inForce, block);
        WriteState();
        if (replay)
            PostStartWithFiles(v.files ? &*v.files : nullptr);
        else
            PostRestart();
    }
    m_host->EnableMessagePane(m_inForce.bSyncHistory != 0);
}

std::string COperationControl::ProfileFromFolder(const std::string& settingsFolder, const std::string& chosen)
{
    std::string base = settingsFolder;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    std::string name = chosen;
    if (name.compare(0, base.size(), base) == 0)
        name = name.substr(base.size());
    while (!name.empty() && name.front() == '/')
        name.erase(0, 1);
    while (!name.empty() && name.back() == '/')
        name.pop_back();
    if (name == "Settings" || name == "Default")
        name.clear();
    return name;
}

std::string COperationControl::GetProfilesFolder() const
{
    return CPaths::WithTrailingSeparator(m_trListPath) + "Settings";
}

void COperationControl::ApplyLayout(int arrangement, const std::array<bool, 8>& checked)
{
    Settings& block = m_modeInForce == CEchoSounder::kReplay ? m_replay : m_normal;
    block.enumViewArrangement = arrangement;
    for (std::size_t n = 0; n < block.displays.size(); ++n)
        block.displays[n].bShown = block.displays[n].bExists && checked[n] ? 1 : 0;
    PostCommand4006();
}

void COperationControl::SelectUserProfile(const std::string& chosenFolder)
{
    WriteState();
    const std::string name = ProfileFromFolder(GetProfilesFolder(), chosenFolder);
    m_host->SetProfile(name);
    // The default profile is the empty name, and the title then names none.
    if (name.empty())
        PostMessage(GetMainWindow(), app::WM_ES_UPDATETITLE, 0, 0);
    else
        PostMessage(GetMainWindow(), app::WM_ES_UPDATETITLE, 0, 1, MakePayload<std::string>(name));
    PostCommand(app::cmd::RESTART_FROM_INSTALLATION);
}
