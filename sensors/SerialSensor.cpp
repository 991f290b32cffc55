#include "sensors/SerialSensor.h"

#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"

#include <cstring>

CSerialSensor::CSerialSensor(std::string settingId, const ISensorHost& host, std::size_t monitorCutAbove,
                             std::size_t monitorKeep)
    : CSerialDeviceLink(std::move(settingId), std::string(), std::string()),
      m_host(host),
      m_monitor(monitorCutAbove, monitorKeep)
{}

CSerialSensor::~CSerialSensor()
{
    // The reader calls into the sensor until the line is closed.
    CloseSerial();
    if (m_key)
        RegCloseKey(m_key);
}

void CSerialSensor::KeepKey(HKEY key)
{
    if (m_key) {
        RegCloseKey(m_key);
        m_key = nullptr;
    }
    if (key && RegOpenKeyEx(key, "", 0, KEY_READ | KEY_WRITE, &m_key) != ERROR_SUCCESS)
        m_key = nullptr;
}

std::string CSerialSensor::TextOf(const CTarnMessage& message)
{
    const char* bytes = reinterpret_cast<const char*>(message.GetDataPtr());
    if (!bytes)
        return {};
    const std::size_t size = message.GetSize();
    const void* nul = std::memchr(bytes, 0, size);
    return std::string(bytes, nul ? static_cast<const char*>(nul) - bytes : size);
}

std::uint64_t CSerialSensor::TimeOf(const CTarnMessage& message)
{
    const std::uint64_t stamp = message.GetTime();
    return stamp != 0 ? stamp : CFileTime::Now();
}

void CSerialSensor::PostTelegram(const std::string& text, std::uint64_t received)
{
    if (HWND frame = GetMainWindow())
        PostMessage(frame, app::WM_ES_TELEGRAM, 0, 0, MakePayload<app::TimedText>(app::TimedText{text, received}));
}

HRESULT CSerialSensor::OpenAsciiPort(unsigned delayMs, const std::atomic<bool>& enabled)
{
    return OpenPortThen("ASCII", delayMs, [this, &enabled] {
        if (enabled.load())
            SetTxProtocol("ASCII");
    });
}

HRESULT CSerialSensor::OpenPortThen(const std::string& rxProtocol, unsigned delayMs, std::function<void()> later)
{
    if (IsOpen())
        return 0;
    const HRESULT hr = OpenSerial();
    if (hr != 0)
        return hr;
    SetRxProtocol(rxProtocol);
    SetRxTimeouts(0, 100, 0);
    if (HWND window = m_monitor.Window())
        SetTimer(window, kTransmitTimer, delayMs, [later = std::move(later)](HWND hwnd, UINT, UINT_PTR id, DWORD) {
            // The timer's own copy goes with it.
            const std::function<void()> run = later;
            KillTimer(hwnd, id);
            run();
        });
    return 0;
}

void CSerialSensor::CloseAsciiPort()
{
    if (HWND window = m_monitor.Window())
        KillTimer(window, kTransmitTimer);
    CloseSerial();
}
