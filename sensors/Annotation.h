// Texts that mark echograms and recordings: numbered events on a menu
// command, a text typed in the settings dialog, and the local time at a
// fixed interval. One lives inside each running sounder; every text goes to
// the application's annotation service. The decoder reads Navigation and
// NavigationInterval for its position annotations.
//
// Threads: everything runs on the user-interface thread except the two
// getters the decoder uses, which read atomics.
#pragma once

#include "base/StdTimer.h"
#include "platform/Registry.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CAnnotation
{
public:
    static constexpr const char* kSection = "Annotation";
    static constexpr std::uint32_t kMaxEvent = 9999;

    struct Settings
    {
        std::uint32_t EventNumber = 0;
        std::uint32_t EventIncrease = 1;
        std::uint32_t EventAddPosition = 0;
        std::uint32_t EventAddTime = 0;
        std::uint32_t Timer = 0;
        std::uint32_t TimerInterval = 60;  // s
        std::uint32_t Navigation = 0;
        std::uint32_t NavigationInterval = 60;
    };
    // What the settings dialog hands back on OK.
    struct DialogResult
    {
        std::string text;
        Settings settings;
    };

    struct Links
    {
        std::function<bool()> isReplaying;
        std::function<void(const std::string& text, std::uint64_t time)> addAnnotation;
        std::function<std::string()> positionText;
        // Message 0x474 to the main window with the event number.
        std::function<void(std::uint32_t number)> postEventNumber;
        // Local time of day "HH:mm:ss"; empty: the program's own.
        std::function<std::string(std::uint64_t time)> formatTimeLocal;
    };

    explicit CAnnotation(Links links);
    ~CAnnotation();
    CAnnotation(const CAnnotation&) = delete;
    CAnnotation& operator=(const CAnnotation&) = delete;

    // Reads the settings under key\Annotation, starts the timer when it is
    // on and posts the event number.
    void SetUserKey(HKEY key);
    void LoadSettings();
    void SaveSettings() const;
    Settings GetSettings() const { return m_settings; }

    // Command 32866.
    void OnEvent();
    // The dialog's OK.
    void Apply(const DialogResult& result);
    // The periodic annotation (the timer's tick).
    void OnTimer();
    bool IsTimerRunning() { return m_timer.IsRunning() != FALSE; }

    bool GetNavigation() const { return m_navigation.load() != 0; }
    std::uint32_t GetNavigationInterval() const { return m_navigationInterval.load(); }

    static std::uint32_t NextEventNumber(std::uint32_t number, bool increase);

private:
    class Timer : public CStdTimer
    {
    public:
        explicit Timer(CAnnotation& owner) : m_owner(owner) {}
        ~Timer() override { Stop(); }
        void OnTimer() override { m_owner.OnTimer(); }

    private:
        CAnnotation& m_owner;
    };

    std::string TimeText(std::uint64_t time) const;
    void Publish();
    void RestartTimer();

    Links m_links;
    HKEY m_key = nullptr;
    Settings m_settings;
    std::atomic<std::uint32_t> m_navigation{0};
    std::atomic<std::uint32_t> m_navigationInterval{60};
    Timer m_timer{*this};
};
