// Help: turns a help request (a context number from F1 in a dialog, or the
// Help menu) into one page of the HTML help shipped with the program.
#pragma once

#include <functional>
#include <string>

namespace app {

class CHelp
{
public:
    // Help commands of the class library.
    static constexpr unsigned HELP_CONTEXT = 1;
    static constexpr unsigned HELP_CONTEXTPOPUP = 8;
    static constexpr unsigned HELP_FINDER = 11;
    // Contexts are this base plus the dialog's resource id.
    static constexpr unsigned kContextBase = 0x20000;
    static constexpr const char* kContentsPage = "Contents.html";
    // What an empty page name opens: the help's default page.
    static constexpr const char* kDefaultPage = "index.html";

    // The page for a context; empty when the context has none.
    static std::string PageForContext(unsigned context);

    // The page a request opens: by context for commands 1 and 8, the
    // contents page for any other command.
    static std::string PageForRequest(unsigned context, unsigned command);

    // The address of a page in the help folder.
    static std::string Address(const std::string& helpFolder, const std::string& page);

    // Folder of the help pages; set by the application when the language
    // changes.
    void SetHelpFolder(std::string folder) { m_folder = std::move(folder); }
    const std::string& HelpFolder() const { return m_folder; }

    void ShowHelp(unsigned context, unsigned command);
    void ShowPage(const std::string& page);

    // Opens an address in a viewer; the user interface installs one. Without
    // a viewer nothing is shown.
    std::function<void(const std::string& address)> viewer;

private:
    std::string m_folder;
};

}  // namespace app
