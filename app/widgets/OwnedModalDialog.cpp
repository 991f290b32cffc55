#include "app/widgets/OwnedModalDialog.h"

#include <QDialog>
#include <QPointer>

namespace widgets {

namespace {

class OpenDialog final : public CModalSession::IOpenDialog
{
public:
    explicit OpenDialog(QDialog& dialog) : m_dialog(&dialog) {}
    void EndDialog(int result) override
    {
        m_endedByOwner = true;
        if (m_dialog)
            m_dialog->done(result);
    }
    bool EndedByOwner() const { return m_endedByOwner; }

private:
    QPointer<QDialog> m_dialog;
    bool m_endedByOwner = false;
};

}  // namespace

int RunOwnedModal(QDialog& dialog, const CModalSession::DialogOpened& opened)
{
    OpenDialog handle(dialog);
    if (opened)
        opened(&handle);
    const int result = dialog.exec();
    return handle.EndedByOwner() ? -1 : result;
}

}  // namespace widgets
