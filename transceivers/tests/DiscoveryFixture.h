// What the tests of the installation command share: a small transceiver
// list with a block for each simulated unit, and an installation of a model
// on fresh hives that reads it, rings a bell the test hears and reports
// fatal states by throwing.
#pragma once

#include "base/EchosounderError.h"
#include "base/RegistrySupport.h"
#include "platform/MessageBox.h"
#include "platform/TempHives.h"
#include "transceivers/TransceiverInstallation.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace discoverytest {

// CR LF lines as delivered. Blocks: the HXU of the hydrography mark (two
// channels) and of the fishery mark, two boards of the wide-band unit, the
// tow fish of the deck unit, and the ISA card of code word 001.
inline std::string TrListText()
{
    const char* lines[] = {
        "test list",
        "ENDCOMMENTDATA",
        "DRUMAPPING",
        "001: DRU T38 CARD  ",
        "ENDDRUMAPPING",
        "TRANSCEIVERDATA",
        "HXU-H 1",
        "BEAMTYPE=SPLIT",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=38",
        "TRANSDUCER=T38 38 kHz ",
        "SAMPLEINTERVALDEFAULT=0.1 0.2 0.3 0.4 0.5",
        "MINMEDMAXTXPOWER=100 500 1000",
        "ENDCHANNEL",
        "CHANNEL2",
        "KHZ=200",
        "TRANSDUCER=T200 200 kHz ",
        "ENDCHANNEL",
        "ENDHXUTRANSCEIVER",
        "HXU-F 1",
        "MARKETSEGMENT=FISHERY",
        "CHANNEL1",
        "KHZ=50",
        "TRANSDUCER=T50 50 kHz ",
        "ENDCHANNEL",
        "CHANNEL2",
        "KHZ=200",
        "TRANSDUCER=T200 200 kHz ",
        "ENDCHANNEL",
        "ENDHXUTRANSCEIVER",
        "NVU 38 -H",
        "BEAMTYPE=SPLIT",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=38",
        "TRANSDUCER=T38 38 kHz ",
        "FPADEC=4",
        "FPAFILTERLENGTH=63",
        "SLAVE=NO",
        "ENDCHANNEL",
        "ENDNVUTRANSCEIVER",
        "NVU 200 -H",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=200",
        "TRANSDUCER=T200 200 kHz ",
        "ENDCHANNEL",
        "ENDNVUTRANSCEIVER",
        "GEO 200.000 -H",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=200",
        "TRANSDUCER=T200 200 kHz ",
        "ENDCHANNEL",
        "ENDGEOTRANSCEIVER",
        "DRU T38 CARD",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=38",
        "DRUPOWERTRANSFILENAME=pt38.txt",
        "TRANSDUCER=T38 38 kHz ",
        "ENDCHANNEL",
        "CHANNEL2",
        "KHZ=120",
        "TRANSDUCER=T120 120 kHz ",
        "ENDCHANNEL",
        "ENDDRUTRANSCEIVER",
        "ENDTRANSCEIVERDATA",
        "TRANSDUCERDATA",
        "T38 38 kHz",
        "FREQUENCY=38000",
        "ENDTRANSDUCER",
        "ENDTRANSDUCERDATA",
    };
    std::string text;
    for (const char* l : lines)
        text += std::string(l) + "\r\n";
    return text;
}

// A variable of the environment set for the life of the object.
class CScopedVariable
{
public:
    CScopedVariable(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~CScopedVariable()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct FatalReported
{
    std::string text;
};

class CRootKeys
{
public:
    CRootKeys()
    {
        if (!m_reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"))
            throw std::runtime_error("root keys");
        SetFatalErrorHandler([](const std::string& text) { throw FatalReported{text}; });
    }
    ~CRootKeys()
    {
        SetFatalErrorHandler(nullptr);
        m_reg.CloseRootKeys();
    }
    CRootKeys(const CRootKeys&) = delete;
    CRootKeys& operator=(const CRootKeys&) = delete;

private:
    CRegistrySupport m_reg;
};

// An installation of a model with the test list, on hives of its own (a
// machine of the caller's, when given, holds them instead).
class CInstallationRig
{
public:
    explicit CInstallationRig(SounderModel model, bool ownHives = true)
    {
        if (ownHives)
            m_hives.emplace();
        m_roots = std::make_unique<CRootKeys>();
        std::string pattern = (std::filesystem::temp_directory_path() / "zvtrlist.XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("list folder");
        m_folder = pattern;
        std::ofstream(m_folder + "/TrList.ini", std::ios::binary) << TrListText();
        installation = std::make_unique<CTransceiverInstallation>();
        installation->SetModel(model);
        installation->SetTrListPath(m_folder + "/");
        installation->SetBeeper([this](unsigned hz, unsigned ms) { beeps.emplace_back(hz, ms); });
        installation->Initialize();
        ClearMessageBoxRecord();
    }
    ~CInstallationRig()
    {
        installation.reset();
        m_roots.reset();
        std::filesystem::remove_all(m_folder);
    }
    CInstallationRig(const CInstallationRig&) = delete;
    CInstallationRig& operator=(const CInstallationRig&) = delete;

    // Writes an installed channel as the installation dialog does.
    void Install(const CTrList& entry)
    {
        HKEY key = installation->OpenChannelsKey();
        installation->WriteChannelEntry(entry, key);
        if (key)
            RegCloseKey(key);
    }

    std::vector<std::unique_ptr<CTrList>>& List() { return installation->ChannelList(); }

    // The texts of the message boxes shown so far.
    static std::vector<std::string> Boxes()
    {
        std::vector<std::string> texts;
        for (const auto& box : MessageBoxRecord())
            texts.push_back(box.text);
        return texts;
    }

    std::unique_ptr<CTransceiverInstallation> installation;
    std::vector<std::pair<unsigned, unsigned>> beeps;

private:
    std::optional<CTempHives> m_hives;
    std::unique_ptr<CRootKeys> m_roots;
    std::string m_folder;
};

}  // namespace discoverytest
