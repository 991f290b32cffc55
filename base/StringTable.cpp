#include "base/StringTable.h"

#include <charconv>
#include <fstream>
#include <utility>

namespace app {

namespace {

const std::map<unsigned, std::string>& EnglishStrings()
{
    static const std::map<unsigned, std::string> table{
        {45059, "Invalid Replay File"},
        {45060, "Replay end of  file"},
        {45062, " "},
        {45063, "Ping counter :  "},
        {45064, " "},
        {45065, "E0000"},
        {45066, "Bottom lost"},
        {45067, "Bottom minimum Depth"},
        {45068, "Bottom maximum Depth"},
        {45070, "Single"},
        {45071, "Split"},
        {45072, "Lost some samples from HXU transceiver "},
        {45074, "Lost contact with HXU transceiver"},
        {45075,
         "An installed HXU transceiver reported to be of an unexpected\ntype.  Please reinstall your HXU transceiver(s)."},
        {45077, "Replay top of file"},
        {45083, "Select Directory"},
        {45084, "Celsius"},
        {45085, "L0000"},
        {45088, "Unknown Datagram"},
        {45100, "QY210"},
        {45101, "ZELVAR RM30"},
        {45102, "ZELVAR TQ30"},
        {45103, "ZELVAR TOTAL"},
        {45106, "Transmitter:"},
        {45107, "Receiver:"},
        {45108, "Channel:"},
        {45109, "Background Noise:"},
        {45110, "Receiver Amplitude:"},
        {45111, "Alongship Angle:"},
        {45112, "Athwartship Angle:"},
        {45113, "The new software is now downloaded to the HXU transceiver."},
        {45114, "An error occured while downloading new software to the HXU transceiver."},
        {45115, "Invalid Survey Name"},
        {45119, "Error from HXU Transceiver"},
        {45120, "Data not available"},
        {45123, "Program version"},
        {45124, "About"},
        {45136, "Biomass"},
        {45139, "sA"},
        {45141, "I"},
        {45142, "File not found"},
        {45143, "QY310"},
        {45144, "Echogram Parameters - Replay"},
        {45145, "Echogram Parameters - Normal"},
        {45153, "Create Folder"},
        {45154, "New Folder"},
        {45155, "m/s"},
        {45156, "Hz"},
        {45160, "Disk full"},
        {45161, "File record is full"},
        {45162, "File Max. Size"},
        {45163, "Raw data output: a sample datagram is larger than one UDP datagram and is not sent"},
        {45164, "Settings could not be saved (see the event log)"},
        {45165, "Object information sent on network "},
        {45166, "Firmware upgrade of the NVU transceiver failed"},
        {45167, "File write error"},
        {45168, "Filter upload to the NVU transceiver failed"},
        {45169, "Undocumented HXU transceiver found on network"},
        {45190, "BOOTP server: port 67 cannot be opened, NVU transceivers cannot boot (see the event log)"},
        {45191,
         "TFTP server: port 69 cannot be opened, NVU transceivers cannot load their boot file (see the event log)"},
        {57668, "H0000"},
        {57679, "No temperature sensor available"},
        {57680, "Ping %d"},
        {57683, "The user wants to store part of a raw file"},
        {57685, "No valid positions"},
        {57690, "No valid positions, but another NMEA tgm is present\n Please check the Navigation dialog"},
        {57691, "QY NVU"},
        {57693, "Real-time sound velocity missing"},
        {57696, "Wait for response from"},
        {57697, "Lost samples from NVU"},
        {57698, "Lost contact with the network transceiver"},
        {57699, "Cannot meet ping interval requirement"},
        {57700, "Wrong Quality Indicator in the GGA tgm."},
        {57701, "The GGA tgm has to few satellites"},
        {57702, "The GGA tgm horizontal dilution is too large"},
        {59142, "Illegal setup!"},
    };
    return table;
}

std::string Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool ParseId(std::string_view text, unsigned& id)
{
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, id);
    return ec == std::errc() && ptr == end;
}

}  // namespace

CStringTable::CStringTable() = default;

bool CStringTable::LoadFile(const std::string& path, unsigned languageId)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::map<unsigned, std::string> strings;
    std::map<unsigned, std::string> menus;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        std::string_view key(line.data(), eq);
        const bool menu = key.substr(0, 5) == "menu.";
        if (menu)
            key.remove_prefix(5);
        unsigned id = 0;
        if (!ParseId(key, id))
            continue;  // a line we do not understand is skipped, not fatal
        (menu ? menus : strings)[id] = Unescape(std::string_view(line).substr(eq + 1));
    }
    if (in.bad())
        return false;
    m_strings = std::move(strings);
    m_menus = std::move(menus);
    m_language = languageId;
    return true;
}

void CStringTable::UseEnglish()
{
    m_strings.clear();
    m_menus.clear();
    m_language = kEnglish;
}

std::optional<std::string> CStringTable::Find(unsigned id) const
{
    if (auto it = m_strings.find(id); it != m_strings.end())
        return it->second;
    const auto& english = EnglishStrings();
    if (auto it = english.find(id); it != english.end())
        return it->second;
    return std::nullopt;
}

std::string CStringTable::Load(unsigned id) const
{
    return Find(id).value_or(std::string());
}

std::optional<std::string> CStringTable::MenuText(unsigned commandId) const
{
    if (auto it = m_menus.find(commandId); it != m_menus.end())
        return it->second;
    return std::nullopt;
}

CStringTable& Strings()
{
    static CStringTable table;
    return table;
}

}  // namespace app
