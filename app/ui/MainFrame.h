// The main window: the model's menu, the status bar, the colour scheme of
// all windows, the asynchronous display timer, and the one receiver of the
// program's private messages, through which worker threads and objects hand
// work to the user-interface thread.
#pragma once

#include "app/MainFrameInterface.h"
#include "app/MenuResources.h"
#include "app/Pelmaris.h"
#include "app/ui/EchogramColours.h"
#include "app/ui/ToolWindows.h"
#include "base/Status.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class IHistoryPrinting;
class QMdiArea;
class QMenu;
class QAction;

namespace app {

class CStatusBarWidget;

class CMainFrame : public QMainWindow, public IMainFrame
{
    Q_OBJECT
public:
    CMainFrame(CPelmaris& app, unsigned menuId);
    ~CMainFrame() override;

    // IMainFrame
    HWND GetSafeHwnd() const override { return m_hwnd; }
    CStatus* GetStatus() override { return m_status.get(); }
    void SetGreyScaleFlags(int grey, int greyOnSidescan, int copperOnSidescan) override;
    void ShowMainWindow(bool maximisedWithoutCaption) override;
    void FirstLayout() override;
    void ReloadMenu() override;
    void ShowForOpen(int showMode) override;
    void StopPingTimer() override;
    void EnableMessagePane(bool on) override;
    void ApplyColourScheme(int scheme) override;
    bool RunDebugTraceDialog(std::array<int, 7>& switches) override;
    bool RunLanguageDialog(unsigned& languageId) override;
    void RunAboutBox() override;

    bool IsMessagePaneEnabled() const;
    int GetColourScheme() const override { return m_colourScheme; }
    int GetCurrentPalette() const { return m_palette; }
    // The palette block of the current palette as views take it with
    // WM_ES_BACKGROUNDCOLOR; 0 where no palette control is plugged in.
    LPARAM PaletteParam() const { return paletteBlock ? paletteBlock(m_palette) : 0; }
    int AsyncState() const { return m_asyncState; }
    bool PaletteLimited() const { return m_paletteLimited; }
    bool NewLayoutPending() const { return m_newLayoutPending; }
    void ClearNewLayoutPending() { m_newLayoutPending = false; }
    void SetTitleUser(const std::string& user, int flag);
    // The operator closed the channel status dialog: "Status Window" is
    // unchecked.
    void StatusWindowClosed() { m_statusWindowFlag = 0; }
    QMdiArea* MdiArea() const { return m_mdi; }
    CStatusBarWidget* StatusBarWidget() const { return m_statusWidget; }

    // Windows that take the frame's broadcasts (0x473, 0x476, 0x477).
    void AddDescendant(HWND hwnd) { m_descendants.insert(hwnd); }
    void RemoveDescendant(HWND hwnd) { m_descendants.erase(hwnd); }

    // The dispatcher's message handler of the frame.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Dropped files: replayed in the order of their times.
    void DropFiles(const QStringList& files);
    // Runs a command as a menu item or WM_COMMAND would: not when its update
    // handler has disabled it.
    void RunCommand(unsigned id);
    // The state of a menu item as the menu would show it. An item that no
    // command target answers for is greyed, as the class library greys an
    // item without a handler.
    CCmdUI QueryCommand(unsigned id);
    QAction* FindAction(unsigned id) const;
    // Titles of the menu bar's pop-ups.
    QStringList MenuTitles() const;

    // Work of later subsystems behind the frame's messages; null: nothing.
    std::function<void(int flag)> notifyDocuments;                          // timer 32784, with the async counter
    std::function<void()> sampleWorkload;                                   // timer 106
    std::function<void(const std::string&, std::uint64_t)> decodeTelegram;  // 0x478
    std::function<void(const std::string&, std::uint64_t)> lobeCommand;     // 0x479
    std::function<void()> environmentChanged;                               // 0x47B
    IToolWindows* toolWindows = nullptr;                                    // 0x47C-0x484, 0x486; null: none
    IHistoryPrinting* historyPrinting = nullptr;                            // H counter's click, timer 106; null: none
    std::function<int(int palette)> selectPalette;                          // palette value of a palette
    std::function<LPARAM(int palette)> paletteBlock;                        // what views take with 0x476
    // Writes the colour set into the palettes, with the first `threshold`
    // echogram colours given the background.
    std::function<void(EchogramColourSet set, int threshold)> applyEchogramColours;
    // Values the status bar shows every second; null: the pane stays as is.
    std::function<std::optional<double>()> waterTemperature;  // nullopt: no valid value
    std::function<double()> soundVelocity;                    // while a sounder runs
    std::function<std::string()> pingRateText;                // while a sounder runs

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void AddMenuItems(QMenu* menu, const std::vector<MenuItem>& items);
    void UpdateMenu(QMenu* menu);
    bool FrameCommand(unsigned id);
    bool FrameUpdate(CCmdUI& ui);
    void SelectPalette(int palette);
    void Broadcast(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaneClicked(unsigned paneId);
    void UpdateClock();
    bool StartPingTimer(unsigned ms);
    EchogramColourSet ColourSet() const;
    void ToolWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The messages of the frame's window, a row each: the standard ones it
    // handles, then the program's private messages 0x46E-0x487 in order.
    // Each handler answers what the sender of its message gets back.
    using MessageHandler = LRESULT (CMainFrame::*)(UINT message, WPARAM wParam, LPARAM lParam);
    struct MessageRow
    {
        UINT message;
        MessageHandler handle;
    };
    static const std::array<MessageRow, 29> kMessages;
    LRESULT OnClose(UINT, WPARAM, LPARAM);
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM);
    LRESULT OnUpdateAllViews(UINT, WPARAM, LPARAM lParam);
    LRESULT OnStatusText(UINT, WPARAM wParam, LPARAM);
    LRESULT OnStatusMessage(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnExecuteCommand(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnOperationCommand(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnAnnotation(UINT, WPARAM wParam, LPARAM);
    LRESULT OnEventMessage(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnNewData(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnBackgroundColour(UINT, WPARAM, LPARAM);
    LRESULT OnColourTable(UINT, WPARAM, LPARAM);
    LRESULT OnTelegram(UINT, WPARAM, LPARAM);
    LRESULT OnLobeCommand(UINT, WPARAM, LPARAM);
    LRESULT OnHistoryMessage(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnEnvironmentChanged(UINT, WPARAM, LPARAM);
    LRESULT OnShowChannelStatus(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnShowReplayButtons(UINT message, WPARAM, LPARAM lParam);
    // The tool windows' messages that pass as they come.
    LRESULT OnToolWindow(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnSerialAnnotation(UINT, WPARAM, LPARAM);
    LRESULT OnUpdateTitle(UINT, WPARAM, LPARAM lParam);

    CPelmaris& m_app;
    unsigned m_menuId;
    HWND m_hwnd = 0;
    UINT m_exitMessage = 0;
    UINT m_helpMessage = 0;
    QMdiArea* m_mdi = nullptr;
    std::unique_ptr<CStatus> m_status;
    CStatusBarWidget* m_statusWidget = nullptr;
    std::map<unsigned, QAction*> m_actions;
    std::set<HWND> m_descendants;
    int m_asyncState = 0;
    int m_asyncCounter = 0;
    bool m_pingTimer = false;
    bool m_paletteLimited = true;
    bool m_newLayoutPending = false;
    int m_lastWidth = 0;
    int m_lastHeight = 0;
    int m_palette = 2;
    int m_paletteValue = 0;
    int m_grayscale = 0;
    int m_greyOnSidescan = 0;
    int m_copperOnSidescan = 0;
    int m_qyColours = 1;
    int m_colourScheme = 0;
    int m_statusWindowFlag = 0;
    int m_replayControlFlag = 0;
    unsigned m_titleStringId = 0;
    std::string m_title;
    std::string m_pingCountFormat = "%d";
    bool m_exitPending = false;
    bool m_closing = false;
};

}  // namespace app
