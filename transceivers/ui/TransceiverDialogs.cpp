#include "transceivers/ui/TransceiverDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "transceivers/ui/AdvancedTransceiverDialog.h"
#include "transceivers/ui/HXUDialog.h"
#include "transceivers/ui/HXUNoContactDialog.h"
#include "transceivers/ui/HXUReprogramDialog.h"
#include "transceivers/ui/NVUDiagnostic.h"
#include "transceivers/ui/NvuUpgradeFirmware.h"
#include "transceivers/ui/TransceiverDialog.h"
#include "transceivers/ui/TransceiverDialogGeo.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

namespace transceiversui {

namespace {

// 1 on OK with the values edited, 0 on Cancel, -1 when the owner ended it.
template <typename Dialog, typename Values>
int RunEditing(Values& values, const CModalSession::DialogOpened& opened)
{
    Dialog dialog(values);
    const int result = widgets::RunOwnedModal(dialog, opened);
    if (result < 0)
        return -1;
    if (result != QDialog::Accepted)
        return 0;
    values = dialog.Values();
    return 1;
}

}  // namespace

int CTransceiverDialogs::RunChannel(TransceiverDialogValues& values, const DialogOpened& opened)
{
    return RunEditing<CTransceiverDialog>(values, opened);
}

int CTransceiverDialogs::RunGeoChannel(GeoTransceiverDialogValues& values, const DialogOpened& opened)
{
    return RunEditing<CTransceiverDialogGeo>(values, opened);
}

int CTransceiverDialogs::RunAdvanced(const AdvancedTransceiverDialogValues& values, const DialogOpened& opened)
{
    CAdvancedTransceiverDialog dialog(values);
    const int result = widgets::RunOwnedModal(dialog, opened);
    return result < 0 ? -1 : (result == QDialog::Accepted ? 1 : 0);
}

namespace {

bool OnInterfaceThread()
{
    return qApp && QThread::currentThread() == qApp->thread();
}

}  // namespace

int CTransceiverDialogs::RunHxuNoContact(const std::string& transceiverName)
{
    if (!OnInterfaceThread())
        return -1;
    CHXUNoContactDialog dialog(transceiverName);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

int CTransceiverDialogs::RunHxuReprogram(const std::string& transceiverName, const std::string& unitVersion,
                                         const std::string& fileVersion)
{
    if (!OnInterfaceThread())
        return -1;
    CHXUReprogramDialog dialog(transceiverName, unitVersion, fileVersion);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

int CTransceiverDialogs::RunHxuDebug(HxuDebugDialogValues& values, const DialogOpened& opened)
{
    return RunEditing<CHXUDialog>(values, opened);
}

int CTransceiverDialogs::RunNvuUpgrade(const std::string& unitFirmware, const std::string& newFile,
                                       const std::function<bool()>& ended)
{
    if (!OnInterfaceThread())
        return -1;
    CNvuUpgradeFirmware dialog(unitFirmware, newFile);
    // The unit that asked may stop while the question is up: it closes then.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &dialog, [&dialog, &ended] {
        if (ended && ended())
            dialog.done(-1);
    });
    watch.start(50);
    const int result = dialog.exec();
    return result < 0 ? -1 : (result == QDialog::Accepted ? 1 : 0);
}

std::unique_ptr<INvuDiagnosticWindow> CTransceiverDialogs::OpenNvuDiagnostic(std::shared_ptr<CNvuDiagnosticLink> link,
                                                                             HWND parent)
{
    if (!OnInterfaceThread())
        return nullptr;
    return CNVUDiagnostic::Open(std::move(link), parent);
}

}  // namespace transceiversui
