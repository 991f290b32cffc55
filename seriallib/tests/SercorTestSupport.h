// Test helpers: a window that collects what the protocols post, and feeding
// bytes to a protocol the way the port's reader does.
#pragma once

#include "seriallib/Protocol.h"
#include "seriallib/SercorTypes.h"

#include "platform/MessageDispatcher.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

struct SReceived
{
    UINT message = 0;
    std::string bytes;
    std::uint64_t time = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class CReceiverWindow
{
public:
    CReceiverWindow()
    {
        m_hWnd = CreateMessageWindow([this](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
            SReceived r;
            r.message = message;
            r.wParam = w;
            r.lParam = l;
            if (message == WM_SERCOR_MESSAGE) {
                auto* payload = CurrentPayload<std::unique_ptr<CTarnMessage>>();
                const CTarnMessage* m = reinterpret_cast<const CTarnMessage*>(w);
                if (payload && payload->get() == m && m) {
                    r.bytes = static_cast<std::string>(*m);
                    r.time = m->GetTime();
                } else {
                    r.bytes = "<no payload>";
                }
            }
            m_Received.push_back(r);
            if (m_OnMessage)
                m_OnMessage(r);
            return 0;
        });
    }
    ~CReceiverWindow() { DestroyWindow(m_hWnd); }

    HWND Hwnd() const { return m_hWnd; }

    // Delivers what is queued for this thread.
    void Pump()
    {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    }

    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return PumpUntil([&] { return Count(WM_SERCOR_MESSAGE) >= count; }, timeout);
    }

    bool WaitForMessage(UINT message, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return PumpUntil([&] { return Count(message) > 0; }, timeout);
    }

    std::size_t Count(UINT message) const
    {
        std::size_t n = 0;
        for (const auto& r : m_Received)
            n += r.message == message;
        return n;
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& r : m_Received)
            if (r.message == WM_SERCOR_MESSAGE)
                texts.push_back(r.bytes);
        return texts;
    }

    std::vector<SReceived> m_Received;
    std::function<void(const SReceived&)> m_OnMessage;

private:
    HWND m_hWnd = 0;
};

// Hands bytes to a receive protocol in blocks, as the port's reader does.
inline void Feed(CProtocol& protocol, const std::string& bytes, std::size_t block = 1024)
{
    for (std::size_t at = 0; at < bytes.size(); at += block) {
        const std::size_t n = std::min(block, bytes.size() - at);
        protocol.ReportIncoming(static_cast<DWORD>(n), 0);
        for (std::size_t i = 0; i < n; ++i)
            protocol.ReceiveCallback(static_cast<BYTE>(bytes[at + i]), i + 1 == n);
    }
}

inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

inline tag_PROT_STATISTICS StatsOf(CProtocol& protocol)
{
    tag_PROT_STATISTICS s;
    protocol.GetStatistics(&s);
    return s;
}
