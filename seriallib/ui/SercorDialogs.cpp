#include "seriallib/ui/SercorDialogs.h"

#include "seriallib/SercorHooks.h"
#include "seriallib/ui/ComOptionsDlg.h"
#include "seriallib/ui/ComStatistics.h"
#include "seriallib/ui/ProtStatistics.h"

#include <QPointer>

namespace {

// Owns a shown statistics window for its port or protocol. The window may
// be asked to go from one of its own buttons, so it is deleted later.
class CShownWindow final : public ISercorWindow
{
public:
    explicit CShownWindow(QDialog* dialog) : m_Dialog(dialog) { m_Dialog->show(); }
    ~CShownWindow() override
    {
        if (m_Dialog) {
            m_Dialog->hide();
            m_Dialog->deleteLater();
        }
    }

private:
    QPointer<QDialog> m_Dialog;
};

}  // namespace

void InstallSercorDialogs()
{
    SercorHooks hooks;
    hooks.runOptions = [](CComOptions& options) { return CComOptionsDlg::Run(options); };
    hooks.showPortStatistics = [](CSercor* port) -> std::unique_ptr<ISercorWindow> {
        return std::make_unique<CShownWindow>(new CComStatistics(port));
    };
    hooks.showProtocolStatistics = [](CProtocol* protocol, int type) -> std::unique_ptr<ISercorWindow> {
        return std::make_unique<CShownWindow>(new CProtStatistics(protocol, type));
    };
    SetSercorHooks(std::move(hooks));
}

extern "C" __attribute__((visibility("default"))) void InstallSercorDialogsEntry()
{
    InstallSercorDialogs();
}
