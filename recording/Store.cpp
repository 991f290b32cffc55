#include "recording/Store.h"

#include "base/EchosounderError.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "recording/XtfRecords.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace zv::recording {

namespace {

std::string ErrorText(int error)
{
    return std::strerror(error);
}

}  // namespace

CStore::CStore(IStoreSounder& sounder, IStoreEvents& events, IRawDataSink* rawData, const SStoreSettings& settings,
               std::string fixedFileName, SounderModel model)
    : m_sounder(sounder),
      m_events(events),
      m_rawData(rawData),
      m_fixedName(std::move(fixedFileName)),
      m_model(model),
      m_settings(settings)
{
    if (!m_fixedName.empty()) {
        m_settings.saveRawData = 1;
        m_fixedRawOn = true;
    }
    if (m_settings.lineNumber > 9999)
        m_settings.lineNumber = 0;
    ReportState();
}

CStore::CStore(IStoreSounder& sounder, IStoreEvents& events, IRawDataSink* rawData, HKEY settingsParent,
               std::string fixedFileName, SounderModel model)
    : CStore(sounder, events, rawData, LoadSettings(settingsParent, model, !fixedFileName.empty()), fixedFileName,
             model)
{
    m_settingsParent = settingsParent;
}

SStoreSettings CStore::LoadSettings(HKEY parent, SounderModel model, bool fixedName)
{
    // Checked before anything is built, so a failed start leaves nothing half made.
    if (!parent)
        ECHOSOUNDER_FATAL_ERROR("Illegal Parameter(s): %d)", 0);
    return SStoreSettings::Load(parent, model, fixedName);
}

CStore::~CStore()
{
    CloseAllFiles();
    if (IsLogging())
        OnToggleLogging();
    if (!m_sounder.IsReplaying())
        SaveSettings();
}

void CStore::SaveSettings()
{
    // A fixed-name recorder runs on the sequence's settings and keeps none.
    if (!m_settingsParent || !m_fixedName.empty())
        return;
    if (!Settings().Save(m_settingsParent))
        m_events.Notify("The recording settings could not be saved");
}

// --- state -------------------------------------------------------------------

bool CStore::AnyKindOn(const SStoreSettings& s) const
{
    // The xtf product counts as a kind of its own: logging with it alone on
    // records it.
    return s.saveRawData || s.saveOutData || s.saveEchogramData || s.saveXyzData || s.txt || s.geoRef || s.saveXtfData;
}

CStore::STargets CStore::CurrentTargets() const
{
    const bool replay = m_sounder.IsReplaying();
    const int saveData = replay ? m_sounder.ReplaySaveDataOption() : 0;
    std::lock_guard lock(m_stateLock);
    STargets t;
    const bool logging = m_settings.lineActive && !replay;
    t.raw = m_settings.saveRawData && (m_fixedName.empty() ? logging : m_fixedRawOn);
    t.extract = replay && m_extractSwitch;
    t.out = m_fixedName.empty() && m_settings.saveOutData && (replay ? saveData != 0 : logging);
    t.udp = m_rawData && m_rawData->IsEnabled();
    // The side products: on while logging, or in a replay that saves data;
    // xtf in a replay whenever its switch is on. A sequence file records
    // nothing beside its raw file.
    const bool products = m_fixedName.empty() && (replay ? saveData != 0 : logging);
    t.txt = products && m_settings.txt;
    t.geo = products && m_settings.geoRef;
    t.dg = products && m_settings.saveEchogramData;
    t.xyz = products && m_settings.saveXyzData;
    t.xtf = m_fixedName.empty() && m_settings.saveXtfData && (replay || logging);
    return t;
}

bool CStore::IsReplayExtractOn() const
{
    std::lock_guard lock(m_stateLock);
    return m_extractSwitch;
}

bool CStore::IsLogging() const
{
    std::lock_guard lock(m_stateLock);
    return m_settings.lineActive != 0;
}

int CStore::GetMode() const
{
    std::lock_guard lock(m_stateLock);
    if (!m_fixedName.empty())
        return m_fixedRawOn ? 1 : 0;
    return m_settings.lineActive && AnyKindOn(m_settings) ? 1 : 0;
}

bool CStore::IsRecordingPing() const
{
    const STargets t = CurrentTargets();
    return t.raw || t.extract || t.out;
}

bool CStore::IsRecordingXtf() const
{
    return CurrentTargets().xtf;
}

SStoreSettings CStore::Settings() const
{
    std::lock_guard lock(m_stateLock);
    return m_settings;
}

void CStore::ApplySettings(const SStoreSettings& settings)
{
    std::unique_lock lock(m_stateLock);
    // The line state belongs to the logging toggle, not to the dialog.
    const std::uint32_t active = m_settings.lineActive;
    m_settings = settings;
    m_settings.lineActive = active;
    if (m_settings.lineNumber > 9999)
        m_settings.lineNumber = 0;
    lock.unlock();
    SaveSettings();
}

void CStore::OnStore(const std::function<CStore*()>& recorder, const std::array<SStoreDialogValues::SSlot, 4>& channels,
                     const std::function<bool(SStoreDialogValues&)>& runDialog,
                     const std::function<bool(const std::string& text)>& askRetry)
{
    CStore* store = recorder();
    if (!store)
        return;
    SStoreDialogValues values = store->StoreDialogValues(channels);
    for (;;) {
        if (!runDialog(values) || !(store = recorder()))
            return;
        std::string why;
        if (store->ApplyStoreDialog(values, false, why))
            return;
        const bool retry = askRetry && askRetry(std::string("Invalid Survey Name") + ".\n" + why);
        if (!(store = recorder()))
            return;
        if (retry)
            continue;
        store->ApplyStoreDialog(values, true, why);
        return;
    }
}

void CStore::OnEchogramStorage(const std::function<CStore*()>& recorder,
                               const std::array<SStoreDialogValues::SSlot, 4>& channels,
                               const std::function<bool(SStoreEchogramValues&)>& runDialog)
{
    CStore* store = recorder();
    if (!store)
        return;
    SStoreEchogramValues values = store->EchogramValues(channels);
    if (!runDialog(values) || !(store = recorder()))
        return;
    store->EditEchogramSettings(values);
}

SStoreEchogramValues CStore::EchogramValues(const std::array<SStoreDialogValues::SSlot, 4>& channels) const
{
    return SStoreEchogramValues::From(Settings(), m_sounder.IsReplaying(), channels);
}

void CStore::EditEchogramSettings(const SStoreEchogramValues& values)
{
    {
        std::lock_guard lock(m_stateLock);
        m_settings = values.Apply(m_settings);
    }
    // A replay's settings are the recording's business, not the operator's.
    if (!m_sounder.IsReplaying())
        SaveSettings();
}

SStoreDialogValues CStore::StoreDialogValues(const std::array<SStoreDialogValues::SSlot, 4>& channels)
{
    double rawMb = 0.0;
    {
        std::lock_guard lock(m_rawLock);
        const std::int64_t size = m_raw.IsOpen() ? m_raw.Size() : 0;
        if (size > 0)
            rawMb = double(size) / 1048576.0;
    }
    const SStoreSettings current = Settings();
    const bool locked = m_sounder.IsReplaying() || current.lineActive != 0;
    return SStoreDialogValues::From(current, locked, rawMb, channels);
}

bool CStore::ApplyStoreDialog(const SStoreDialogValues& values, bool keepFolder, std::string& why)
{
    const SStoreSettings current = Settings();
    SStoreSettings result = values.Result();
    // Logging may have started or stopped while the dialog was open: either
    // lock keeps the recorder's own file settings (a stop has stepped the
    // line number past what the dialog still shows).
    if (values.locked || m_sounder.IsReplaying() || current.lineActive != 0) {
        // Their controls were disabled: what the files are named and how
        // large they grow stays as it is while they are written.
        result.saveRawData = current.saveRawData;
        result.localTime = current.localTime;
        result.lineNumber = current.lineNumber;
        result.lineIncrease = current.lineIncrease;
        result.maxFileSize = current.maxFileSize;
    }
    if (keepFolder || m_sounder.IsReplaying()) {
        result.filePath = current.filePath;
    } else {
        std::string folder = result.filePath;
        while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
        if (!folder.empty() && !CPaths::CreateFolder(CPaths::MapWindowsPath(folder), &why))
            return false;
        result.filePath = folder;
    }
    ApplySettings(result);
    if (!IsLogging())
        ReportState();
    return true;
}

void CStore::ReportState()
{
    bool active;
    int line;
    {
        std::lock_guard lock(m_stateLock);
        active = m_settings.lineActive && AnyKindOn(m_settings);
        line = int(m_settings.lineNumber);
    }
    m_events.RecordingState(active, line);
}

// --- names -------------------------------------------------------------------

std::string CStore::GetFilePath() const
{
    std::lock_guard lock(m_stateLock);
    return m_currentPath;
}

std::string CStore::GetFileName(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

std::string CStore::RecordingFolder() const
{
    std::string folder;
    {
        std::lock_guard lock(m_stateLock);
        folder = m_settings.filePath;
    }
    if (folder.empty())
        folder = SStoreSettings::DefaultFolder(m_model);
    return CPaths::WithTrailingSeparator(CPaths::MapWindowsPath(folder));
}

std::string CStore::MakeFileName(const std::string& extension) const
{
    SYSTEMTIME st;
    std::uint32_t line, local;
    {
        std::lock_guard lock(m_stateLock);
        line = m_settings.lineNumber;
        local = m_settings.localTime;
    }
    const std::uint64_t now = CFileTime::Now();
    if (!(local ? CFileTime::ToLocalSystemTime(now, st) : CFileTime::ToSystemTime(now, st)))
        CFileTime::ToSystemTime(now, st);
    std::string name = CNumberText::Format("L%04u-D%04u%02u%02u-T%02u%02u%02u-", unsigned(line), unsigned(st.wYear),
                                           unsigned(st.wMonth), unsigned(st.wDay), unsigned(st.wHour),
                                           unsigned(st.wMinute), unsigned(st.wSecond)) +
                       m_sounder.ProgramName();
    return name + FrequencySuffix(extension);
}

std::string CStore::FrequencySuffix(const std::string& extension) const
{
    bool on[4] = {};
    {
        std::lock_guard lock(m_stateLock);
        const std::uint32_t* switches = extension == "out"   ? m_settings.out
                                        : extension == "xyz" ? m_settings.xyz
                                        : extension == "dg"  ? m_settings.echogram
                                                             : nullptr;
        if (!switches)
            return {};
        for (int i = 0; i < 4; ++i)
            on[i] = switches[i] != 0;
    }
    std::string suffix;
    for (std::size_t i = 0; i < 4 && i < m_sounder.ChannelCount(); ++i) {
        SProductChannel ch;
        if (on[i] && m_sounder.GetProductChannel(i, ch)) {
            int khz = 0;
            CNumberText::TruncateToInt(ch.frequency / 1000.0, khz);
            suffix += CNumberText::Format("-%d", khz);
        }
    }
    return suffix;
}

std::string CStore::TimeOfDayText() const
{
    bool local;
    {
        std::lock_guard lock(m_stateLock);
        local = m_settings.localTime != 0;
    }
    SYSTEMTIME st;
    const std::uint64_t now = CFileTime::Now();
    if (!(local ? CFileTime::ToLocalSystemTime(now, st) : CFileTime::ToSystemTime(now, st)))
        CFileTime::ToSystemTime(now, st);
    return CNumberText::Format("%02u%02u%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond));
}

bool CStore::CreateUnique(CDatagramFile& file, const std::string& folder, const std::string& stem,
                          const std::string& extension, int& error)
{
    // Two files in the same second (a roll-over right after an open, or a
    // restart) would share a name; the later one gets a counter instead of
    // replacing the earlier recording.
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? stem : stem + CNumberText::Format("_%d", n);
        const std::string path = folder + name + "." + extension;
        error = file.CreateNew(path);
        // The new name must survive a power cut too, or the data is lost
        // with it; the syncer waits for that, not the ping-data thread.
        if (error == 0)
            m_syncer.HandFolderOf(path);
        if (error != EEXIST)
            return error == 0;
    }
    return false;
}

bool CStore::CreateWithFallback(CDatagramFile& file, const std::string& folder, const std::string& stem,
                                const std::string& extension)
{
    int error = 0;
    std::string why;
    if (CPaths::CreateFolder(folder, &why) && CreateUnique(file, folder, stem, extension, error))
        return true;
    if (!error)
        error = ENOENT;
    // The chosen folder cannot take the file: record into the fallback
    // folder rather than lose the data, and tell the operator.
    const std::string fallback = CPaths::WithTrailingSeparator(CPaths::Join(CPaths::DataRoot(), "Data2"));
    const bool ok = CPaths::CreateFolder(fallback) && CreateUnique(file, fallback, stem, extension, error);
    m_events.Notify(std::string("File write error") + ".\n" + "The path is set to default storage : \n" +
                    (ok ? file.Path() : fallback + stem + "." + extension) + ".\n" +
                    "Please go to File - Store... to set your own storage location.\n" + ErrorText(error));
    return ok;
}

SConfiguration CStore::BuildConfiguration(const std::string& fileName, const std::string& lineText) const
{
    SConfiguration c;
    c.time = CFileTime::Now();
    c.fileName = fileName;
    c.lineText = lineText;
    c.programName = m_sounder.ProgramName();
    m_sounder.MotionOffsets(c.motionX, c.motionY, c.motionZ);
    const std::size_t n = m_sounder.ChannelCount();
    for (std::size_t i = 0; i < n && i < kConMaxChannels; ++i) {
        SConfigChannel ch;
        if (!m_sounder.GetConfigChannel(i, ch))
            ch = SConfigChannel{};
        c.channels.push_back(ch);
    }
    return c;
}

// --- files -------------------------------------------------------------------

bool CStore::OpenTarget(CDatagramFile& file, EKind kind)
{
    CloseTarget(file);
    const std::string extension = kind == EKind::Out ? "out" : "raw";
    std::string folder = RecordingFolder();
    std::string stem;
    if (kind == EKind::Raw && !m_fixedName.empty()) {
        const std::string mapped = CPaths::MapWindowsPath(m_fixedName);
        const auto slash = mapped.find_last_of('/');
        if (slash != std::string::npos) {
            folder = mapped.substr(0, slash + 1);
            stem = mapped.substr(slash + 1);
        } else {
            stem = mapped;
        }
        if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".raw") == 0)
            stem.resize(stem.size() - 4);
    } else {
        stem = MakeFileName(extension);
    }

    if (!CreateWithFallback(file, folder, stem, extension))
        return false;

    std::string lineText;
    if (m_fixedName.empty() || kind != EKind::Raw) {
        std::lock_guard lock(m_stateLock);
        lineText = CNumberText::Format("L%04u", unsigned(m_settings.lineNumber));
    }
    const SConfiguration config = BuildConfiguration(GetFileName(file.Path()), lineText);
    bool outSwitch[4];
    {
        std::lock_guard lock(m_stateLock);
        for (int i = 0; i < 4; ++i)
            outSwitch[i] = m_settings.out[i] != 0;
    }
    const CFramedDatagram con = CDatagramWriter::BuildConfiguration(
        config, kind == EKind::Out ? CDatagramWriter::EChannels::Out : CDatagramWriter::EChannels::All, outSwitch);
    // A fresh file may again meet a full disk; the alarm then goes up anew.
    m_diskFullRaised = false;
    m_writeErrorNotified = false;
    Write(file, con.Framed());
    if (kind != EKind::Raw) {
        auto& held = kind == EKind::Out ? m_outHeld : m_extractHeld;
        for (const auto& frame : held)
            Write(file, frame);
        held.clear();
    }

    if (kind == EKind::Raw) {
        {
            std::lock_guard lock(m_stateLock);
            m_currentPath = file.Path();
        }
        m_udpConfigDue = true;
        m_startSent = true;
        m_events.SendLogLine("START, " + TimeOfDayText() + "," + file.Path());
    }
    return true;
}

bool CStore::Write(CDatagramFile& file, std::span<const std::uint8_t> frame)
{
    const CDatagramFile::Pieces pieces(&frame, 1);
    return Write(file, std::span(&pieces, 1));
}

bool CStore::Write(CDatagramFile& file, std::span<const CDatagramFile::Pieces> frames)
{
    switch (file.WriteFrames(frames)) {
    case CDatagramFile::EResult::Ok:
        return true;
    case CDatagramFile::EResult::DiskFull:
    case CDatagramFile::EResult::Error:
        // A file closed because it could not be mended keeps its path.
        ReportFailure(file.LastError(), file.Path());
        return false;
    case CDatagramFile::EResult::NotOpen:
        break;
    }
    return false;
}

bool CStore::WriteText(CDatagramFile& file, std::string_view text)
{
    return Write(file, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void CStore::ReportFailure(int error, const std::string& path)
{
    // A file-size limit (with SIGXFSZ ignored) or a quota is as full as a disk.
    if (error == ENOSPC || error == EFBIG || error == EDQUOT) {
        if (!m_diskFullRaised.exchange(true))
            m_events.RaiseAlarm(kTextDiskFull);
        return;
    }
    // Once a file: a failing disk would otherwise report every datagram.
    if (!m_writeErrorNotified.exchange(true))
        m_events.Notify("File write error\n" + path + "\n" + ErrorText(error));
}

void CStore::WriteOrHold(CDatagramFile& file, std::vector<std::vector<std::uint8_t>>& held, bool on,
                         std::span<const std::uint8_t> frame)
{
    // Enough for a file's leading profiles, sentences and annotations; a
    // target that never sees a ping does not grow without end.
    constexpr std::size_t kMaxHeld = 4096;
    if (!on)
        return;
    if (file.IsOpen())
        Write(file, frame);
    else if (held.size() < kMaxHeld)
        held.emplace_back(frame.begin(), frame.end());
}

void CStore::CloseTarget(CDatagramFile& file)
{
    // The syncer waits for the disk, not the thread that closes (a
    // roll-over happens on the ping-data thread).
    const std::string path = file.Path();
    const int handle = file.TakeSyncHandle();
    if (const int error = file.Close())
        ReportFailure(error, path);
    m_syncer.Hand(handle, path);
}

void CStore::CollectSyncHandles(std::vector<CFileSyncer::SHandle>& due)
{
    // Taken under the locks, synced outside them, so the writers go on
    // while the syncer waits for the disk.
    auto take = [&due](CDatagramFile& file) {
        const int handle = file.TakeSyncHandle();
        if (handle >= 0)
            due.push_back({handle, file.Path()});
    };
    const auto under = [&take](std::mutex& lock, CDatagramFile& file) {
        std::lock_guard guard(lock);
        take(file);
    };
    {
        std::lock_guard lock(m_rawLock);
        take(m_raw);
        take(m_extract);
        take(m_geo);
    }
    under(m_outLock, m_out);
    under(m_xyzLock, m_xyz);
    under(m_echogramLock, m_dg);
    under(m_txtLock, m_txt);
    under(m_xtfLock, m_xtf);
}

void CStore::Synced(int error, const std::string& path)
{
    if (error)
        ReportFailure(error, path);
    else
        ++m_synced;
}

bool CStore::RollOverIfFull()
{
    std::uint32_t maxSize;
    {
        std::lock_guard lock(m_stateLock);
        maxSize = m_settings.maxFileSize;
    }
    const std::int64_t size = m_raw.Size();
    if (size < 0)
        return false;
    if (std::uint64_t(size) < maxSize)
        return true;
    if (!m_fixedName.empty()) {
        m_events.SendLogLine("STOP, " + TimeOfDayText() + "," + m_raw.Path());
        m_startSent = false;
        {
            std::lock_guard lock(m_stateLock);
            m_fixedRawOn = false;
        }
        CloseTarget(m_raw);
        m_events.RaiseAlarm(kTextFileRecordFull);
        return false;
    }
    m_events.PostStatusMessage(kTextFileMaxSize);
    return OpenTarget(m_raw, EKind::Raw);
}

void CStore::WritePing()
{
    const STargets t = CurrentTargets();
    bool samplesWritten = false;
    if (t.raw || t.extract || t.udp) {
        const std::size_t n = m_sounder.ChannelCount();
        while (m_sampleFrames.size() < n)
            m_sampleFrames.emplace_back();
        if (t.udp && m_pingBuffers.size() < n)
            m_pingBuffers.resize(n);
        m_pingPieces.clear();
        for (std::size_t i = 0; i < n; ++i) {
            SSampleData data;
            if (!m_sounder.GetPingChannel(i, data))
                continue;
            data.header.channel = std::uint16_t(i + 1);
            // The files take the samples from where the sounder holds them;
            // the UDP copy takes each body in one piece.
            const std::size_t k = m_pingPieces.size();
            m_sampleFrames[k].Set(data);
            m_pingPieces.push_back(m_sampleFrames[k].Pieces());
            if (t.udp)
                CDatagramWriter::BuildSample(data, m_pingBuffers[k]);
        }
        const std::size_t built = m_pingPieces.size();
        {
            std::lock_guard lock(m_rawLock);
            // Asked again under the lock: recording may have been switched
            // off (and its files closed) since this ping began, and a file
            // opened now would stay open after the switch.
            const STargets now = CurrentTargets();
            bool raw = now.raw;
            if (raw && !m_raw.IsOpen())
                raw = OpenTarget(m_raw, EKind::Raw);
            else if (raw)
                raw = RollOverIfFull();
            const bool extract = now.extract && (m_extract.IsOpen() || OpenTarget(m_extract, EKind::Extract));
            // The ping goes to each file in one write: the page cache takes
            // a large write in large folios, at a fraction of the kernel's
            // cost per byte of the same bytes in a write per datagram.
            bool whole = true;
            if (raw)
                whole = Write(m_raw, m_pingPieces) && whole;
            if (extract)
                whole = Write(m_extract, m_pingPieces) && whole;
            // Room for a whole ping again: the next full disk is news. Short
            // sentences that still fit where a ping did not re-arm nothing,
            // or the alarm would flicker once a ping.
            if (built && (raw || extract) && whole)
                m_diskFullRaised = false;
            samplesWritten = raw || extract;
        }
        if (t.udp)
            for (std::size_t i = 0; i < built; ++i)
                SendUdp(m_pingBuffers[i].Body());
    }

    if (t.out) {
        bool outSwitch[4];
        {
            std::lock_guard lock(m_stateLock);
            for (int i = 0; i < 4; ++i)
                outSwitch[i] = m_settings.out[i] != 0;
        }
        std::vector<SDepthEntry> entries;
        FileTime time = 0;
        const std::size_t n = m_sounder.ChannelCount();
        for (std::size_t i = 0; i < n && i < kDepMaxEntries; ++i) {
            SDepthEntry e;
            if (i < 4 && outSwitch[i])
                entries.push_back(m_sounder.GetChannelDepth(i, e) ? e : SDepthEntry{});
        }
        // The first channel's ping time, without a copy of its samples.
        SProductChannel first;
        if (n > 0 && m_sounder.GetProductChannel(0, first))
            time = first.lastPingTime;
        const CFramedDatagram dep = CDatagramWriter::BuildDepth(entries, time);
        std::lock_guard lock(m_outLock);
        if (CurrentTargets().out && (m_out.IsOpen() || OpenTarget(m_out, EKind::Out)) && Write(m_out, dep.Framed()) &&
            !samplesWritten)
            m_diskFullRaised = false;
    }

    if (t.dg)
        WriteEchogramStorage();
    if (t.xyz)
        WriteXyzLines();
    if (t.txt)
        WriteTxtDepthLines();
}

void CStore::SendUdp(std::span<const std::uint8_t> body)
{
    std::lock_guard lock(m_udpLock);
    if (!m_rawData || !m_rawData->IsEnabled())
        return;
    if (m_udpConfigDue.exchange(false)) {
        const CFramedDatagram con =
            CDatagramWriter::BuildConfiguration(BuildConfiguration("DUMMY", "DUMMY"), CDatagramWriter::EChannels::All);
        if (!m_rawData->Send(con.Body()))
            ++m_udpFailed;
    }
    if (body.size() > CSocket::kMaxUdpPayload) {
        // One datagram cannot carry it; say so once and keep count.
        if (m_udpOversize++ == 0)
            m_events.PostStatusMessage(kTextUdpTooLarge);
        return;
    }
    if (!m_rawData->Send(body))
        ++m_udpFailed;
}

void CStore::WriteConfigurationToUdp()
{
    if (!m_rawData || !m_rawData->IsEnabled())
        return;
    m_udpConfigDue = true;
    std::lock_guard lock(m_udpLock);
    if (m_udpConfigDue.exchange(false)) {
        const CFramedDatagram con =
            CDatagramWriter::BuildConfiguration(BuildConfiguration("DUMMY", "DUMMY"), CDatagramWriter::EChannels::All);
        if (!m_rawData->Send(con.Body()))
            ++m_udpFailed;
    }
}

void CStore::WriteNmeaToFiles(const std::string& sentence, FileTime received)
{
    const STargets t = WriteSentenceDatagram(sentence, received);
    if (t.xyz) {
        std::lock_guard lock(m_xyzLock);
        if (CurrentTargets().xyz)
            m_createXyz.ParseSentence(sentence, received);
    }
    if (t.txt) {
        std::lock_guard lock(m_txtLock);
        if (CurrentTargets().txt && (m_txt.IsOpen() || OpenProduct(m_txt, "txt")))
            WriteText(m_txt, sentence + "\r\n");
    }
    // Only the first ping opens the xtf file.
    std::array<std::uint8_t, CXtfRecords::kNavigationSize> navigation;
    if (t.xtf && CXtfRecords::BuildNavigationRecord(sentence, received, navigation)) {
        std::lock_guard lock(m_xtfLock);
        if (CurrentTargets().xtf && m_xtf.IsOpen())
            Write(m_xtf, navigation);
    }
}

void CStore::WriteNmeaDatagram(const std::string& sentence, FileTime received)
{
    WriteSentenceDatagram(sentence, received);
}

CStore::STargets CStore::WriteSentenceDatagram(const std::string& sentence, FileTime received)
{
    const CFramedDatagram d = CDatagramWriter::BuildText(kTypeNME0, sentence, received);
    const STargets t = CurrentTargets();
    {
        std::lock_guard lock(m_rawLock);
        if (t.raw && m_raw.IsOpen())
            Write(m_raw, d.Framed());
        WriteOrHold(m_extract, m_extractHeld, t.extract, d.Framed());
    }
    {
        std::lock_guard lock(m_outLock);
        WriteOrHold(m_out, m_outHeld, t.out, d.Framed());
    }
    if (t.udp)
        SendUdp(d.Body());
    return t;
}

void CStore::WriteDepthTelegram(std::size_t channel, const std::string& telegram, FileTime time)
{
    {
        std::lock_guard lock(m_stateLock);
        if (!m_settings.addNmeaDepth || channel != m_settings.nmeaChannel)
            return;
    }
    if (telegram.empty())
        return;
    const STargets t = CurrentTargets();
    const CFramedDatagram d = CDatagramWriter::BuildText(kTypeNME0, telegram, time);
    {
        std::lock_guard lock(m_rawLock);
        WriteOrHold(m_extract, m_extractHeld, t.extract, d.Framed());
        if (t.raw && m_raw.IsOpen())
            Write(m_raw, d.Framed());
    }
    if (t.udp)
        SendUdp(d.Body());
}

void CStore::WriteAnnotationDatagram(const std::string& text, FileTime time)
{
    const CFramedDatagram d = CDatagramWriter::BuildText(kTypeTAG0, text, time);
    const STargets t = CurrentTargets();
    {
        std::lock_guard lock(m_rawLock);
        if (t.raw && m_raw.IsOpen())
            Write(m_raw, d.Framed());
        WriteOrHold(m_extract, m_extractHeld, t.extract, d.Framed());
    }
    {
        std::lock_guard lock(m_outLock);
        WriteOrHold(m_out, m_outHeld, t.out, d.Framed());
    }
    if (t.udp)
        SendUdp(d.Body());
}

void CStore::WriteSvpToFiles(const std::string& text, FileTime time, std::uint32_t kind)
{
    const CFramedDatagram d = CDatagramWriter::BuildProfile(text, time, kind);
    const STargets t = CurrentTargets();
    {
        std::lock_guard lock(m_rawLock);
        if (t.raw && m_raw.IsOpen())
            Write(m_raw, d.Framed());
        WriteOrHold(m_extract, m_extractHeld, t.extract, d.Framed());
    }
    {
        std::lock_guard lock(m_outLock);
        WriteOrHold(m_out, m_outHeld, t.out, d.Framed());
    }
    if (t.udp)
        SendUdp(d.Body());
}

// --- commands ----------------------------------------------------------------

bool CStore::OnCommand(unsigned id)
{
    switch (id) {
    case app::cmd::RECORD_TOGGLE:
        OnToggleLogging();
        return true;
    case app::cmd::REPLAY_FILE_OPENED:
        OnReplayFileOpened();
        return true;
    case app::cmd::CLOSE_REPLAY_FILES:
        OnCloseReplayFiles();
        return true;
    case app::cmd::REPLAY_EXTRACT:
        OnToggleReplayExtract();
        return true;
    default:
        return false;
    }
}

void CStore::SendStopLine()
{
    // Only after a START, so the network output sees the two in pairs.
    if (!m_startSent)
        return;
    m_startSent = false;
    m_events.SendLogLine("STOP, " + TimeOfDayText() + "," + GetFilePath());
}

void CStore::CloseAllFiles()
{
    {
        std::lock_guard lock(m_rawLock);
        CloseTarget(m_raw);
        CloseTarget(m_extract);
        CloseTarget(m_geo);
        SendStopLine();
    }
    {
        std::lock_guard lock(m_outLock);
        CloseTarget(m_out);
    }
    CloseProducts();
}

void CStore::OnToggleLogging()
{
    if (m_sounder.IsReplaying())
        return;
    bool nowActive;
    {
        std::lock_guard lock(m_stateLock);
        if (!AnyKindOn(m_settings))
            return;
        nowActive = !m_settings.lineActive;
        m_settings.lineActive = nowActive ? 1 : 0;
        if (!nowActive) {
            if (m_settings.lineIncrease)
                m_settings.lineNumber = m_settings.lineNumber >= 9999 ? 0 : m_settings.lineNumber + 1;
            else
                m_settings.lineNumber = m_settings.lineNumber == 0 ? 9999 : m_settings.lineNumber - 1;
        }
    }
    if (nowActive) {
        m_events.LoggingStarted();
    } else {
        CloseAllFiles();
        // What was held for a line that saw no ping is not the next line's.
        {
            std::lock_guard lock(m_rawLock);
            m_extractHeld.clear();
        }
        {
            std::lock_guard lock(m_outLock);
            m_outHeld.clear();
        }
        m_events.LoggingStopped();
    }
    SaveSettings();
    ReportState();
}

void CStore::OnReplayFileOpened()
{
    std::string folder, name, t1, t2;
    m_sounder.GetReplayNames(folder, name, t1, t2);
    // The sounder hands the first file's names over before its first ping;
    // the replay's own notice of that file comes after, and must not cut
    // the products its first pings have opened.
    {
        std::lock_guard lock(m_stateLock);
        if (!name.empty() && folder == m_replayFolder && name == m_replayName && t1 == m_replayText1 &&
            t2 == m_replayText2)
            return;
    }
    // No product may open under the new name before the files of the old
    // one are closed: the close would cut it off, and the rest of it would
    // go to a second file. Without a name, the products skip their records
    // meanwhile.
    {
        std::lock_guard lock(m_stateLock);
        m_replayFolder.clear();
        m_replayName.clear();
    }
    CloseAllFiles();
    {
        std::lock_guard lock(m_stateLock);
        m_replayFolder = folder;
        m_replayName = name;
        m_replayText1 = t1;
        m_replayText2 = t2;
    }
}

void CStore::OnCloseReplayFiles()
{
    // The raw file and the geo file stay open.
    {
        std::lock_guard lock(m_outLock);
        CloseTarget(m_out);
    }
    {
        std::lock_guard lock(m_rawLock);
        CloseTarget(m_extract);
    }
    CloseProducts();
}

void CStore::OnToggleReplayExtract()
{
    bool on;
    {
        std::lock_guard lock(m_stateLock);
        on = m_extractSwitch = !m_extractSwitch;
    }
    if (!on) {
        std::lock_guard lock(m_rawLock);
        CloseTarget(m_extract);
        m_extractHeld.clear();
    }
}

}  // namespace zv::recording
