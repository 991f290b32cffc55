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

    void Initialize();
    int GetTransceiverCount();
    std::optional<InstalledTransceiverInfo> GetTransceiverInfo(int transceiver);
    std::optional<TransceiverChannelRecord> GetTransceiverChannel(int transceiver, int channel);
    void SetLocalPcIp(int transceiver, const std::string& address);
    std::string CheckNetworkCards();

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
    std::string Profile() const { return m_profile ? m_profile() : std::string(); }

    CRegistrySupport m_reg;
    HKEY m_installationKey = nullptr;
    std::vector<std::unique_ptr<CTrList>> m_channelList;
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
};
