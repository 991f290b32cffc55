#include "app/DesktopAssociation.h"

#include "platform/ChildProcess.h"
#include "platform/Paths.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace app {

namespace {

// A recorded file begins with the length of its configuration datagram and
// the type "CON0": that tells it from other kinds of ".raw" files.
constexpr const char* kMimeInfo = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                                  "  <mime-type type=\"application/x-zelvar-echosounder-raw\">\n"
                                  "    <comment>Echosounder Replay</comment>\n"
                                  "    <magic priority=\"60\">\n"
                                  "      <match type=\"string\" value=\"CON0\" offset=\"4\"/>\n"
                                  "    </magic>\n"
                                  "    <glob pattern=\"*.raw\"/>\n"
                                  "  </mime-type>\n"
                                  "</mime-info>\n";

// Writes the text unless the file holds it already; changed tells which.
bool WriteIfChanged(const std::string& path, const std::string& text, bool& changed)
{
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream old;
        old << in.rdbuf();
        if (in && old.str() == text)
            return true;
    }
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out)
            return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return false;
    changed = true;
    return true;
}

}  // namespace

std::string CDesktopAssociation::DataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share";
    return {};
}

std::string CDesktopAssociation::EntryName(const std::string& modelName)
{
    std::string lower = modelName;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "zelvar-" + lower + ".desktop";
}

std::string CDesktopAssociation::ExecLine(const std::string& programPath)
{
    // The path as one quoted argument, then the value's own escapes, which
    // the desktop undoes first (so a backslash in the path becomes four).
    std::string quoted = "\"";
    for (char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += "\" %f";
    std::string value;
    for (char c : quoted) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

bool CDesktopAssociation::Write(const std::string& modelName, const std::string& programPath)
{
    const std::string dataHome = DataHome();
    if (dataHome.empty())
        return false;
    const std::string mimeFolder = dataHome + "/mime";
    const std::string appFolder = dataHome + "/applications";
    if (!CPaths::CreateFolder(mimeFolder + "/packages") || !CPaths::CreateFolder(appFolder))
        return false;
    const std::string entry = EntryName(modelName);
    const std::string entryText = "[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=" +
                                  modelName +
                                  " Echosounder Replay\n"
                                  "Exec=" +
                                  ExecLine(programPath) +
                                  "\n"
                                  "MimeType=" +
                                  std::string(kMimeType) +
                                  ";\n"
                                  "NoDisplay=true\n"
                                  "Terminal=false\n";
    bool mimeChanged = false, entryChanged = false;
    if (!WriteIfChanged(mimeFolder + "/packages/zelvar-echosounder-raw.xml", kMimeInfo, mimeChanged) ||
        !WriteIfChanged(appFolder + "/" + entry, entryText, entryChanged))
        return false;
    if (mimeChanged)
        CChildProcess::Run({"update-mime-database", mimeFolder}, true);
    if (entryChanged)
        CChildProcess::Run({"update-desktop-database", appFolder}, true);
    // The model started last opens recorded files, as its file type says.
    CChildProcess::Run({"xdg-mime", "default", entry, kMimeType}, true);
    return true;
}

}  // namespace app
