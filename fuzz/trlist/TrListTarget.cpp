// The transceiver list file: the first line is the description a unit or
// card gives, the rest the file. Candidates are built for it as discovery
// does, each gets its first transducer with that transducer's constants as
// the installation dialog gives them, and they are installed and read back
// as the program's channel records.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "base/RegistrySupport.h"
#include "transceivers/TransceiverInstallation.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.ForgetMessageBoxes();
    environment.FreshHivesInMemory();
    CFuzzInput in(data, size);
    const std::string description(in.Until('\n'));
    CRegistrySupport reg;
    reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\");
    CTransceiverInstallation installation;
    installation.Initialize();
    CTrListFile& file = installation.TrListFile();
    file.SetText(in.Rest());

    std::string code = description.substr(0, 3);
    file.ReadMapping(code);
    std::vector<std::unique_ptr<CTrList>> entries;
    file.BuildFromTrList(description, 0x7F000002u, "unit information", "127.0.0.1", {0x300, 5, 10}, entries);
    for (auto& entry : entries) {
        std::vector<std::string> transducers;
        file.ReadTransceiverData(CTrListFile::HxuBlockKey(description), entry->channelNo - 1, transducers, entry->type);
        if (entry->transducerChoices.size() < 2)
            continue;
        entry->transducerName = entry->transducerChoices[1];
        std::string saCorrection;
        file.ReadTransducerData(entry->transducerName, *entry, &saCorrection);
        entry->FormatDescription(nullptr, entry->type);
    }
    installation.CommitChannels(entries, 0, "127.0.0.1");
    for (int t = 0; t < installation.GetTransceiverCount(); ++t) {
        installation.GetTransceiverInfo(t);
        for (int channel = 0; channel < CTransceiverInstallation::kMaxChannels; ++channel)
            installation.GetTransceiverChannel(t, channel);
    }
    reg.CloseRootKeys();
    return 0;
}
