#include "program/ProgramToolWindows.h"

#include "app/ui/MainFrame.h"
#include "engine/Channel.h"
#include "engine/ui/ChannelStatusDialog.h"
#include "engine/ui/PingerReadyDialog.h"
#include "engine/ui/PingerSyncDialog.h"
#include "program/Program.h"
#include "recording/Store.h"
#include "recording/ui/ReplayButtons.h"
#include "transceivers/Transceiver.h"

#include <algorithm>
#include <array>

namespace app {

namespace {

// To the object's own window, from the replay's trigger thread.
constexpr UINT kReplayFile = WM_USER + 1;
constexpr UINT kReplayTable = WM_USER + 2;

struct SReplayFile
{
    zv::recording::FileTime start = 0, end = 0;
    std::string path;
};
using ReplayTable = std::array<zv::recording::FileTime, zv::recording::CReplayReader::kPositions>;

}  // namespace

CProgramToolWindows::CProgramToolWindows(CProgram& program) : m_program(program)
{
    m_window = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) { return OnOwnMessage(message); });
}

CProgramToolWindows::~CProgramToolWindows()
{
    if (m_window)
        DestroyWindow(m_window);
    delete m_status.data();
    delete m_bar.data();
    delete m_pingerReady.data();
    delete m_pingerSync.data();
}

CPingerReadyDialog* CProgramToolWindows::PingerReady() const
{
    return m_pingerReady.data();
}

CPingerSyncDialog* CProgramToolWindows::PingerSync() const
{
    return m_pingerSync.data();
}

void CProgramToolWindows::ShowPingerReady()
{
    if (!m_pingerReady) {
        m_pingerReady = new CPingerReadyDialog(m_program.Frame());
        m_pingerReady->setWindowFlag(Qt::Tool);
        // Closed, it goes; the next "ready" makes it again.
        QObject::connect(m_pingerReady, &CPingerReadyDialog::closed, m_pingerReady, [this] {
            CPingerReadyDialog* closed = m_pingerReady.data();
            m_pingerReady.clear();
            closed->deleteLater();
        });
    }
    m_pingerReady->show();
}

CPingerSyncDialog& CProgramToolWindows::MakePingerSync()
{
    if (!m_pingerSync) {
        m_pingerSync = new CPingerSyncDialog(m_program.Frame());
        m_pingerSync->setWindowFlag(Qt::Tool);
    }
    return *m_pingerSync;
}

CChannelStatusDialog* CProgramToolWindows::ChannelStatus() const
{
    return m_status.data();
}

zv::recording::CReplayButtons* CProgramToolWindows::ReplayButtons() const
{
    return m_bar.data();
}

void CProgramToolWindows::PostReplayFile(zv::recording::FileTime start, zv::recording::FileTime end,
                                         const std::string& path)
{
    PostMessage(m_window, kReplayFile, 0, 0, MakePayload<SReplayFile>(SReplayFile{start, end, path}));
}

void CProgramToolWindows::PostReplayTable(const zv::recording::FileTime* times200)
{
    ReplayTable table{};
    std::copy_n(times200, table.size(), table.begin());
    PostMessage(m_window, kReplayTable, 0, 0, MakePayload<ReplayTable>(table));
}

LRESULT CProgramToolWindows::OnOwnMessage(UINT message)
{
    if (!m_bar)
        return 0;  // nothing to show them in
    if (message == kReplayFile) {
        if (const SReplayFile* file = CurrentPayload<SReplayFile>())
            m_bar->SetFile(file->start, file->end, file->path);
        // A new replay's recorder starts with its extract off.
        TakeRecState();
    } else if (message == kReplayTable) {
        if (const ReplayTable* table = CurrentPayload<ReplayTable>())
            m_bar->CopyReplayTable(*table);
    }
    return 0;
}

void CProgramToolWindows::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ES_SHOWCHANNELSTATUS:
        ShowChannelStatus(wParam != 0);
        break;
    case WM_ES_UPDATECHANNELSTATUS:
        if (m_status)
            FillChannelStatus();
        break;
    case WM_ES_HIDECHANNELSTATUS:
        if (m_status)
            m_status->hide();
        break;
    case WM_ES_SHOWREPLAYBUTTONS:
        ShowReplayButtons(wParam != 0);
        break;
    case WM_ES_HIDEREPLAYBUTTONS:
        if (m_bar)
            m_bar->hide();
        break;
    case WM_ES_REPLAYTIME:
        if (m_bar)
            m_bar->SetCurrentTime(static_cast<int>(wParam), true);
        break;
    case WM_ES_SHOWPINGERREADY:
        ShowPingerReady();
        break;
    case WM_ES_SHOWPINGERSYNC:
        MakePingerSync().show();
        break;
    case WM_ES_HIDEPINGERSYNC:
        if (m_pingerSync)
            m_pingerSync->hide();
        break;
    case WM_ES_PINGERDRIFT:
        MakePingerSync().SetProgress(static_cast<int>(wParam), static_cast<int>(lParam));
        break;
    default:
        break;
    }
}

void CProgramToolWindows::ShowChannelStatus(bool shown)
{
    // Its columns are the running sounder's channels: none without one.
    if (!m_program.Operation().GetEchoSounder())
        return;
    if (!m_status) {
        m_status = new CChannelStatusDialog(m_program.Frame());
        m_status->setWindowFlag(Qt::Tool);
        QObject::connect(m_status, &CChannelStatusDialog::closed, m_status, [this] {
            m_statusHeight = m_status->height();
            if (CMainFrame* frame = m_program.Frame())
                frame->StatusWindowClosed();
        });
    }
    FillChannelStatus();
    if (m_statusHeight > m_status->height())
        m_status->resize(m_status->width(), m_statusHeight);
    if (shown)
        m_status->show();
}

void CProgramToolWindows::FillChannelStatus()
{
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    if (!sounder)
        return;
    std::array<COperationControl::ChannelDisplay, 8> displays;
    int arrangement = 0, extra = 0;
    m_program.Operation().GetChannelDisplays(displays, arrangement, extra);
    std::array<std::string, CChannelStatusDialog::kChannels> ids;
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = displays[i].sShortChannelID;
    m_status->SetChannelIds(ids, m_program.Application().IsReplaying());
    const int count = sounder->GetChannelCount();
    m_status->SetChannelCount(count);
    for (int i = 0; i < std::min(count, CChannelStatusDialog::kChannels); ++i)
        if (const CChannel* channel = sounder->GetChannel(i))
            m_status->SetChannel(i, channel->GetStatusValues());
    m_status->Refresh();
    m_status->update();
}

void CProgramToolWindows::DeleteChannelStatus()
{
    if (!m_status)
        return;
    if (m_status->isVisible())
        m_statusHeight = m_status->height();
    delete m_status.data();
}

void CProgramToolWindows::ShowReplayButtons(bool shown)
{
    if (!m_bar) {
        m_bar = new zv::recording::CReplayButtons(m_program.Frame());
        m_bar->setWindowFlag(Qt::Tool);
        QObject::connect(m_bar, &zv::recording::CReplayButtons::positionRequested, m_bar,
                         [this](int position) { RequestPosition(position); });
    }
    TakeRecState();
    if (shown)
        m_bar->show();
}

void CProgramToolWindows::TakeRecState()
{
    zv::recording::CStore* recorder = m_program.Recorder().Current();
    m_bar->SetRec(recorder && recorder->IsReplayExtractOn());
}

void CProgramToolWindows::RequestPosition(int position)
{
    // The bar outlives replays: the position goes to the replay running now,
    // if any.
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    if (!sounder || !m_program.Application().IsReplaying() || sounder->GetTransceiverCount() == 0)
        return;
    if (CTransceiver* replay = sounder->GetTransceiver(0))
        replay->RequestPosition(position);
}

}  // namespace app
