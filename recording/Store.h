// The recorder: raw files of sample datagrams for replay (rolled over at a
// maximum size), out files of depth datagrams, the replay extract, and the
// copy of the datagram stream to the raw-data output over UDP; survey line
// numbering and the START and STOP lines. Beside them the side products,
// each in a file of its own opened on first need: xyz lines of positioned
// depths, the txt file (sentences and depth lines), the geo file (object
// positions), the dg file (echogram storage) and the xtf sonar file.
//
// Threads: pings arrive on the ping-data thread, sentences and profiles on
// sensor reader threads, annotations and commands on the user-interface
// thread. Each file is written only under its lock, held for the open check,
// the open and the whole datagram, so datagrams never interleave. No call
// waits for the operator: a name that exists already gets a unique suffix
// instead of a question, and notices go out through IStoreEvents::Notify,
// which must not block.
//
// Durability: a thread of the recorder's own syncs the open files once a
// second (kSyncInterval), and a file at once when it is closed or rolled
// over, so a power cut loses at most about the last second of a recording
// while the ping-data thread never waits for the disk. Deleting the
// recorder waits until everything is on the disk.
#pragma once

#include "base/AppIds.h"
#include "recording/CreateXyz.h"
#include "recording/DatagramFile.h"
#include "recording/DatagramWriter.h"
#include "recording/FileSyncer.h"
#include "recording/SampleFrame.h"
#include "recording/StoreDialogValues.h"
#include "recording/StoreEchogramValues.h"
#include "recording/StoreInterfaces.h"
#include "recording/StoreSettings.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zv::recording {

constexpr std::chrono::milliseconds kSyncInterval{1000};

class CStore
{
public:
    // A non-empty fixed name records one raw file under that name (sequence
    // recording) with raw recording on and nothing else.
    CStore(IStoreSounder& sounder, IStoreEvents& events, IRawDataSink* rawData, const SStoreSettings& settings,
           std::string fixedFileName = {}, SounderModel model = SounderModel::QY210);
    // Settings kept under settingsParent\"Store" (read now, written back on
    // every change and at the end); a null key is a fatal error.
    CStore(IStoreSounder& sounder, IStoreEvents& events, IRawDataSink* rawData, HKEY settingsParent,
           std::string fixedFileName = {}, SounderModel model = SounderModel::QY210);
    ~CStore();
    CStore(const CStore&) = delete;
    CStore& operator=(const CStore&) = delete;

    // Per ping on the ping-data thread: sample datagrams to the raw file, the
    // replay extract and the UDP copy; the depth datagram to the out file;
    // then the echogram storage records, the xyz lines and the txt depth
    // lines.
    void WritePing();
    // After the documents have taken the ping, on the ping-data thread.
    void WriteXtfPing();
    // A received sentence: to every open datagram file and the UDP copy, to
    // the xyz builder, as a txt line and as an xtf navigation record.
    void WriteNmeaToFiles(const std::string& sentence, FileTime received);
    // A sentence the telegram decoder did not take: only the datagram, to
    // every open file and the UDP copy.
    void WriteNmeaDatagram(const std::string& sentence, FileTime received);
    // An object position line (tag, time text and text) for the geo file.
    void WriteGeoLine(const std::string& line);
    // The height the xyz lines are given less (the antenna height, m).
    void SetHeaderValue(double antennaHeight);
    // A formatted depth telegram of channel index (0-based): stored as a
    // sentence when AddNMEADepth is on and the channel is NMEAChannel.
    void WriteDepthTelegram(std::size_t channel, const std::string& telegram, FileTime time);
    void WriteAnnotationDatagram(const std::string& text, FileTime time);
    // kind: 0 ordinary profile, 3 the real-time profile.
    void WriteSvpToFiles(const std::string& text, FileTime time, std::uint32_t kind);
    // The configuration with "DUMMY" texts, for the raw-data output.
    void WriteConfigurationToUdp();

    // WM_COMMAND handling; false for a command that is not the recorder's.
    bool OnCommand(unsigned id);
    void OnToggleLogging();
    void OnReplayFileOpened();
    void OnCloseReplayFiles();
    void OnToggleReplayExtract();
    void CloseAllFiles();

    // The "Store..." command: runDialog edits the values and answers true on
    // OK; a folder that cannot be made is put to askRetry (true: Retry, the
    // dialog runs again with what was entered; false: the old folder stays).
    // channels: the sounder's first four channel displays. The dialog and the
    // question run message loops in which the sounder, and its recorder, may
    // go: the recorder is asked for anew after each (null: nothing more).
    static void OnStore(const std::function<CStore*()>& recorder,
                        const std::array<SStoreDialogValues::SSlot, 4>& channels,
                        const std::function<bool(SStoreDialogValues&)>& runDialog,
                        const std::function<bool(const std::string& text)>& askRetry);
    // Its two steps: the values the dialog starts from, and taking over the
    // dialog's values. False with the reason when the folder cannot be made
    // (nothing is taken over then); keepFolder takes all but the folder.
    SStoreDialogValues StoreDialogValues(const std::array<SStoreDialogValues::SSlot, 4>& channels);
    bool ApplyStoreDialog(const SStoreDialogValues& values, bool keepFolder, std::string& why);
    // "Echogram Storage Parameters": runDialog edits the values and answers
    // true on OK. The dialog runs a message loop in which the sounder, and
    // its recorder, may go: the recorder is asked for anew after it (null:
    // nothing is applied).
    static void OnEchogramStorage(const std::function<CStore*()>& recorder,
                                  const std::array<SStoreDialogValues::SSlot, 4>& channels,
                                  const std::function<bool(SStoreEchogramValues&)>& runDialog);
    SStoreEchogramValues EchogramValues(const std::array<SStoreDialogValues::SSlot, 4>& channels) const;
    // Takes over the dialog's echogram storage settings; saved unless the
    // sounder replays.
    void EditEchogramSettings(const SStoreEchogramValues& values);
    // The recording settings dialog's result; open files are not touched.
    void ApplySettings(const SStoreSettings& settings);
    SStoreSettings Settings() const;

    bool IsLogging() const;
    // The replay-extract switch (command 57683).
    bool IsReplayExtractOn() const;
    // Non-zero while a recording kind is on and logging.
    int GetMode() const;
    bool IsRecordingPing() const;
    bool IsRecordingXtf() const;
    bool IsFixedName() const { return !m_fixedName.empty(); }

    std::string GetFilePath() const;  // the current raw file
    static std::string GetFileName(const std::string& path);
    // Where files are made, and the name a new file of an extension gets.
    std::string RecordingFolder() const;
    std::string MakeFileName(const std::string& extension) const;

    // Sample datagrams too large for one UDP datagram, which the copy leaves out.
    std::uint64_t UdpOversizeCount() const { return m_udpOversize.load(); }
    std::uint64_t UdpFailedCount() const { return m_udpFailed.load(); }
    // Files written through to the disk by the recorder's syncer so far.
    std::uint64_t SyncedCount() const { return m_synced.load(); }

private:
    struct STargets
    {
        bool raw = false, extract = false, out = false, udp = false;
        bool txt = false, geo = false, dg = false, xyz = false, xtf = false;
    };
    enum class EKind { Raw, Extract, Out };

    STargets CurrentTargets() const;
    bool AnyKindOn(const SStoreSettings& s) const;
    // Under the target's lock.
    bool OpenTarget(CDatagramFile& file, EKind kind);
    bool CreateUnique(CDatagramFile& file, const std::string& folder, const std::string& stem,
                      const std::string& extension, int& error);
    // In the folder, else in the fallback folder with a notice.
    bool CreateWithFallback(CDatagramFile& file, const std::string& folder, const std::string& stem,
                            const std::string& extension);
    // "-38-120": the kHz of the first four channels whose switch of the
    // product (out, xyz or dg) is on; empty for the others.
    std::string FrequencySuffix(const std::string& extension) const;
    bool Write(CDatagramFile& file, std::span<const std::uint8_t> frame);
    bool Write(CDatagramFile& file, std::span<const CDatagramFile::Pieces> frames);
    // A datagram for the replay extract or the out file: written when the
    // file is open, else held for it while its target is on (both open only
    // at the first ping), so that what came before, a replayed file's
    // profile and annotations among them, follows the file's configuration
    // in order. Under the file's lock.
    void WriteOrHold(CDatagramFile& file, std::vector<std::vector<std::uint8_t>>& held, bool on,
                     std::span<const std::uint8_t> frame);
    // The sentence's datagram to every open file and the UDP copy; the
    // targets that were on.
    STargets WriteSentenceDatagram(const std::string& sentence, FileTime received);
    bool WriteText(CDatagramFile& file, std::string_view text);
    // Side products, each under its lock.
    bool OpenProduct(CDatagramFile& file, const std::string& extension);
    bool OpenXtf();
    void WriteEchogramStorage();
    void WriteXyzLines();
    void WriteTxtDepthLines();
    // xyz (and its builder), dg, txt and xtf.
    void CloseProducts();
    void ReportFailure(int error, const std::string& path);
    void CloseTarget(CDatagramFile& file);
    void CollectSyncHandles(std::vector<CFileSyncer::SHandle>& due);
    void Synced(int error, const std::string& path);
    bool RollOverIfFull();
    void SendUdp(std::span<const std::uint8_t> body);
    SConfiguration BuildConfiguration(const std::string& fileName, const std::string& lineText) const;
    std::string TimeOfDayText() const;
    void SendStopLine();
    void ReportState();
    void SaveSettings();
    static SStoreSettings LoadSettings(HKEY parent, SounderModel model, bool fixedName);

    IStoreSounder& m_sounder;
    IStoreEvents& m_events;
    IRawDataSink* m_rawData;
    const std::string m_fixedName;
    const SounderModel m_model;
    HKEY m_settingsParent = nullptr;

    mutable std::mutex m_stateLock;  // settings, switches and names below
    SStoreSettings m_settings;
    bool m_fixedRawOn = false;
    bool m_extractSwitch = false;
    std::string m_currentPath;
    std::string m_replayFolder, m_replayName, m_replayText1, m_replayText2;

    std::mutex m_rawLock;  // raw file and replay extract
    CDatagramFile m_raw;
    CDatagramFile m_extract;
    std::vector<std::vector<std::uint8_t>> m_extractHeld;  // under the raw lock
    bool m_startSent = false;
    CDatagramFile m_geo;  // under the raw lock
    std::mutex m_outLock;
    CDatagramFile m_out;
    std::vector<std::vector<std::uint8_t>> m_outHeld;  // under the out lock

    std::mutex m_xyzLock;  // the xyz file and the builder
    CDatagramFile m_xyz;
    CCreateXyz m_createXyz;
    double m_heightOffset = 0.0;
    std::mutex m_echogramLock;
    CDatagramFile m_dg;
    std::mutex m_txtLock;
    CDatagramFile m_txt;
    std::mutex m_xtfLock;
    CDatagramFile m_xtf;
    std::uint32_t m_xtfPingCounter = 0;
    std::vector<std::size_t> m_xtfChannels;  // the listed channels' indices

    // Reported once a file.
    std::atomic<bool> m_diskFullRaised{false};
    std::atomic<bool> m_writeErrorNotified{false};

    std::mutex m_udpLock;  // keeps the configuration ahead of what follows
    std::atomic<bool> m_udpConfigDue{true};
    std::atomic<std::uint64_t> m_udpOversize{0};
    std::atomic<std::uint64_t> m_udpFailed{0};

    // Ping-data thread only: a frame per channel (made once, never moved),
    // the ping's frames as pieces, and the bodies of the UDP copy.
    std::deque<CSampleFrame> m_sampleFrames;
    std::vector<CDatagramFile::Pieces> m_pingPieces;
    std::vector<CFramedDatagram> m_pingBuffers;
    std::vector<CFramedDatagram> m_dgRecords;             // ping-data thread only
    std::vector<std::int16_t> m_productSamples;           // ping-data thread only
    std::vector<std::uint8_t> m_xtfRecord;                // under the xtf lock
    std::vector<std::vector<std::int16_t>> m_xtfSamples;  // under the xtf lock

    std::atomic<std::uint64_t> m_synced{0};
    // Last: it is stopped before anything it reaches goes.
    CFileSyncer m_syncer{kSyncInterval, [this](std::vector<CFileSyncer::SHandle>& due) { CollectSyncHandles(due); },
                         [this](int error, const std::string& path) { Synced(error, path); }};
};

}  // namespace zv::recording
