// What units answer a unit search: the first byte chooses the road (a
// datagram to the search, or the deck unit's text over TCP), the second the
// model, then the sender's address, and the rest is the answer. The answer
// goes through the installation's own intake against a small transceiver
// list, and every candidate it gives is described and read back as the
// installation dialog does. Bad input gives no candidate, never a fatal
// report.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "base/RegistrySupport.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/UnitDiscovery.h"
#include "transceivers/tests/DiscoveryFixture.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.ForgetMessageBoxes();
    environment.FreshHivesInMemory();
    CFuzzInput in(data, size);
    const bool deckUnit = in.Byte() % 2 == 1;
    const auto model = static_cast<SounderModel>(in.Byte() % 6);
    const std::uint32_t sender = in.Dword();
    const std::string_view answer = in.Rest();

    CRegistrySupport reg;
    reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\");
    {
        CTransceiverInstallation installation;
        installation.SetModel(model);
        installation.Initialize();
        installation.TrListFile().SetText(discoverytest::TrListText());
        CUnitDiscovery& discovery = installation.Discovery();
        if (deckUnit)
            discovery.BuildGeoEntries(std::string(answer), sender, "127.0.0.4");
        else
            discovery.TakeAnswer(reinterpret_cast<const BYTE*>(answer.data()), answer.size(), sender, "127.0.0.1");
        for (const auto& entry : installation.ChannelList()) {
            std::vector<std::string> transducers;
            const std::string key = entry->type == TransceiverType::HXU ? CTrListFile::HxuBlockKey(entry->transceiverId)
                                                                        : entry->transducerSetting;
            installation.TrListFile().ReadTransceiverData(key, entry->channelNo - 1, transducers, entry->type);
            entry->FormatDescription(nullptr, entry->type);
            CUnitDiscovery::ParseEthernetAddress(entry->ethernetAddress);
        }
    }
    reg.CloseRootKeys();
    return 0;
}
