// The wide-band unit of installed type 2: up to four channels of one unit
// over UDP. A receive thread stores the unit's sample datagrams in the
// sample ring and handles its other datagrams (information messages, the
// version answer, analog inputs, transmit started); a process thread brings
// the unit through its connect sequence (halt, hardware configuration,
// receive configuration with the filters sent by TFTP, synchronisation,
// operating mode, channel enables) and turns each ping in the ring into
// power samples for the channels, each channel given no more than it asked
// for, and at the ping's end the channel's traces of them.
//
// Threads: the trigger thread runs Start and Trigger; the receive and
// process threads as above; the ping-data thread runs ProcessPing. Flags
// shared between them are atomics; the texts are kept under one lock. Every
// wait ends when the object stops, so the destructor wakes, joins and only
// then lets the link go.
#pragma once

#include "platform/Socket.h"
#include "transceivers/DatagramLink.h"
#include "transceivers/NvuDiagnosticLink.h"
#include "transceivers/NvuFirmware.h"
#include "transceivers/NvuTelegrams.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/Tftp.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverRecords.h"
#include "transceivers/UnitTimings.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <complex>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CChannel;
struct TransceiverConstruction;

class CNVU : public CTransceiver
{
public:
    static constexpr int kMaxChannels = nvu::kMaxChannels;
    static constexpr int kSetupComplete = 255;
    static constexpr int kMaxFilterLength = 10000;
    static constexpr int kMaxPingSamples = 1000000;
    static constexpr int kPlaceholderSize = 8224;
    static constexpr double kDefaultImpedance = 68.0;  // ohms, when the installation gives none
    static constexpr std::size_t kMaxLog = 65536;
    // The values fixed-parameter mode runs with in place of the channels'.
    static constexpr double kPresetInterval = 10000.0;
    static constexpr double kPresetFrequency = 500000.0;
    static constexpr int kPresetGain = 25;
    static constexpr int kPresetMode = -1;

    // The unit's receive chain of a channel, from its installation record:
    // the four chain values and the front-end decimation words (the second
    // one serves FM at 38 and 15 kHz).
    struct ReceiveChain
    {
        double value[4] = {0.0, 0.0, 0.0, 0.0};
        int decimation = 1;
        int decimation2 = 1;
    };
    // The whole-number factor by which a channel's sample interval is
    // divided: 4, for CW at 38 or 15 kHz the third over the fourth chain
    // value times 4, and for FM times the third over the second.
    static int DecimationFactor(double frequency, bool fm, const ReceiveChain& chain);
    // The front-end decimation D of a channel.
    static int FrontEndDecimation(double frequency, bool fm, const ReceiveChain& chain);
    // The unit channels (0 to 3) that receive through a channel's transducer,
    // from the channel's "Slave" value: unit channel numbers from 1,
    // separated by blanks or commas. Anything else in it is passed over.
    static std::vector<int> ParseSlaves(const std::string& text);
    // The "OM" pairing mask of masters and the channels sharing theirs.
    static DWORD PairingMask(const std::array<int, nvu::kMaxChannels>& masterOf);
    // The processing a channel runs (types 1 to 5, 8) for its record's
    // filter type: Round (0) and Flat (1) are the CW filters' pulse
    // compression; any other value is a unit's own type, kept.
    static int ProcessingType(int recordFilterType);

    // A receive filter of one channel.
    struct FilterRecord
    {
        int length = 0;
        int second = 0;
        int divisor = 0;
        float inverse = 0.0f;  // 1/divisor, 0 for a divisor of 0
        float gain = 0.0f;
        std::vector<float> real, imaginary;
    };

    // Pulse compression and group picks over a channel's history, one
    // output at a time: the plain statement of what ConvertSamples gives.
    // sample(k) is the input sample k samples back from the newest (0); a
    // zero sample is missing. Correlation pairs the newest sample with the
    // first coefficient and gives |y|^2.
    // The last L present samples, looking back at most available samples.
    template <class Sample>
    static double CorrelateLast(const FilterRecord& f, const Sample& sample, int available)
    {
        std::complex<double> y;
        int taken = 0;
        for (int back = 0; taken < f.length && back < available; ++back) {
            const std::complex<float> x = sample(back);
            if (x == std::complex<float>())
                continue;
            y += std::complex<double>(x) * Coefficient(f, taken++);
        }
        return std::norm(y);
    }
    // The first present sample of each of L groups of groupSize samples; a
    // sample with a part beyond +-1000 is replaced by the previous good one
    // (zero when that one was bad too).
    template <class Sample>
    static double CorrelateGroups(const FilterRecord& f, const Sample& sample, int available, int groupSize)
    {
        const int size = std::max(1, groupSize);
        const int groups = std::min(f.length, available / size);
        // Oldest group first, so that a bad sample takes the one before it.
        std::complex<float> previous;
        bool previousGood = false;
        std::complex<double> y;
        for (int g = groups - 1; g >= 0; --g) {
            const std::complex<float> x = FirstPresent([&](int k) { return sample(g * size + k); }, size, size);
            const bool good = std::abs(x.real()) <= 1000.0f && std::abs(x.imag()) <= 1000.0f;
            const std::complex<float> use = good ? x : previousGood ? previous : std::complex<float>();
            previous = use;
            previousGood = good;
            y += std::complex<double>(use) * Coefficient(f, g);
        }
        return std::norm(y);
    }
    // The first (oldest) present sample of the last groupSize samples; 0 if none.
    template <class Sample>
    static std::complex<float> FirstPresent(const Sample& sample, int available, int groupSize)
    {
        for (int back = std::min(groupSize, available) - 1; back >= 0; --back) {
            const std::complex<float> x = sample(back);
            if (x != std::complex<float>())
                return x;
        }
        return {};
    }
    static std::complex<double> Coefficient(const FilterRecord& f, int k)
    {
        const auto i = static_cast<std::size_t>(k);
        return {static_cast<double>(f.real[i] * f.inverse), static_cast<double>(f.imaginary[i] * f.inverse)};
    }
    // What a channel's conversion carries from one pass to the next: the
    // input samples counted towards the next output and their summed power.
    struct ChainState
    {
        int counter = 0;
        double accumulated = 0.0;
    };
    // Converts count ring samples of a channel from readIndex by its filter
    // type (1 to 5, 8): types 5 and 8 give an output per input sample, the
    // others one per des1 inputs. The output power (over twoZ) is added to
    // power[0], power[1], ...; the number of outputs is returned. Many
    // outputs are correlated side by side, each summed in the order and
    // with the bits of the helpers above; no filter or group reaches
    // further back than the ring holds, and coefficients beyond those the
    // record holds are not read. It works in a space of its thread's that
    // the longest filter sizes once.
    static int ConvertSamples(const CSampleRingBuffer& ring, int channel, int readIndex, int count, int type, int des1,
                              int des2, int fpaDecimation, const FilterRecord& f, double twoZ, ChainState& state,
                              double* power);

    CNVU(const InstalledTransceiverInfo& info, const std::vector<TransceiverChannelRecord>& channels, HKEY key,
         ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link);
    ~CNVU() override;

    // The type table's maker: the road to the unit's port of its installed
    // address, from the PC adapter the installation names; when that one is
    // gone, the adapter search finds the adapter the unit answers on and the
    // installation keeps it. Null when the installation knows no such unit.
    static std::unique_ptr<CTransceiver> Create(const TransceiverConstruction& construction);

    // The adapter search: asks the unit through each adapter address in
    // turn ("VR") and listens waitMs for its version answer; the last
    // adapter through which the unit answered, or "" when none did.
    static std::string ReceiveReply(const std::vector<std::string>& adapters, const SocketAddress& unit,
                                    int waitMs = 1000);

    void Start(std::int64_t& duration) override;
    void PrepareTrigger(int& useSharedTrigger, int* triggerValue) override { useSharedTrigger = 0; }
    int Trigger(int kind) override;
    bool IsReady() override { return m_configured.load() && m_processing.load() && !PingInFlight(); }
    int GetBufferedPings() override;
    void SetPingRequest(int flag) override { m_dataPending = flag; }
    int SetPingMode(int mode) override
    {
        m_pingMode = mode;
        return mode;
    }
    bool HasPingData() override;
    void ProcessPing(std::uint64_t pingTime) override;
    int GetChannelDepths(double* depths, int trackerState) override;
    int RequestStatus() override;
    TransceiverType GetTypeCode() override { return TransceiverType::NVU; }
    int ConfigureInterface(int argument) override;
    int SendTestCommand(int mode) override;
    // The diagnostic window (user-interface thread): opened, or brought to
    // the front when it is open; ClearPendingFlag forgets one that has gone.
    void ShowDiagnostics(int parent) override;
    void ClearPendingFlag() override;
    // The report of stopped sample data (CNvuDiagnosticReport::Reason) in
    // the "Diag" folder of the data root.
    void WriteDiagnosticReport(int reason);
    // The diagnostic window's texts, the status lines refreshed.
    void ReadStatusTexts(NvuStatusTexts& texts);
    // Fixed-parameter mode: every channel pings with the preset values.
    void EnterTestMode() override;
    bool IsFixedParameterMode() const { return m_fixed.load(); }
    // The next count pings' samples are appended to the last-ping dump.
    void SaveLastPings(int count) { m_dumpCount = count; }

    // The unit's datagram of that result of the link's Receive, as the
    // receive thread takes it; false once the link has ended.
    bool TakeReceived(int result, const BYTE* data);

    // Reads a filter file ("%i%i%i%f" then up to 10,000 lines "%f%f"); a
    // length above 10,000 or above the lines read is refused.
    static bool ReadFilter(const std::string& path, FilterRecord& filter, std::string* why = nullptr);
    // The file a channel's pulse compression reads, beneath the folder, for
    // its record, its Des3, the first value of its receive chain and the
    // wanted interval (FM), and the preset frequency of fixed-parameter
    // mode (0: none).
    static std::string FilterFile(const std::string& folder, const StructChannelParameters& record, int des3,
                                  double chainFirst, double wanted, double fixedFrequency);
    // Power to the channels' 16-bit logarithmic value.
    static std::int16_t PowerToWord(double power);
    // The system impedance of a transducer of z ohms against the unit.
    static double SystemImpedance(double z);
    // The file sent to the unit for a channel: "rx<c>filter.txt" of the
    // channel's frequency folder beneath the unit software folder.
    static std::string UploadFile(const std::string& folder, double frequency, bool fm, int channel);
    // The six sample counts of the "RG" ping timing for the longest pulse
    // (s) and the wanted sample interval (s); none for an interval that is
    // not positive or counts beyond 32 bits.
    static std::optional<std::array<DWORD, 6>> PingTimingCounts(double longest, double wanted);
    // The "TSP#" transmit pulse of a channel with the record r (a sharing
    // channel's is its master's), sharers further channels on its
    // transducer and, when above 0, a preset frequency in place of the
    // record's; *pulse takes the pulse length rounded to whole periods.
    static nvu::TransmitPulse TransmitPulseOf(const StructChannelParameters& r, int sharers, double presetFrequency,
                                              double* pulse = nullptr);

    bool IsRunning() const { return m_running; }
    bool IsRefused() const { return m_refused.load(); }
    bool IsConfigured() const { return m_configured.load(); }
    int GetSetupMask() const { return m_mask.load(); }
    CChannel* GetUnitChannel(int index) const;
    std::uint64_t GetPingsCompleted() const { return m_pingsCompleted.load(); }
    std::uint64_t GetPlaceholders() const { return m_placeholders.load(); }
    std::uint64_t GetLinkLosses() const { return m_linkLosses.load(); }
    std::uint64_t GetUploadFailures() const { return m_uploadFailures.load(); }
    std::uint64_t GetFilterReadFailures() const { return m_filterReadFailures.load(); }
    // Datagrams too short, too long or of no code the unit sends.
    std::uint64_t GetDroppedDatagrams() const { return m_dropped.load(); }
    std::uint32_t GetSerialNumber() const { return m_serial.load(); }
    std::string GetVersionText() const;
    std::string GetInformationLog() const;
    std::string GetDecimationLine(int channel) const;
    bool IsReprogramming() const { return m_reprogramming.load(); }
    bool IsUpgrading() const { return m_upgrading.load(); }
    std::uint64_t GetUpgradeFailures() const { return m_upgradeFailures.load(); }
    std::uint64_t GetReportsWritten() const { return m_reportsWritten.load(); }
    // The folder the reports and the read-back file go to.
    static std::string DataFolder();
    // The unit channel whose transducer a channel uses (its own index when
    // it has its own; -1 for a channel that takes no part).
    int GetMaster(int channel) const;

private:
    struct Block
    {
        bool valid = false;
        bool slave = false;  // receives through another channel's transducer
        int master = -1;     // that channel; a present channel's own index
        int slaves = 0;      // channels receiving through this one's transducer
        ReceiveChain chain;
        std::unique_ptr<StructChannelParameters> record;
        std::unique_ptr<CChannel> channel;
        // Written by the trigger thread under the records' lock; read there
        // freely, elsewhere through PingRecordOf.
        StructChannelParameters pingRecord;
        double impedance = 0.0;  // the system impedance Z
        // Set at every ping by the trigger thread, read by the others.
        std::atomic<int> filterType{5};
        int fpaDecimation = 1;
        int des1 = 1, des2 = 1, des3 = 1, total = 0;
        FilterRecord filter;
        // Per ping (process thread): Des1 and Des2 as the ring's header
        // words had them when the ping's processing began.
        int pingDes1 = 1, pingDes2 = 1;
        ChainState chainState;
        std::vector<std::int16_t> words;
        std::vector<double> power;  // this pass's output power (a master's)
        int produced = 0;           // output samples of this pass
        int blockNumber = 0;
        // The ping's power samples handed to the channel so far, and the
        // channel's traces of them: the power in dB, the angle (a channel
        // receives through one sector of its transducer and measures none:
        // zero) and each sample's time in microseconds of the PC clock.
        int handed = 0;
        std::vector<float> tracePower, traceAngle;
        std::vector<std::uint32_t> traceTime;
    };

    bool Send(const nvu::Bytes& d);
    bool Pause(int ms);
    bool WaitForUnit();
    void CreateChannels(HKEY key, const std::vector<TransceiverChannelRecord>& channels);
    void ComputeDecimation();
    bool Connect();
    bool SendReceiveConfiguration();
    bool Upload(int channel);
    void LoadFilters();
    void SendPingTiming(double wanted);
    void ResolveSlaves();
    // A sharing channel's processing and ping record, its master's.
    void FollowMasters();
    // A block's ping record as the trigger thread last copied it, for the
    // other threads: taken under the records' lock that the copy holds.
    StructChannelParameters PingRecordOf(const Block& b) const;
    void ProcessChannel(int channel, int readIndex, int count);
    double Correlate(const Block& b, int channel, int at, int groupSize) const;
    void DumpLastPing(const CSampleRingBuffer::PingRecord& rec);
    void ProcessThread();
    void ProcessSamples();
    // A whole ping's traces to each present channel, with the ping's start.
    void HandTraces(std::uint64_t start);
    void ReceiveThread();
    void HandleDatagram(const BYTE* data, std::size_t size);
    void HandleSamples(const BYTE* data, std::size_t size);
    void HandleInformation(const BYTE* data, std::size_t size);
    void HandleVersionAnswer(const BYTE* data, std::size_t size);
    void HandleAnalogInputs(const BYTE* data, std::size_t size);
    void HandleTransmitStarted();
    void CountSilence(bool timeout = true);
    // Firmware upgrade: the check of a version answer (receive thread), the
    // operator's question and the programming (upgrade worker).
    void UpgradeFirmware(const std::string& versionText);
    void RunUpgrade(const CNvuFirmware::Newest& file, const std::string& unitFirmware);
    bool ProgramFirmware(const CNvuFirmware::Newest& file, std::string& why);
    void ReportUpgradeFailure(const std::string& why);
    void RefreshStatusTexts();
    std::string UnitName() const;
    void AppendLog(const std::string& text);
    bool PingInFlight() const { return m_pingsStarted.load() != m_pingsInRing.load(); }
    void AbandonPingInFlight() { m_pingsInRing.store(m_pingsStarted.load()); }

    InstalledTransceiverInfo m_info;
    ITransceiverServices& m_services;
    const UnitTimings m_timings;
    std::unique_ptr<IDatagramLink> m_link;
    std::unique_ptr<CSampleRingBuffer> m_ring;
    std::array<Block, kMaxChannels> m_blocks;
    // The samples each channel asked for, by ping record: a channel is
    // handed no more of its ping than that, however many the unit sent for
    // the channel that asked for most.
    std::array<std::array<std::atomic<int>, kMaxChannels>, CSampleRingBuffer::kSlots> m_channelSamples{};
    // The filter uploads' client (process thread); the destructor cancels
    // a transfer that waits on a silent unit.
    CTftp m_tftp{CTftp::Timing{std::chrono::milliseconds(m_timings.tftpSecondMs)}};

    std::atomic<bool> m_stop{false};
    std::thread m_receiveThread;
    std::thread m_processThread;
    bool m_running = false;
    std::mutex m_waitLock;
    std::condition_variable m_waitCv;

    std::atomic<bool> m_configured{false};
    std::atomic<bool> m_configuredBefore{false};
    std::atomic<bool> m_processing{false};
    std::atomic<bool> m_answered{false};
    std::atomic<bool> m_refused{false};
    std::atomic<bool> m_waiting{false};
    std::atomic<bool> m_reprogramming{false};
    std::atomic<bool> m_hardwareChanged{true};
    std::atomic<bool> m_filtersDue{true};
    std::atomic<int> m_mask{0};
    std::atomic<int> m_pingMode{0};
    std::atomic<int> m_dataPending{1};
    std::atomic<bool> m_eventInput{false};
    bool m_eventSeen = false;
    std::atomic<std::uint32_t> m_serial{0};
    std::atomic<DWORD> m_lastRequested{100};
    std::atomic<bool> m_lastExternal{false};
    std::atomic<double> m_wantedInterval{1.0};
    std::atomic<bool> m_fixed{false};
    std::atomic<int> m_dumpCount{0};
    double m_presets[5] = {0.0, 0.0, 0.0, 0.0, 0.0};

    mutable std::mutex m_textLock;
    std::string m_informationLog;
    std::string m_versionText;
    std::array<std::string, kMaxChannels> m_decimationLines;
    std::string m_waitText;

    // Receive thread only.
    int m_silence = 0;
    std::uint64_t m_lastSampleTick = 0;

    std::uint64_t m_lastStartTime = 0;
    std::atomic<std::uint64_t> m_pingStartTime{0};
    std::atomic<std::uint64_t> m_pingsStarted{0};
    std::atomic<std::uint64_t> m_pingsInRing{0};
    std::atomic<std::uint64_t> m_pingsCompleted{0};
    std::atomic<std::uint64_t> m_placeholders{0};
    std::atomic<std::uint64_t> m_linkLosses{0};
    std::atomic<std::uint64_t> m_uploadFailures{0};
    std::atomic<bool> m_uploadReported{false};
    std::atomic<std::uint64_t> m_filterReadFailures{0};
    std::set<std::string> m_filtersReported;  // process thread
    std::atomic<std::uint64_t> m_dropped{0};

    // Firmware upgrade: a status request's version answer is checked; the
    // worker asks the operator and programs while the unit is held.
    std::atomic<bool> m_configureRequest{false};
    std::atomic<bool> m_upgrading{false};
    std::thread m_upgradeThread;
    std::mutex m_connectLock;  // one connect sequence or one programming at a time
    std::atomic<std::uint64_t> m_upgradeFailures{0};
    std::atomic<std::uint64_t> m_reportsWritten{0};
    // The diagnostic window (user-interface thread) and its hold on us.
    std::shared_ptr<CNvuDiagnosticLink> m_diagnosticLink;
    std::unique_ptr<INvuDiagnosticWindow> m_diagnosticWindow;
    std::array<std::string, 10> m_pingLines;
    std::string m_bufferLine, m_headerLine;
};
