// The transceiver of replay mode: plays recorded raw files through the
// engine where a live transceiver would deliver pings. The trigger thread
// reads the next ping (and every datagram before it) from the mapped file
// and hands its samples to the channels; the ping-data thread then closes
// the ping in every channel. While it does, the trigger thread already reads
// the ping after it into buffers of the replay's own, which reach the
// channels and the host only when that ping's trigger comes: the sample
// buffers then change places with the channels' own.
#pragma once

#include "base/ReplayFileList.h"
#include "platform/ThreadCall.h"
#include "recording/ReplayHost.h"
#include "recording/ReplayReader.h"
#include "transceivers/Transceiver.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

class CChannel;

namespace zv::recording {

// String ids of the texts replay posts to the status bar.
constexpr unsigned IDS_REPLAY_INVALID_FILE = 45059;      // "Invalid Replay File"
constexpr unsigned IDS_REPLAY_END_OF_FILE = 45060;       // "Replay end of  file"
constexpr unsigned IDS_REPLAY_TOP_OF_FILE = 45077;       // "Replay top of file"
constexpr unsigned IDS_REPLAY_UNKNOWN_DATAGRAM = 45088;  // "Unknown Datagram"
// The ping time's status pane; replay also writes the free text pane and
// the ping counter (app::ids::ES_STATUS_TEXT_PANE and PING_COUNTER).
constexpr unsigned IDS_PANE_PING_TIME = 45069;

class CReplay : public CTransceiver
{
public:
    // Without a list: an object that does nothing.
    CReplay();
    // channelLinks: what the replayed channels need of the program (not
    // owned); null: each runs on its own.
    CReplay(const CReplayFileList& files, IReplayHost* host, IChannelLinks* channelLinks = nullptr);
    ~CReplay() override;

    // False when the first file could not be opened: no channels then.
    bool IsOpen() const { return !m_channels.empty(); }
    // Why the last file did not open ("<file>: <reason>"); empty when it did.
    std::string OpenError() const;
    bool IsStopped() const { return m_stopped.load(); }

    int Trigger(int kind) override;
    void ProcessPing(std::uint64_t pingTime) override;
    int GetChannelDepths(double* depths, int trackerState) override;
    TransceiverType GetTypeCode() override { return TransceiverType::HXU; }
    bool IsReady() override { return true; }
    // The settings dialog of a replayed channel: its recorded name, pulse
    // duration, power, draught and offsets and the ping's tide, with the
    // replayed file as the remark to edit. The remark the dialog hands back (also on Cancel,
    // which hands back what it showed) is the channel's; nothing else of
    // the dialog is taken. 1 also for an unknown channel, 0 when the dialog
    // could not be shown, -1 when the replay went while it ran.
    int RunChannelDialog(CChannel* channel) override;

    std::string GetRecordedText1() override;
    std::string GetRecordedText2() override;
    std::string GetRecordedText3() override;
    int GetRecordedInteger1() override;
    int GetRecordedInteger2() override;
    int GetRecordedInteger3() override;
    double GetRecordedDouble1() override;
    double GetRecordedDouble2() override;
    double GetRecordedDouble3() override;
    double GetRecordedDouble4() override;
    int GetRecordedInteger4() override;
    int GetRecordedInteger5() override;
    int GetRecordedInteger6() override;
    int GetRecordedInteger7() override;
    int GetRecordedInteger8() override;
    int GetRecordedInteger9() override;
    int GetRecordedInteger10() override;

    const SReplayInstallation& Installation() const { return m_installation; }
    // The count of the ping handed on last (the reader may be one ahead).
    int PingCounter() const { return m_pingCounter.load(); }
    FileTime CurrentPingTime() const { return m_pingTime.load(); }
    const CReplayReader& Reader() const { return m_reader; }
    // Heave of the current ping corrected for the channel's offsets.
    double CorrectedHeave(std::size_t channel) const;

protected:
    ITransceiverDialogs* Dialogs() const override;

private:
    bool OpenAndBuild(const std::string& fileName);
    void RunInstallationDialog();
    void ClearStatusPanes();

    // A datagram of a ping read ahead, its samples copied out of the file.
    // Power and angle words are laid out as the channel stages them (the
    // leading empty samples, then the datagram's), in buffers of a channel's
    // size, so that the hand-over exchanges them with the channel's instead
    // of copying them a second time.
    struct SAheadDatagram
    {
        enum class EKind { PingStart, Sample, Sentence, Annotation, Profile, Unknown };
        EKind kind = EKind::Unknown;
        SSampleHeader header;
        std::uint32_t count = 0;  // the datagram's sample count
        bool power = false, angle = false, traces = false;
        int staged = 0;  // power and angle words the channel takes
        std::vector<std::int16_t> powerWords;
        std::vector<std::uint16_t> angleWords;
        std::vector<float> trace1, trace2;
        std::string text;
        FileTime time = 0;
        std::uint32_t type = 0;  // the profile's kind, or the unknown datagram's type
    };
    // The ping read ahead: its datagrams in file order (the slots and their
    // buffers are kept from ping to ping) and what the reader said of it.
    struct SAheadPing
    {
        bool ready = false;
        std::vector<SAheadDatagram> datagrams;
        std::size_t count = 0;
        CReplayReader::SPingResult result;
        bool atEnd = false;
        int counter = 0;
    };
    class CAheadSink;

    // Reads the next ping into m_ahead; nothing of it reaches the channels
    // or the host yet.
    void ReadAhead();
    // Hands the ping read ahead to its handlers in file order, then tells
    // the sounder it is ready.
    void HandOver();

    void OnPingStart(const SSampleHeader& first);
    void OnSample(SAheadDatagram& sample);
    void OnSentence(const std::string& text, FileTime time);
    void OnAnnotation(const std::string& text, FileTime time);
    void OnProfile(std::uint32_t kind, const std::string& text, FileTime time);
    void OnUnknownDatagram(std::uint32_t type);

    IReplayHost m_noHost;
    IReplayHost* m_host = &m_noHost;
    // The installation dialog runs on the thread that made the replay; a
    // later file asks for it from the trigger thread.
    CThreadCall m_dialogs;
    std::unique_ptr<CReplayFileList> m_list;
    CReplayReader m_reader;
    std::vector<std::unique_ptr<StructChannelParameters>> m_records;
    std::vector<std::unique_ptr<CChannel>> m_channelObjects;

    std::atomic<bool> m_stopped{false};
    bool m_nextFile = false;
    int m_reprocess = 0;
    int m_applyHeave = 1;
    bool m_installationInitialised = false;
    int m_applyAll = 0;
    // Set on the trigger thread, told on the ping-data thread.
    std::atomic<bool> m_channelStatusChanged{true};
    int m_lastPosition = 0;
    std::set<std::string> m_toldChannelsCut;  // files whose extra channels were announced

    // Written on the trigger thread, read on the ping-data thread after the
    // ping-ready semaphore; the lock makes that hand-over explicit.
    mutable std::mutex m_pingLock;
    double m_heave = 0.0, m_roll1 = 0.0, m_pitch1 = 0.0, m_roll2 = 0.0, m_pitch2 = 0.0;
    std::atomic<FileTime> m_pingTime{0};
    // The current ping's recorded tide (m), which the application applies
    // and the channel dialog shows.
    std::atomic<double> m_tide{0.0};

    // The file being replayed and its recorded configuration texts: set on
    // the trigger thread when a file opens, read by the recorder on the
    // user-interface thread when it takes over the names.
    mutable std::mutex m_namesLock;
    std::string m_currentFile;
    std::string m_openError;
    std::string m_text1, m_text2;
    double m_motionX = 0.0, m_motionY = 0.0, m_motionZ = 0.0;
    SReplayInstallation m_installation;

    // Trigger thread only.
    SAheadPing m_ahead;
    // The reader's count after the ping handed on last, which the ping-data
    // thread shows.
    std::atomic<int> m_pingCounter{0};
};

}  // namespace zv::recording
