#include "app/ui/MainFrame.h"

#include "app/SounderModel.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/DebugTraceDlg.h"
#include "app/ui/LanguageDialog.h"
#include "app/ui/StatusBarWidget.h"
#include "base/FramePayloads.h"
#include "base/StringTable.h"
#include "base/TemperatureUnit.h"
#include "display/AbstractESDoc.h"
#include "display/HistoryPrinting.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace app {

namespace {

// Palette of each palette command.
struct PaletteCommand
{
    unsigned id;
    int palette;
};
constexpr PaletteCommand kPaletteCommands[] = {
    {cmd::PALETTE_NIGHT_FILTERED, 0}, {cmd::PALETTE_DUSK_DAY, 1},  {cmd::PALETTE_DAY_WHITE, 2},
    {cmd::PALETTE_BRIGHT_DAY, 3},     {cmd::PALETTE_DAY_BLACK, 4}, {cmd::PALETTE_NIGHT_UNFILTERED, 5},
};

int ScreenDepth()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

}  // namespace

CMainFrame::CMainFrame(CPelmaris& app, unsigned menuId) : m_app(app), m_menuId(menuId), m_mdi(new QMdiArea(this))
{
    setObjectName("MainFrame");
    setCentralWidget(m_mdi);
    setMinimumSize(320, 320);
    setAcceptDrops(true);
    m_hwnd = ::CreateMessageWindow(
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return WindowProc(message, wParam, lParam); });
    m_exitMessage = ::RegisterWindowMessage(kExitMessageName);
    m_helpMessage = ::RegisterWindowMessage(kHelpMessageName);

    m_titleStringId = ModelInfo(app.GetSounderType()).titleStringId;
    m_title = Strings().Load(m_titleStringId);
    setWindowTitle(QString::fromStdString(m_title));

    m_status = std::make_unique<CStatus>(app.GetSounderType());
    m_statusWidget = new CStatusBarWidget(*m_status, this);
    m_status->SetOwner(m_statusWidget);
    m_status->beep = [](unsigned, unsigned) { QApplication::beep(); };  // returns at once
    m_statusWidget->onPaneClicked = [this](unsigned id) { OnPaneClicked(id); };
    statusBar()->addWidget(m_statusWidget, 1);
    statusBar()->setSizeGripEnabled(false);
    m_status->ResetCounters();

    BuildMenus();
    SetTitleUser(std::string(), 0);
    ::SetTimer(m_hwnd, TIMER_STATUSBAR, 1000);
    UpdateClock();
}

CMainFrame::~CMainFrame()
{
    if (m_status)
        m_status->SetOwner(nullptr);
    if (m_hwnd) {
        if (::GetMainWindow() == m_hwnd)
            ::SetMainWindow(0);
        ::DestroyWindow(m_hwnd);
    }
}

// ---------------------------------------------------------------------------
// Menus

void CMainFrame::BuildMenus()
{
    menuBar()->clear();
    m_actions.clear();
    for (const MenuItem& popup : LoadMenuResource(m_menuId)) {
        QMenu* menu = menuBar()->addMenu(QString::fromStdString(popup.text));
        AddMenuItems(menu, popup.items);
    }
    auto ping = Strings().Find(ids::PING_COUNT_FORMAT);
    m_pingCountFormat = ping ? *ping : "%d";
}

void CMainFrame::AddMenuItems(QMenu* menu, const std::vector<MenuItem>& items)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
    for (const MenuItem& item : items) {
        if (item.IsSeparator()) {
            menu->addSeparator();
        } else if (item.IsPopup()) {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.text));
            // The unit sub-menus are rebuilt with all their units on update.
            const unsigned first = item.items.front().id;
            std::vector<MenuItem> units;
            const unsigned last = first == cmd::DEPTH_UNIT_FIRST  ? cmd::DEPTH_UNIT_LAST
                                  : first == cmd::TEMP_UNIT_FIRST ? cmd::TEMP_UNIT_LAST
                                                                  : first;
            for (unsigned id = first; id <= last; ++id)
                units.push_back({id, std::to_string(id), {}});
            AddMenuItems(sub, units);
        } else {
            const auto text = Strings().MenuText(item.id).value_or(item.text);
            QAction* action = menu->addAction(QString::fromStdString(text));
            action->setObjectName(QString("cmd_%1").arg(item.id));
            action->setData(item.id);
            // Checkable once its update handler gives it a check state.
            action->setCheckable(false);
            connect(action, &QAction::triggered, this, [this, id = item.id] { RunCommand(id); });
            m_actions[item.id] = action;
        }
    }
}

void CMainFrame::UpdateMenu(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu())
            continue;
        const CCmdUI ui = QueryCommand(action->data().toUInt());
        action->setEnabled(ui.enabled);
        action->setCheckable(ui.checkable);
        action->setChecked(ui.checkable && ui.checked);
        if (ui.text)
            action->setText(QString::fromStdString(*ui.text));
    }
}

QAction* CMainFrame::FindAction(unsigned id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QStringList CMainFrame::MenuTitles() const
{
    QStringList titles;
    for (QAction* a : menuBar()->actions())
        titles << a->text();
    return titles;
}

CCmdUI CMainFrame::QueryCommand(unsigned id)
{
    CCmdUI ui;
    ui.id = id;
    if (!m_app.RouteUpdate(ui) && !FrameUpdate(ui))
        ui.Enable(false);
    return ui;
}

void CMainFrame::RunCommand(unsigned id)
{
    // Commands posted by the program (the recorder's, replay's) have no
    // update handler and run; one whose handler greys it does not.
    CCmdUI ui;
    ui.id = id;
    if ((m_app.RouteUpdate(ui) || FrameUpdate(ui)) && !ui.enabled)
        return;
    if (!m_app.RouteCommand(id))
        FrameCommand(id);
}

void CMainFrame::ReloadMenu()
{
    BuildMenus();
    menuBar()->update();
    update();
}

// ---------------------------------------------------------------------------
// Frame commands

bool CMainFrame::StartPingTimer(unsigned ms)
{
    m_pingTimer = ::SetTimer(m_hwnd, TIMER_PING, ms) != 0;
    if (m_pingTimer)
        m_asyncCounter = 0;
    return m_pingTimer;
}

void CMainFrame::StopPingTimer()
{
    ::KillTimer(m_hwnd, TIMER_PING);
    m_pingTimer = false;
}

bool CMainFrame::FrameCommand(unsigned id)
{
    for (const auto& pc : kPaletteCommands) {
        if (pc.id == id) {
            SelectPalette(pc.palette);
            if (id == cmd::PALETTE_DAY_WHITE)
                m_paletteLimited = ScreenDepth() < 9;
            return true;
        }
    }
    switch (id) {
    case cmd::ASYNC_MANUAL:
        StopPingTimer();
        m_asyncState = 0;
        return true;
    case cmd::ASYNC_1SEC:
        if (m_asyncState == 0 && StartPingTimer(1000))
            m_asyncState = 2;
        return true;
    case cmd::ASYNC_FAST:
        if (m_asyncState == 0 && StartPingTimer(100))
            m_asyncState = 1;
        return true;
    case cmd::GRAYSCALE:
        m_grayscale = !m_grayscale;
        ApplyColourScheme(m_colourScheme);
        return true;
    case cmd::QY_COLOURS:
        m_grayscale = 0;
        m_qyColours = 1;
        ApplyColourScheme(m_colourScheme);
        return true;
    case cmd::TQ_COLOURS:
        m_grayscale = 0;
        m_qyColours = 0;
        ApplyColourScheme(m_colourScheme);
        return true;
    case cmd::GREY_ON_SIDESCAN:
        m_greyOnSidescan = !m_greyOnSidescan;
        m_copperOnSidescan = 0;
        m_app.SetGreyScaleOnSidescan(m_greyOnSidescan);
        m_app.SetCopperOnSidescan(m_copperOnSidescan);
        Broadcast(WM_ES_BACKGROUNDCOLOR, static_cast<WPARAM>(m_paletteValue), PaletteParam());
        return true;
    case cmd::COPPER_ON_SIDESCAN:
        m_copperOnSidescan = !m_copperOnSidescan;
        m_greyOnSidescan = 0;
        m_app.SetGreyScaleOnSidescan(m_greyOnSidescan);
        m_app.SetCopperOnSidescan(m_copperOnSidescan);
        Broadcast(WM_ES_BACKGROUNDCOLOR, static_cast<WPARAM>(m_paletteValue), PaletteParam());
        return true;
    case cmd::STATUS_MESSAGES:
        m_status->EnableMessagePane(!m_status->MessagePaneEnabled());
        return true;
    case cmd::ALARM_DIALOGS:
        m_status->EnableAlarmDialogs(!m_status->AlarmDialogsEnabled());
        return true;
    case cmd::REPLAY_CONTROL:
        m_replayControlFlag = !m_replayControlFlag;
        if (m_app.IsReplaying())
            ToolWindowMessage(m_replayControlFlag ? WM_ES_SHOWREPLAYBUTTONS : WM_ES_HIDEREPLAYBUTTONS,
                              static_cast<WPARAM>(m_replayControlFlag), 0);
        return true;
    case cmd::STATUS_WINDOW:
        m_statusWindowFlag = !m_statusWindowFlag;
        if (m_app.GetEchoSounder())
            ToolWindowMessage(m_statusWindowFlag ? WM_ES_SHOWCHANNELSTATUS : WM_ES_HIDECHANNELSTATUS,
                              static_cast<WPARAM>(m_statusWindowFlag), 0);
        return true;
    case cmd::APP_EXIT:
    case cmd::SYSTEM_CLOSE:
        ::PostMessage(m_hwnd, WM_CLOSE, 0, 0);
        return true;
    default:
        return false;
    }
}

bool CMainFrame::FrameUpdate(CCmdUI& ui)
{
    for (const auto& pc : kPaletteCommands) {
        if (pc.id == ui.id) {
            ui.SetCheck(m_palette == pc.palette);
            return true;
        }
    }
    switch (ui.id) {
    case cmd::ASYNC_MANUAL:
        ui.SetCheck(m_asyncState == 0);
        return true;
    case cmd::ASYNC_1SEC:
        ui.Enable(m_asyncState == 0);
        ui.SetCheck(m_asyncState == 2);
        return true;
    case cmd::ASYNC_FAST:
        ui.Enable(m_asyncState == 0);
        ui.SetCheck(m_asyncState == 1);
        return true;
    case cmd::GRAYSCALE:
        ui.SetCheck(m_grayscale != 0);
        return true;
    case cmd::QY_COLOURS:
        ui.SetCheck(m_qyColours != 0);
        return true;
    case cmd::TQ_COLOURS:
        ui.SetCheck(m_qyColours == 0);
        return true;
    case cmd::GREY_ON_SIDESCAN:
        ui.SetCheck(m_greyOnSidescan != 0);
        return true;
    case cmd::COPPER_ON_SIDESCAN:
        ui.SetCheck(m_copperOnSidescan != 0);
        return true;
    case cmd::STATUS_MESSAGES:
        ui.SetCheck(m_status->MessagePaneEnabled());
        return true;
    case cmd::ALARM_DIALOGS:
        ui.SetCheck(m_status->AlarmDialogsEnabled());
        return true;
    case cmd::REPLAY_CONTROL:
        ui.Enable(m_app.IsReplaying() && toolWindows && toolWindows->HasReplayButtons());
        ui.SetCheck(m_replayControlFlag != 0);
        return true;
    case cmd::STATUS_WINDOW:
        ui.Enable(m_app.GetEchoSounder() != nullptr && toolWindows && toolWindows->HasChannelStatus());
        ui.SetCheck(m_statusWindowFlag != 0);
        return true;
    case cmd::APP_EXIT:
    case cmd::SYSTEM_CLOSE:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Colours

void CMainFrame::SelectPalette(int palette)
{
    m_palette = palette;
    m_paletteValue = selectPalette ? selectPalette(palette) : palette;
    if (!m_paletteLimited)
        Broadcast(WM_ES_BACKGROUNDCOLOR, static_cast<WPARAM>(m_paletteValue), PaletteParam());
    ApplyColourScheme(m_colourScheme);
}

void CMainFrame::ApplyColourScheme(int scheme)
{
    m_colourScheme = scheme;
    if (applyEchogramColours)
        applyEchogramColours(ColourSet(), scheme);
    if (!m_paletteLimited)
        Broadcast(WM_ES_BACKGROUNDCOLOR, static_cast<WPARAM>(m_paletteValue), PaletteParam());
}

EchogramColourSet CMainFrame::ColourSet() const
{
    if (m_grayscale)
        return EchogramColourSet::Grey;
    const SounderModel model = m_app.GetSounderType();
    if (IsQYModel(model) || (model == SounderModel::TOTAL && m_qyColours))
        return EchogramColourSet::QY;
    return EchogramColourSet::TQ;
}

void CMainFrame::ToolWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (toolWindows)
        toolWindows->OnMessage(message, wParam, lParam);
}

void CMainFrame::Broadcast(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Copy first: a receiver may go away while we send.
    const std::set<HWND> targets = m_descendants;
    for (HWND hwnd : targets)
        ::SendMessage(hwnd, message, wParam, lParam);
}

void CMainFrame::SetGreyScaleFlags(int grey, int greyOnSidescan, int copperOnSidescan)
{
    // The grayscale scheme itself starts off and is toggled once by the
    // first layout; the stored flag decides the side-scan colours only.
    (void)grey;
    m_greyOnSidescan = greyOnSidescan;
    m_copperOnSidescan = greyOnSidescan ? 0 : copperOnSidescan;
}

void CMainFrame::FirstLayout()
{
    if (ScreenDepth() > 8)
        m_paletteLimited = false;
    if (IsQYModel(m_app.GetSounderType()))
        m_qyColours = 1;
    SelectPalette(2);
    FrameCommand(cmd::GRAYSCALE);
}

// ---------------------------------------------------------------------------
// Window

void CMainFrame::ShowMainWindow(bool maximisedWithoutCaption)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    if (maximisedWithoutCaption) {
        setWindowFlag(Qt::FramelessWindowHint, true);
        // Without a window manager maximising does nothing: take the screen.
        setGeometry(available);
        showMaximized();
    } else {
        resize(std::min(1024, available.width()), std::min(768, available.height()));
        show();
    }
}

void CMainFrame::ShowForOpen(int showMode)
{
    if (showMode == SW_UNSET || showMode == SW_SHOWNORMAL) {
        if (isMinimized())
            showNormal();
        else
            show();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void CMainFrame::EnableMessagePane(bool on)
{
    if (m_status)
        m_status->EnableMessagePane(on);
}

bool CMainFrame::IsMessagePaneEnabled() const
{
    return m_status && m_status->MessagePaneEnabled();
}

void CMainFrame::SetTitleUser(const std::string& user, int flag)
{
    const SounderModel type = m_app.GetSounderType();
    if (IsQYModel(type)) {
        const std::string model = ModelInfo(type).name;
        m_title = flag == 1 ? model + "      User: " + user : model;
    }
    setWindowTitle(QString::fromStdString(m_title));
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const QSize client = m_mdi->size();
    if (client.width() >= 1 && client.height() >= 1 &&
        (client.width() != m_lastWidth || client.height() != m_lastHeight) && m_app.GetEchoSounder()) {
        m_newLayoutPending = true;
        // The new layout is asked for once the resizing has settled.
        QTimer::singleShot(0, this, [this] {
            if (m_newLayoutPending) {
                m_newLayoutPending = false;
                ::PostMessage(m_hwnd, WM_ES_OPERATIONCOMMAND, OC_NEW_LAYOUT, 0);
            }
        });
    }
    m_lastWidth = client.width();
    m_lastHeight = client.height();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_app.TakeFirstClose()) {
        m_exitPending = true;
        m_app.Operation().PostStopAndExit();
    }
    // Any other close waits for the stop-and-exit step, which closes the
    // frame once the sounder is gone.
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    DropFiles(files);
}

void CMainFrame::DropFiles(const QStringList& files)
{
    activateWindow();
    if (files.isEmpty())
        return;
    std::vector<std::pair<QDateTime, std::string>> byTime;
    for (const QString& file : files)
        byTime.emplace_back(QFileInfo(file).lastModified(), file.toStdString());
    std::stable_sort(byTime.begin(), byTime.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    CReplayFileList list;
    for (const auto& entry : byTime)
        list.AddTail(entry.second);
    m_app.Operation().PostStartWithFiles(list);
}

void CMainFrame::OnPaneClicked(unsigned paneId)
{
    if ((paneId == ids::LINE_COUNTER || paneId == ids::EVENT_COUNTER) && m_app.GetEchoSounder())
        ::PostMessage(m_hwnd, WM_COMMAND, paneId == ids::LINE_COUNTER ? cmd::RECORD_TOGGLE : cmd::EVENT_ANNOTATION, 0);
    else if (paneId == ids::H_COUNTER && historyPrinting) {
        // History saving off when it runs, on when it does not.
        if (historyPrinting->HasPrintingView())
            historyPrinting->StopPrinting();
        else
            historyPrinting->StartPrinting();
    }
}

void CMainFrame::UpdateClock()
{
    const QString now = QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat);
    m_status->SetPaneText(ids::CLOCK_PANE, now.toStdString());
    if (waterTemperature) {
        const auto celsius = waterTemperature();
        m_status->SetPaneText(ids::WATER_TEMPERATURE,
                              celsius ? CTemperatureUnit::FormatTemperature(*celsius) : std::string());
    }
    if (m_app.GetEchoSounder()) {
        if (soundVelocity)
            m_status->SetPaneText(ids::SOUND_VELOCITY, m_app.IsReplaying()
                                                           ? std::string()
                                                           : CNumberText::Format("%.1f m/s", soundVelocity()));
        if (pingRateText)
            m_status->SetPaneText(ids::PING_RATE, pingRateText());
    }
}

// ---------------------------------------------------------------------------
// Messages

// The frame's window answers these, a row per message; any other gets 0.
constexpr std::array<CMainFrame::MessageRow, 29> CMainFrame::kMessages{{
    {WM_CLOSE, &CMainFrame::OnClose},
    {WM_COMMAND, &CMainFrame::OnCommand},
    {WM_TIMER, &CMainFrame::OnTimer},
    {WM_ES_UPDATEALLVIEWS, &CMainFrame::OnUpdateAllViews},          // 0x46E, sent by the documents
    {WM_ES_STATUSTEXT, &CMainFrame::OnStatusText},                  // 0x46F
    {WM_ES_STATUSMESSAGE, &CMainFrame::OnStatusMessage},            // 0x470, status message or alarm
    {WM_ES_EXECUTECOMMAND, &CMainFrame::OnExecuteCommand},          // 0x471
    {WM_ES_OPERATIONCOMMAND, &CMainFrame::OnOperationCommand},      // 0x472
    {WM_ES_ANNOTATION, &CMainFrame::OnAnnotation},                  // 0x473
    {WM_ES_EVENTMESSAGE, &CMainFrame::OnEventMessage},              // 0x474, kind E
    {WM_ES_NEWDATA, &CMainFrame::OnNewData},                        // 0x475, kind L
    {WM_ES_BACKGROUNDCOLOR, &CMainFrame::OnBackgroundColour},       // 0x476
    {WM_ES_COLORTABLE, &CMainFrame::OnColourTable},                 // 0x477
    {WM_ES_TELEGRAM, &CMainFrame::OnTelegram},                      // 0x478
    {WM_ES_LOBECOMMAND, &CMainFrame::OnLobeCommand},                // 0x479
    {WM_ES_HISTORYMESSAGE, &CMainFrame::OnHistoryMessage},          // 0x47A, kind H
    {WM_ES_ENVIRONMENTCHANGED, &CMainFrame::OnEnvironmentChanged},  // 0x47B
    {WM_ES_SHOWCHANNELSTATUS, &CMainFrame::OnShowChannelStatus},    // 0x47C
    {WM_ES_UPDATECHANNELSTATUS, &CMainFrame::OnToolWindow},         // 0x47D
    {WM_ES_HIDECHANNELSTATUS, &CMainFrame::OnToolWindow},           // 0x47E
    {WM_ES_SHOWREPLAYBUTTONS, &CMainFrame::OnShowReplayButtons},    // 0x47F
    {WM_ES_HIDEREPLAYBUTTONS, &CMainFrame::OnToolWindow},           // 0x480
    {WM_ES_SHOWPINGERREADY, &CMainFrame::OnToolWindow},             // 0x481
    {WM_ES_SHOWPINGERSYNC, &CMainFrame::OnToolWindow},              // 0x482
    {WM_ES_HIDEPINGERSYNC, &CMainFrame::OnToolWindow},              // 0x483
    {WM_ES_PINGERDRIFT, &CMainFrame::OnToolWindow},                 // 0x484
    {WM_ES_SERIALANNOTATION, &CMainFrame::OnSerialAnnotation},      // 0x485
    {WM_ES_REPLAYTIME, &CMainFrame::OnToolWindow},                  // 0x486
    {WM_ES_UPDATETITLE, &CMainFrame::OnUpdateTitle},                // 0x487
}};

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Every private message has its row, in the order of their numbers.
    static_assert(
        [] {
            constexpr std::size_t first = 3;
            for (std::size_t i = first; i < kMessages.size(); ++i)
                if (kMessages[i].message != WM_ES_UPDATEALLVIEWS + (i - first))
                    return false;
            return kMessages.back().message == WM_ES_UPDATETITLE;
        }(),
        "a private message without its row");
    // The registered messages have their numbers only at run time.
    if (message == m_exitMessage && m_exitMessage != 0) {
        // From outside: end the program without powering the PC off.
        m_app.SetPowerOffRequest(false);
        ::PostMessage(m_hwnd, WM_CLOSE, 0, 0);
        return 1;
    }
    if (message == m_helpMessage && m_helpMessage != 0) {
        m_app.GetHelp().ShowHelp(static_cast<unsigned>(wParam), CHelp::HELP_CONTEXT);
        return 1;
    }
    for (const MessageRow& row : kMessages)
        if (row.message == message)
            return (this->*row.handle)(message, wParam, lParam);
    return 0;
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM)
{
    if (!m_exitPending) {
        close();  // the first close: stop and exit
    } else if (!m_app.GetEchoSounder()) {
        // Stop and exit has run: the sounder is gone, the frame may go.
        m_closing = true;
        close();
    }
    return 0;
}

LRESULT CMainFrame::OnCommand(UINT, WPARAM wParam, LPARAM)
{
    RunCommand(static_cast<unsigned>(wParam & 0xFFFF));
    return 0;
}

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM)
{
    if (wParam == TIMER_WORKLOAD) {
        if (sampleWorkload)
            sampleWorkload();
        if (historyPrinting)
            m_status->SetPrintingIndicator(historyPrinting->IsPaperPrinting());
    } else if (wParam == TIMER_PING) {
        if (notifyDocuments)
            notifyDocuments(m_asyncCounter);
    } else if (wParam == TIMER_STATUSBAR) {
        UpdateClock();
    }
    return 0;
}

LRESULT CMainFrame::OnUpdateAllViews(UINT, WPARAM, LPARAM lParam)
{
    // Posted by the documents: the payload finds the document if it is
    // still there.
    if (CAbstractESDoc::RunUpdatePayload(CurrentMessagePayload()))
        return 1;
    // Sent: the sender waits, so the document is whole.
    if (CAbstractESDoc* document = CAbstractESDoc::FromMessageParameter(lParam))
        document->UpdateAllViews();
    return 1;
}

LRESULT CMainFrame::OnStatusText(UINT, WPARAM wParam, LPARAM)
{
    if (wParam == 0)
        return 0;
    const std::string* text = CurrentPayload<std::string>();
    m_status->SetPaneString(static_cast<unsigned>(wParam), text);
    return 0;
}

LRESULT CMainFrame::OnStatusMessage(UINT, WPARAM wParam, LPARAM lParam)
{
    m_status->AddMessage(static_cast<unsigned>(wParam), static_cast<int>(lParam));
    return 0;
}

LRESULT CMainFrame::OnExecuteCommand(UINT, WPARAM wParam, LPARAM lParam)
{
    m_app.Operation().ExecuteCommand(static_cast<unsigned>(wParam), lParam);
    return 0;
}

LRESULT CMainFrame::OnOperationCommand(UINT, WPARAM wParam, LPARAM lParam)
{
    if (toolWindows)
        toolWindows->DeleteChannelStatus();
    m_app.Operation().QueueCommand(static_cast<unsigned>(wParam), lParam);
    return 0;
}

LRESULT CMainFrame::OnAnnotation(UINT, WPARAM wParam, LPARAM)
{
    // Without a text the views still mark the column of the next ping.
    const std::string* text = CurrentPayload<std::string>();
    Broadcast(WM_ES_ANNOTATION, wParam, text ? reinterpret_cast<LPARAM>(text->c_str()) : 0);
    return 0;
}

LRESULT CMainFrame::OnEventMessage(UINT, WPARAM wParam, LPARAM lParam)
{
    m_status->SetEventCounter(static_cast<long>(lParam), wParam != 0);
    return 0;
}

LRESULT CMainFrame::OnNewData(UINT, WPARAM wParam, LPARAM lParam)
{
    m_status->SetLineCounter(static_cast<long>(lParam), wParam != 0);
    return 0;
}

LRESULT CMainFrame::OnBackgroundColour(UINT, WPARAM, LPARAM)
{
    if (!m_paletteLimited)
        Broadcast(WM_ES_BACKGROUNDCOLOR, static_cast<WPARAM>(m_paletteValue), PaletteParam());
    return 0;
}

LRESULT CMainFrame::OnColourTable(UINT, WPARAM, LPARAM)
{
    Broadcast(WM_ES_COLORTABLE, 0, 0);
    return 0;
}

LRESULT CMainFrame::OnTelegram(UINT, WPARAM, LPARAM)
{
    if (const TimedText* telegram = CurrentPayload<TimedText>()) {
        if (!m_app.IsReplaying() && decodeTelegram)
            decodeTelegram(telegram->text, telegram->fileTime);
    }
    return 0;
}

LRESULT CMainFrame::OnLobeCommand(UINT, WPARAM, LPARAM)
{
    if (const TimedText* command = CurrentPayload<TimedText>()) {
        const SounderModel type = m_app.GetSounderType();
        if ((type == SounderModel::TQ30 || type == SounderModel::TOTAL) && lobeCommand)
            lobeCommand(command->text, command->fileTime);
    }
    return 1;
}

LRESULT CMainFrame::OnHistoryMessage(UINT, WPARAM wParam, LPARAM lParam)
{
    m_status->SetHCounter(static_cast<long>(lParam), wParam != 0);
    return 0;
}

LRESULT CMainFrame::OnEnvironmentChanged(UINT, WPARAM, LPARAM)
{
    if (environmentChanged)
        environmentChanged();
    return 0;
}

LRESULT CMainFrame::OnShowChannelStatus(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (wParam == 1)
        m_statusWindowFlag = 1;
    ToolWindowMessage(message, static_cast<WPARAM>(m_statusWindowFlag), lParam);
    return 0;
}

LRESULT CMainFrame::OnShowReplayButtons(UINT message, WPARAM, LPARAM lParam)
{
    ToolWindowMessage(message, static_cast<WPARAM>(m_replayControlFlag), lParam);
    return 0;
}

LRESULT CMainFrame::OnToolWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    ToolWindowMessage(message, wParam, lParam);
    return 0;
}

LRESULT CMainFrame::OnSerialAnnotation(UINT, WPARAM, LPARAM)
{
    const std::string* text = CurrentPayload<std::string>();
    m_app.AddAnnotation(text ? *text : std::string(), CFileTime::Now());
    return 0;
}

LRESULT CMainFrame::OnUpdateTitle(UINT, WPARAM, LPARAM lParam)
{
    const std::string* user = CurrentPayload<std::string>();
    SetTitleUser(user ? *user : std::string(), static_cast<int>(lParam));
    return 0;
}

// ---------------------------------------------------------------------------
// Dialogs

bool CMainFrame::RunDebugTraceDialog(std::array<int, 7>& switches)
{
    CDebugTraceDlg dialog(this);
    dialog.SetSwitches(switches);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    switches = dialog.Switches();
    return true;
}

bool CMainFrame::RunLanguageDialog(unsigned& languageId)
{
    CLanguageDialog dialog(m_app.GetLanguagePath(), languageId, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    languageId = dialog.SelectedLanguage();
    return true;
}

void CMainFrame::RunAboutBox()
{
    CAboutDialog dialog(m_app.GetSounderName(), m_app.GetSounderType(), m_app.GetFileVersionText(), this);
    dialog.exec();
}

}  // namespace app
