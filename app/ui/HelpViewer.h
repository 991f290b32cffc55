// Shows the program's help pages: in the desktop's browser when one opens
// them, else in a window of the program's own, which follows the links
// between the shipped pages and hands any other link to the desktop.
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>

namespace app {

class CHelpViewer
{
public:
    // Opens an address outside the program; false when nothing could.
    using ExternalOpener = std::function<bool(const QUrl&)>;

    explicit CHelpViewer(ExternalOpener openExternally = {});
    ~CHelpViewer();
    CHelpViewer(const CHelpViewer&) = delete;
    CHelpViewer& operator=(const CHelpViewer&) = delete;

    // The page at this address (a file of the help folder).
    void Show(const std::string& address);

    // The own window; null until a page was shown in it.
    QTextBrowser* Window() const { return m_window; }

    // What the program installs as the help's viewer: a viewer of its own,
    // alive as long as the function.
    static std::function<void(const std::string& address)> MakeViewer();

private:
    void ShowInWindow(const QUrl& page);

    ExternalOpener m_openExternally;
    QPointer<QTextBrowser> m_window;
};

}  // namespace app
