// Fixtures shared by the shell's tests: temporary hives and data folders, a
// fatal report that throws, and a main frame that records what reaches it.
#pragma once

#include "app/MainFrameInterface.h"
#include "app/Pelmaris.h"
#include "base/EchosounderError.h"
#include "base/Status.h"
#include "platform/ClockSetter.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace shelltest {

struct FatalReported
{
    std::string text;
};

// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Hives, data root, XDG data and configuration folders, no network
// adapters, an event log file and a fatal report that throws FatalReported.
class ShellEnvironment
{
public:
    ShellEnvironment()
        : m_root(MakeTemp()),
          m_data("ZELVAR_DATA_ROOT", (m_root / "data").c_str()),
          m_xdg("XDG_DATA_HOME", (m_root / "xdg").c_str()),
          m_xdgConfig("XDG_CONFIG_HOME", (m_root / "xdg-config").c_str()),
          m_adapters("ZELVAR_ADAPTERS", ""),
          m_log("ZELVAR_EVENTLOG_FILE", (m_root / "events.log").c_str()),
          m_poweroff("ZELVAR_POWEROFF_COMMAND", nullptr)
    {
        ClearMessageBoxRecord();
        SetFatalErrorHandler([](const std::string& text) { throw FatalReported{text}; });
        // The serial sensors a program makes open their ports: none of this
        // machine's serial devices is probed.
        for (int n = 1; n <= 16; ++n) {
            const std::string port = (m_root / ("no-COM" + std::to_string(n))).string();
            m_ports.push_back(std::make_unique<ScopedEnv>(("ZELVAR_COM" + std::to_string(n)).c_str(), port.c_str()));
        }
    }
    ~ShellEnvironment()
    {
        SetFatalErrorHandler(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path DataRoot() const { return m_root / "data"; }
    std::filesystem::path XdgData() const { return m_root / "xdg"; }
    std::string EventLog() const;

private:
    static std::filesystem::path MakeTemp()
    {
        char pattern[] = "/tmp/zv-shell-XXXXXX";
        return mkdtemp(pattern);
    }
    CTempHives m_hives;
    std::filesystem::path m_root;
    ScopedEnv m_data, m_xdg, m_xdgConfig, m_adapters, m_log, m_poweroff;
    std::vector<std::unique_ptr<ScopedEnv>> m_ports;
};

inline std::string ShellEnvironment::EventLog() const
{
    std::string text;
    if (FILE* f = std::fopen((m_root / "events.log").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

struct PostedMessage
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::optional<std::string> text;                // a std::string payload
    std::optional<std::vector<std::string>> files;  // a file list payload
};

// A main frame without a window: records its messages and calls.
class FakeFrame : public app::IMainFrame
{
public:
    FakeFrame()
    {
        m_hwnd = CreateMessageWindow([this](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
            PostedMessage m{message, w, l, std::nullopt, std::nullopt};
            if (auto* text = CurrentPayload<std::string>())
                m.text = *text;
            if (auto* files = CurrentPayload<CReplayFileList>())
                m.files = files->GetFiles();
            messages.push_back(m);
            if (onMessage)
                return onMessage(message, w, l);
            return 0;
        });
    }
    ~FakeFrame() override { DestroyWindow(m_hwnd); }

    HWND GetSafeHwnd() const override { return m_hwnd; }
    app::CStatus* GetStatus() override { return status.get(); }
    void SetGreyScaleFlags(int, int, int) override {}
    void ShowMainWindow(bool maximised) override { shownMaximised = maximised; }
    void FirstLayout() override { ++firstLayouts; }
    void ReloadMenu() override { ++menuReloads; }
    void ShowForOpen(int mode) override { openShowMode = mode; }
    void StopPingTimer() override {}
    void EnableMessagePane(bool) override {}
    void ApplyColourScheme(int) override {}
    int GetColourScheme() const override { return 0; }
    bool RunDebugTraceDialog(std::array<int, 7>&) override { return false; }
    bool RunLanguageDialog(unsigned&) override { return false; }
    void RunAboutBox() override {}

    // Delivers what is queued for the frame.
    void Drain()
    {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    }
    std::vector<PostedMessage> Of(UINT message) const
    {
        std::vector<PostedMessage> out;
        for (const auto& m : messages)
            if (m.message == message)
                out.push_back(m);
        return out;
    }

    std::vector<PostedMessage> messages;
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onMessage;
    std::unique_ptr<app::CStatus> status;  // none unless the test makes one
    std::optional<bool> shownMaximised;
    std::optional<int> openShowMode;
    int firstLayouts = 0;
    int menuReloads = 0;

private:
    HWND m_hwnd = 0;
};

// The shell's own operation link with a number of installed transceivers and
// a running sounder the test chooses (never started: only its presence is
// read).
class FakeOperation : public app::CShellOperation
{
public:
    using CShellOperation::CShellOperation;
    int GetTransceiverCount() override { return transceivers; }
    CEchoSounder* GetEchoSounder() override { return sounder; }
    bool IsReplaying() override { return replaying; }
    void PostStopAndExit() override
    {
        ++stopAndExitPosted;
        if (!holdStopAndExit)
            CShellOperation::PostStopAndExit();
    }
    void PostStartWithFiles(const CReplayFileList& files) override { replayStarts.push_back(files.GetFiles()); }
    std::vector<InstalledTransceiver> GetInstalledTransceivers() override { return installed; }
    int transceivers = 0;
    std::vector<InstalledTransceiver> installed;
    CEchoSounder* sounder = nullptr;
    bool replaying = false;
    // Stop and exit is counted and, when held, goes no further.
    bool holdStopAndExit = false;
    int stopAndExitPosted = 0;
    std::vector<std::vector<std::string>> replayStarts;
};

// Stands in front of the computer's clock while it lives: what would be
// set is kept, and nothing is set.
struct RecordingClock : IClockSetter
{
    RecordingClock() { CClockSetter::Install(this); }
    ~RecordingClock() override { CClockSetter::Install(nullptr); }
    bool SetUtc(std::uint64_t fileTime) override
    {
        setTo.push_back(fileTime);
        return true;
    }
    std::vector<std::uint64_t> setTo;
};

// A program around the shell that records what the application hands it.
class RecordingHost : public app::CShellHost
{
public:
    void AnnotationToOutputs(const std::string& text, std::uint64_t) override { annotations.push_back(text); }
    void ProfileToOutputs(const std::string& text, std::uint64_t) override { profiles.push_back(text); }
    int RecordProfile(const std::string& text) override { return static_cast<int>(text.size()); }
    bool NavigationExpectsPositions() override { return expectsPositions; }
    void GetPositionTimes(std::uint64_t& position, std::uint64_t& other) override
    {
        position = positionTime;
        other = otherPositionTime;
    }
    void ClockWasSet() override { clockEnded = true; }
    std::optional<bool> RefreshPrintingDocument() override
    {
        ++printingRefreshes;
        return printingViews;
    }
    std::vector<std::string> annotations, profiles;
    std::optional<bool> printingViews;  // nullopt: no printing document
    int printingRefreshes = 0;
    bool expectsPositions = false;
    std::uint64_t positionTime = 0, otherPositionTime = 0;
    bool clockEnded = false;
};

// A sensor object that exists and may have a settings dialog.
class FakeSensor : public app::CSensorObject
{
public:
    explicit FakeSensor(bool dialog = false, std::vector<std::string>* opened = nullptr, std::string name = {})
        : m_dialog(dialog), m_opened(opened), m_name(std::move(name))
    {}
    bool HasSettingsDialog() const override { return m_dialog; }
    void RunSettingsDialog() override
    {
        if (m_opened)
            m_opened->push_back(m_name);
    }

private:
    bool m_dialog;
    std::vector<std::string>* m_opened;
    std::string m_name;
};

}  // namespace shelltest
