#include "app/ui/HelpViewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTextBrowser>

namespace app {

CHelpViewer::CHelpViewer(ExternalOpener openExternally)
    : m_openExternally(openExternally ? std::move(openExternally)
                                      : ExternalOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); }))
{}

CHelpViewer::~CHelpViewer()
{
    delete m_window.data();
}

std::function<void(const std::string&)> CHelpViewer::MakeViewer()
{
    auto viewer = std::make_shared<CHelpViewer>();
    return [viewer](const std::string& address) { viewer->Show(address); };
}

void CHelpViewer::Show(const std::string& address)
{
    const QUrl page = QUrl::fromLocalFile(QString::fromStdString(address));
    // A page that is not there is said in the own window, never handed on.
    if (QFileInfo(page.toLocalFile()).isFile() && m_openExternally(page))
        return;
    ShowInWindow(page);
}

void CHelpViewer::ShowInWindow(const QUrl& page)
{
    if (!m_window) {
        m_window = new QTextBrowser;
        m_window->setObjectName("HelpWindow");
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->resize(640, 720);
        // Links are followed here only between help pages.
        m_window->setOpenLinks(false);
        QObject::connect(m_window, &QTextBrowser::anchorClicked, m_window, [this](const QUrl& link) {
            const QUrl target = m_window->source().resolved(link);
            if (target.isLocalFile())
                ShowInWindow(target);
            else
                m_openExternally(target);
        });
        QObject::connect(m_window, &QTextBrowser::sourceChanged, m_window,
                         [this] { m_window->setWindowTitle(m_window->documentTitle()); });
    }
    const QString file = page.toLocalFile();
    if (QFileInfo(file).isFile()) {
        m_window->setSource(page);
    } else {
        m_window->setPlainText(QString("The help page %1 is missing.").arg(file));
        m_window->setWindowTitle("Help");
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

}  // namespace app
