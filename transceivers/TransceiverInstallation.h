// The program's one record of which transceivers and channels are
// installed: one registry key per channel, grouped into at most eight
// transceivers of at most eight channels, eight channels in all handed out.
//
// Queries re-read the registry and hand out copies, so that a record a
// caller holds is never rewritten by the next query.
#pragma once

#include "base/RegistrySupport.h"
#include "transceivers/TrList.h"
#include "transceivers/TrListFile.h"
#include "transceivers/TransceiverRecords.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CUnitDiscovery;

class CTransceiverInstallation
{
public:
    static constexpr int kMaxTransceivers = 8;
    static constexpr int kMaxChannels = 8;
    static constexpr WORD kUnitPort = 12345;
    static constexpr WORD kDiscoveryPort = 12346;

    CTransceiverInstallation();
    ~CTransceiverInstallation();
    CTransceiverInstallation(const CTransceiverInstallation&) = delete;
    CTransceiverInstallation& operator=(const CTransceiverInstallation&) = delete;

    // What the application tells the installation: the current user profile
    // (McuModus), the one-channel restriction and the model code.
    void SetProfileSource(std::function<std::string()> profile) { m_profile = std::move(profile); }
    void SetChannelRestriction(bool on, const std::string& description)
    {
        m_restrict = on;
        m_restrictName = description;
    }
    void SetModel(SounderModel model) { m_model = model; }
    SounderModel GetModel() const { return m_model; }
    // The folder of "TrList.ini" (and of the BOOTP server's table).
    void SetTrListPath(const std::string& path) { m_trListPath = path; }
    const std::string& GetTrListPath() const { return m_trListPath; }
    // Whether an echo sounder exists: the installation is changed only
    // while none does.
    void SetSounderExists(std::function<bool()> exists) { m_sounderExists = std::move(exists); }
    // The installation dialog, which the user interface provides; it works
    // on the installation's channel list while it is open.
    using InstallationDialog = std::function<void(CTransceiverInstallation&)>;
    void SetInstallationDialog(InstallationDialog dialog) { m_dialog = std::move(dialog); }
    // Gives a wide-band unit, known by its hardware address
    // ("aa:bb:cc:dd:ee:ff"), its boot address ("a.b.c.d"): the BOOTP
    // server's table, which only QYNVU has. False when it is not kept.
    using BootAddressSetter = std::function<bool(const std::string& hardwareAddress, const std::string& ip)>;
    void SetBootAddressSetter(BootAddressSetter setter) { m_bootAddressSetter = std::move(setter); }
    const BootAddressSetter& GetBootAddressSetter() const { return m_bootAddressSetter; }
    // The PC's bell (Hz, ms), which discovery and the address changes ring
    // when a unit reports a fault or an answer is missing. Unset: silence.
    using Beeper = std::function<void(unsigned hz, unsigned ms)>;
    void SetBeeper(Beeper beeper) { m_beeper = std::move(beeper); }
    void Beep(unsigned hz, unsigned ms) const
    {
        if (m_beeper)
            m_beeper(hz, ms);
    }
    // The search for units on the network (its broadcast address and waits
    // can be set).
    CUnitDiscovery& Discovery() { return *m_discovery; }

    void Initialize();
    int GetTransceiverCount();
    std::optional<InstalledTransceiverInfo> GetTransceiverInfo(int transceiver);
    std::optional<TransceiverChannelRecord> GetTransceiverChannel(int transceiver, int channel);
    void SetLocalPcIp(int transceiver, const std::string& address);
    std::string CheckNetworkCards();

    // The installation command, mode 0 inspect and 1 modify: candidates
    // from the registry, the ISA card, "TrList.ini" and the network, shown
    // in the installation dialog, which commits what the operator chose.
    void RunInstallation(int mode);

    // What the installation dialog works on while it is open.
    std::vector<std::unique_ptr<CTrList>>& ChannelList() { return m_channelList; }
    int GetMode() const { return m_mode; }
    // Mode 1 and no echo sounder.
    bool ChangesAllowed() const { return m_mode == 1 && !(m_sounderExists && m_sounderExists()); }
    // The ISA card answered and fits the model's market segment.
    bool IsCardPresent() const { return m_cardPresent; }
    // The PC's own address with its host part masked ("192.168.1.xxx").
    const std::string& GetMaskedPcAddress() const { return m_maskedPcAddress; }
    // An address (host order) with its host part masked by its class:
    // "10.xxx.xxx.xxx", "172.16.xxx.xxx", "192.168.1.xxx".
    static std::string MaskedAddressText(std::uint32_t address);
    void SetDeckUnit(DWORD enable, const std::string& ip)
    {
        m_enableDeckUnit = enable;
        m_deckUnitIp = ip;
    }
    // The typed address of the entry's unit becomes its own: an HXU is told
    // so by broadcast; an NVU, QY42 or GEO unit gets it from the BOOTP
    // server after a reset. Each asks the operator first and reports how it
    // went in a message box.
    void ChangeUnitAddress(CTrList& entry, const std::string& typedAddress);

    // Writes the channels chosen in the installation dialog: every entry
    // with a transducer replaces the installed channels. Refused (nothing
    // written) with more than eight chosen channels or when the operator
    // does not confirm.
    enum CommitResult { kCommitted, kTooManyChannels, kCancelled };
    CommitResult CommitChannels(std::vector<std::unique_ptr<CTrList>>& entries, DWORD enableDeckUnit,
                                const std::string& deckUnitIp);
    void SetChannelListsChanged(std::function<void()> hook) { m_channelListsChanged = std::move(hook); }

    std::unique_ptr<CTrList> ReadChannelEntry(const std::string& subKey, HKEY parent);
    void WriteChannelEntry(const CTrList& entry, HKEY parent);
    // Key "Installed Transceiver Channels" of the current profile (created
    // when missing); the caller closes it.
    HKEY OpenChannelsKey();

    bool LoadTrListText(const std::string& trListPath) { return m_trList.LoadTrListText(trListPath); }
    // Loads "TrList.ini" from the transceiver list path unless it is
    // loaded; a file that cannot be read is reported in a message box.
    bool EnsureTrListLoaded();
    // Writes an installed entry's registry record again, under its
    // description; the record under previousKey goes when that differs.
    void RewriteChannelEntry(const CTrList& entry, const std::string& previousKey);
    CTrListFile& TrListFile() { return m_trList; }

    const std::string& GetDeckUnitIp() const { return m_deckUnitIp; }
    DWORD GetEnableDeckUnit() const { return m_enableDeckUnit; }

    // Splits a list of numbers ("100 500 1000"): each value is the number at
    // the start of what remains; once no blank is left the last value repeats.
    static void ParseNumberList(const std::string& text, double* values, int count);

private:
    struct Row
    {
        std::string id;
        std::array<CTrList*, kMaxChannels> slots{};
        int UsedSlots() const;
    };
    void Refresh();
    // The registry's channel entries, each marked installed, into the list.
    void ReadChannelList(std::vector<std::unique_ptr<CTrList>>& list);
    // Probes the ISA card; the mapped transceiver text of its code word
    // when it fits the model's market segment, else empty.
    std::string ProbeCard();
    // The card's code word as "TrList.ini" names it ("%0.3d").
    std::string CardCodeText() const;
    std::string Profile() const { return m_profile ? m_profile() : std::string(); }

    CRegistrySupport m_reg;
    HKEY m_installationKey = nullptr;
    // The installation command's channels and candidates, which its dialog
    // works on, and the registry's channels behind the table. Apart, so that
    // a query while the dialog is open (the sounder it inspects asks
    // whenever it starts) never deletes an entry the dialog shows.
    std::vector<std::unique_ptr<CTrList>> m_channelList;
    std::vector<std::unique_ptr<CTrList>> m_tableEntries;
    std::array<Row, kMaxTransceivers> m_rows{};
    int m_transceiverCount = 0;
    CTrListFile m_trList;
    std::function<std::string()> m_profile;
    bool m_restrict = false;
    std::string m_restrictName;
    SounderModel m_model = SounderModel::QY310;
    DWORD m_enableDeckUnit = 0;
    std::string m_deckUnitIp = "192.168.0.114";
    bool m_initialized = false;
    std::function<void()> m_channelListsChanged;
    std::string m_trListPath;
    std::function<bool()> m_sounderExists;
    InstallationDialog m_dialog;
    BootAddressSetter m_bootAddressSetter;
    int m_mode = 0;
    bool m_cardPresent = false;
    WORD m_cardCode = 0;
    DWORD m_cardIoAddress = 0;
    DWORD m_cardDmaChannel = 0;
    DWORD m_cardIrq = 0;
    std::string m_maskedPcAddress;
    Beeper m_beeper;
    std::unique_ptr<CUnitDiscovery> m_discovery;
};
