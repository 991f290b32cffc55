#include "seriallib/Sercor32.h"

#include "seriallib/Protocol.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Holds the port's exit-protocol lock for a scope.
class ExitProtocolGuard
{
public:
    explicit ExitProtocolGuard(CSercor& port) : m_Port(port) { m_Port.EnterExitProtocol(); }
    ~ExitProtocolGuard() { m_Port.LeaveExitProtocol(); }
    ExitProtocolGuard(const ExitProtocolGuard&) = delete;
    ExitProtocolGuard& operator=(const ExitProtocolGuard&) = delete;

private:
    CSercor& m_Port;
};

std::string ReadProfileString(HKEY key, const char* name, const std::string& fallback)
{
    if (!key)
        return fallback;
    char buffer[256] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer - 1;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return fallback;
    return std::string(buffer, strnlen(buffer, size));
}

int ReadProfileInt(HKEY key, const char* name, int fallback)
{
    if (!key)
        return fallback;
    BYTE bytes[4] = {};
    DWORD type = 0;
    DWORD size = sizeof bytes;
    if (RegQueryValueEx(key, name, nullptr, &type, bytes, &size) != ERROR_SUCCESS)
        return fallback;
    if (type == REG_DWORD && size == sizeof bytes)
        return CByteReader(bytes, sizeof bytes).I32(0);
    return fallback;
}

void WriteProfileString(HKEY key, const char* name, const std::string& value)
{
    RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                  static_cast<DWORD>(value.size() + 1));
}

void WriteProfileInt(HKEY key, const char* name, int value)
{
    BYTE bytes[4];
    CByteWriter(bytes, sizeof bytes).I32(0, value);
    RegSetValueEx(key, name, 0, REG_DWORD, bytes, sizeof bytes);
}

bool ParseDecimal(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

}  // namespace

CSercor32::CSercor32() = default;

CSercor32::~CSercor32()
{
    Close();
}

std::shared_ptr<ISerialBackend> CSercor32::Backend() const
{
    std::lock_guard lock(m_PortLock);
    return m_pLine;
}

std::string CSercor32::GetPortName() const
{
    return m_strPort;
}

bool CSercor32::GetPortHandle() const
{
    return static_cast<bool>(Backend());
}

std::string CSercor32::GetLastError() const
{
    return m_strLastError;
}

BOOL CSercor32::Create(const char* section, BOOL silent)
{
    if (section)
        m_strSection = section;
    m_bCreated = TRUE;
    {
        std::lock_guard lock(m_PortLock);
        m_Statistics = tag_COM_STATISTICS{};
    }
    UpdateIniSection(IniLoad);
    bool ok = SetupConnection() == 0;
    if (ok)
        StartTicker();
    if (ok && !m_Reader.joinable() && Backend())
        CreateMonitor();
    if (!ok) {
        if (!silent)
            MessageBox(0, kSercorIllegalSetup, kSercorCaption, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    return TRUE;
}

BOOL CSercor32::CreateEx(const char* port, int baud, int dataBits, int parity, int stopBits, BOOL silent)
{
    m_strPort = port ? port : "";
    m_bPortNone = m_strPort == s_szPortNone;
    m_nBaud = baud;
    m_nDataBits = dataBits;
    m_nParity = parity;
    m_nStopBits = stopBits;
    return Create(nullptr, silent);
}

BOOL CSercor32::Close()
{
    m_bCreated = FALSE;
    m_pStatistics.reset();
    StopTicker();
    DestroyMonitor();
    std::shared_ptr<ISerialBackend> line;
    {
        std::lock_guard lock(m_PortLock);
        line.swap(m_pLine);
    }
    // A transmit thread still writing holds its own reference; waking it
    // makes it give up at once, and the line closes when it lets go.
    if (line)
        line->Cancel();
    m_strOpenedPort.clear();
    return TRUE;
}

int CSercor32::SetupConnection()
{
    auto line = Backend();
    if (line && m_strOpenedPort != m_strPort) {
        DestroyMonitor();
        line->Purge();
        line->Cancel();
        std::lock_guard lock(m_PortLock);
        m_pLine.reset();
        line.reset();
    }
    if (!line) {
        m_strOpenedPort.clear();
        if (m_bPortNone || m_strPort == s_szPortNone) {
            m_bPortNone = TRUE;
            m_strOpenedPort = m_strPort;
            return 0;
        }
        std::string error;
        std::unique_ptr<ISerialBackend> opened = OpenSerialBackend(m_strPort, &error);
        if (!opened) {
            m_strLastError = error.empty() ? ("Unable to open " + m_strPort) : error;
            return 2;
        }
        line = std::move(opened);
        {
            std::lock_guard lock(m_PortLock);
            m_pLine = line;
        }
        m_strOpenedPort = m_strPort;
        if (m_bCreated && !m_Reader.joinable())
            CreateMonitor();
    }
    SerialLineSettings settings;
    settings.baud = m_nBaud > 0 ? static_cast<DWORD>(m_nBaud) : 0;
    settings.dataBits = m_nDataBits;
    settings.parity = m_nParity;
    settings.stopBits = m_nStopBits;
    settings.ctsFlow = m_bRTSCTS != 0;
    settings.dsrFlow = m_bDTRDSR != 0;
    settings.xonXoff = m_bXonXoff != 0;
    if (!line->Configure(settings)) {
        m_strLastError = m_strPort + ": the line refuses these settings";
        return 2;
    }
    if (m_nBaud > 0) {
        const DWORD bits =
            1 + static_cast<DWORD>(m_nDataBits) + (m_nParity != NOPARITY ? 1 : 0) + (m_nStopBits != ONESTOPBIT ? 2 : 1);
        m_nCharTime = static_cast<DWORD>(std::uint64_t(bits) * 10'000'000ULL / static_cast<DWORD>(m_nBaud));
    }
    ApplyTimeouts();
    return 0;
}

void CSercor32::ApplyTimeouts()
{
    // The reader applies the effective interval time-out itself; nothing is
    // kept in the line.
}

BOOL CSercor32::Configure(BOOL allowNone)
{
    CComOptions options;
    if (!m_strPort.empty() && GetPortHandle())
        options.ports.push_back(m_strPort);
    for (int n = 1; n <= 16; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (name == m_strPort && GetPortHandle())
            continue;
        if (OpenSerialBackend(name))
            options.ports.push_back(name);
    }
    if (allowNone)
        options.ports.push_back(kSercorPortNone);
    options.port = m_bPortNone ? std::string(kSercorPortNone) : m_strPort;
    options.baud = std::to_string(m_nBaud);
    options.dataBits = std::to_string(m_nDataBits);
    options.parity = m_nParity;
    options.stopBits = m_nStopBits;
    options.dtrDsr = m_bDTRDSR;
    options.rtsCts = m_bRTSCTS;
    options.xonXoff = m_bXonXoff;
    options.help = m_OptionsHelp;

    const auto& run = GetSercorHooks().runOptions;
    if (!run || !run(options))
        return TRUE;

    int baud = m_nBaud;
    int dataBits = m_nDataBits;
    // Text that is not a number keeps the old value rather than setting 0.
    ParseDecimal(options.baud, baud);
    ParseDecimal(options.dataBits, dataBits);
    m_nBaud = baud;
    m_nDataBits = dataBits;
    if (options.parity >= 0)
        m_nParity = options.parity;
    if (options.stopBits >= 0)
        m_nStopBits = options.stopBits;
    m_bDTRDSR = options.dtrDsr;
    m_bRTSCTS = options.rtsCts;
    m_bXonXoff = options.xonXoff;
    if (allowNone && options.port == kSercorPortNone) {
        m_strPort = s_szPortNone;
        m_bPortNone = TRUE;
    } else {
        m_strPort = options.port;
        m_bPortNone = m_strPort == s_szPortNone;
    }
    UpdateEffectiveRxTimeout();
    UpdateIniSection(IniStore);
    if (m_bCreated) {
        if (SetupConnection() != 0) {
            MessageBox(0, kSercorIllegalSetup, kSercorCaption, MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
        StartTicker();
    }
    return TRUE;
}

BOOL CSercor32::Send(CTarnMessage* message)
{
    auto line = Backend();
    if (!line || m_bTickerStop.load() || !message)
        return FALSE;
    if (!WaitTransmitterFree(kTransmitWaitMs)) {
        // Stopping: the telegram is dropped rather than the stop held.
        delete message;
        return TRUE;
    }
    const DWORD size = message->GetSize();
    DWORD done = 0;
    // A write the line refuses is not retried for ever: the rest of the
    // telegram is dropped and counted.
    while (done < size) {
        const long n = PutMessage(*line, message->GetDataPtr() + done, size - done);
        if (n > 0) {
            std::lock_guard lock(m_PortLock);
            m_Statistics.BytesSent += static_cast<DWORD>(n);
            done += static_cast<DWORD>(n);
        }
        if (n <= 0 || done < size) {
            std::lock_guard lock(m_PortLock);
            ++m_Statistics.OtherErrors;
            SetTransmitterFree();
            break;
        }
    }
    if (size == 0)
        SetTransmitterFree();
    delete message;
    return TRUE;
}

long CSercor32::PutMessage(ISerialBackend& line, const BYTE* bytes, DWORD n)
{
    const long written = line.Write(bytes, n, kTransmitWaitMs);
    if (written > 0) {
        if (m_nTxDelay.load())
            m_nTxDelayCountdown = m_nTxDelay.load();
        else
            SetTransmitterFree();
    }
    return written;
}

void CSercor32::SetTransmitterFree()
{
    {
        std::lock_guard lock(m_TxFreeMutex);
        m_bTxFree = true;
    }
    m_TxFreeCv.notify_one();
}

bool CSercor32::WaitTransmitterFree(DWORD ms)
{
    std::unique_lock lock(m_TxFreeMutex);
    const unsigned wakeups = m_nTxWakeups;
    m_TxFreeCv.wait_for(lock, std::chrono::milliseconds(ms),
                        [&] { return m_bTxFree || m_bTickerStop.load() || m_nTxWakeups != wakeups; });
    const bool stopped = m_bTickerStop.load() || m_nTxWakeups != wakeups;
    m_bTxFree = false;  // auto-reset
    return !stopped;
}

void CSercor32::WakeTransmitter()
{
    {
        std::lock_guard lock(m_TxFreeMutex);
        ++m_nTxWakeups;
    }
    m_TxFreeCv.notify_all();
}

BOOL CSercor32::ShowStatistics(BOOL show)
{
    if (show) {
        if (m_pStatistics)
            return FALSE;
        const auto& make = GetSercorHooks().showPortStatistics;
        if (!make)
            return FALSE;
        m_pStatistics = make(this);
        return m_pStatistics ? TRUE : FALSE;
    }
    if (!m_pStatistics)
        return FALSE;
    // Move out first: the window may ask again while it goes.
    auto window = std::move(m_pStatistics);
    window.reset();
    return TRUE;
}

BOOL CSercor32::SetTimeouts(DWORD charTimeout, DWORD txDelay, DWORD refBaud)
{
    SetTxDelay(txDelay);
    return SetRxTimeouts(charTimeout, 10 * charTimeout, refBaud);
}

void CSercor32::UpdateEffectiveRxTimeout()
{
    DWORD effective = m_nRxTimeout;
    if (m_nRefBaud && m_nBaud > 0 && m_nBaud < 9600)
        effective = static_cast<DWORD>(std::uint64_t(m_nRxTimeout) * m_nRefBaud / static_cast<DWORD>(m_nBaud));
    m_nRxTimeoutEff = effective;
}

BOOL CSercor32::SetRxTimeouts(DWORD charTimeout, DWORD totalTimeout, DWORD refBaud)
{
    m_nRxTimeout = charTimeout;
    m_nRxTotalTimeout = totalTimeout;
    m_nRefBaud = refBaud;
    UpdateEffectiveRxTimeout();
    ApplyTimeouts();
    return TRUE;
}

BOOL CSercor32::SetTxDelay(DWORD ms)
{
    m_nTxDelay = ms / 10;
    return TRUE;
}

DWORD CSercor32::GetRxTimeout()
{
    return m_nRxTimeout;
}
DWORD CSercor32::GetRxTotalTimeout()
{
    return m_nRxTotalTimeout;
}
DWORD CSercor32::GetRxRefBaud()
{
    return m_nRefBaud;
}
DWORD CSercor32::GetTxDelay()
{
    return m_nTxDelay;
}

DWORD CSercor32::GetMessageIn100ns(DWORD characters)
{
    return characters * m_nCharTime.load();
}

BOOL CSercor32::SetEventMask(DWORD mask)
{
    if (!GetPortHandle())
        return FALSE;
    m_nEventMask = mask;
    return TRUE;
}

BOOL CSercor32::SetDTR(BOOL on)
{
    auto line = Backend();
    return line ? line->Escape(on ? SETDTR : CLRDTR) : FALSE;
}

BOOL CSercor32::SetRTS(BOOL on)
{
    auto line = Backend();
    return line ? line->Escape(on ? SETRTS : CLRRTS) : FALSE;
}

BOOL CSercor32::SetXON(BOOL on)
{
    auto line = Backend();
    return line ? line->Escape(on ? SETXON : SETXOFF) : FALSE;
}

BOOL CSercor32::SetBreak(BOOL on)
{
    auto line = Backend();
    return line ? line->Escape(on ? SETBREAK : CLRBREAK) : FALSE;
}

BOOL CSercor32::AutoDetect(BOOL)
{
    return FALSE;
}

BOOL CSercor32::GetStatistics(tag_COM_STATISTICS* out)
{
    if (!out)
        return FALSE;
    std::lock_guard lock(m_PortLock);
    *out = m_Statistics;
    return TRUE;
}

BOOL CSercor32::UpdateIniSection(IniOp op)
{
    if (m_strSection.empty())
        return FALSE;
    const std::string path = std::string(kSercorProfileKey) + "\\" + m_strSection;
    HKEY key = nullptr;
    if (op == IniLoad) {
        if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            key = nullptr;
        m_strPort = ReadProfileString(key, "Port", "");
        if (m_strPort.empty())
            m_strPort = "COM1";
        m_nBaud = ReadProfileInt(key, "Baud", 9600);
        m_nDataBits = ReadProfileInt(key, "Databits", 8);
        m_nParity = ReadProfileInt(key, "Parity", 0);
        m_nStopBits = ReadProfileInt(key, "StopBits", 0);
        m_bDTRDSR = ReadProfileInt(key, "DTRDSR", 0);
        m_bRTSCTS = ReadProfileInt(key, "RTSCTS", 0);
        m_bXonXoff = ReadProfileInt(key, "XonOff", 0);
        m_bPortNone = m_strPort == s_szPortNone;
        UpdateEffectiveRxTimeout();
    } else {
        if (RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                           nullptr) != ERROR_SUCCESS)
            return FALSE;
        WriteProfileString(key, "Port", m_strPort);
        WriteProfileInt(key, "Baud", m_nBaud);
        WriteProfileInt(key, "Databits", m_nDataBits);
        WriteProfileInt(key, "Parity", m_nParity);
        WriteProfileInt(key, "StopBits", m_nStopBits);
        WriteProfileInt(key, "DTRDSR", m_bDTRDSR);
        WriteProfileInt(key, "RTSCTS", m_bRTSCTS);
        WriteProfileInt(key, "XonOff", m_bXonXoff);
    }
    if (key)
        RegCloseKey(key);
    return TRUE;
}

// Threads -----------------------------------------------------------------

void CSercor32::StartTicker()
{
    if (m_Ticker.joinable())
        return;
    m_bTickerStop = false;
    m_Ticker = std::thread([this] { TickerThread(); });
}

void CSercor32::StopTicker()
{
    {
        std::lock_guard lock(m_TickerMutex);
        m_bTickerStop = true;
    }
    m_TickerWake.notify_all();
    SetTransmitterFree();
    m_TxFreeCv.notify_all();
    if (m_Ticker.joinable()) {
        if (m_Ticker.get_id() == std::this_thread::get_id())
            m_Ticker.detach();
        else
            m_Ticker.join();
    }
}

void CSercor32::TickerThread()
{
    std::unique_lock lock(m_TickerMutex);
    for (;;) {
        if (m_TickerWake.wait_for(lock, std::chrono::milliseconds(10), [&] { return m_bTickerStop.load(); }))
            return;
        lock.unlock();
        DWORD delay = m_nTxDelayCountdown.load();
        while (delay && !m_nTxDelayCountdown.compare_exchange_weak(delay, delay - 1)) {
        }
        if (delay == 1)
            SetTransmitterFree();
        DWORD idle = m_nIdleCountdown.load();
        while (idle && !m_nIdleCountdown.compare_exchange_weak(idle, idle - 1)) {
        }
        if (idle == 1) {
            ExitProtocolGuard guard(*this);
            if (CProtocol* protocol = GetRxProtocol())
                protocol->ErrorCallback(COM_RX_TIMEOUT);
        }
        lock.lock();
    }
}

void CSercor32::CreateMonitor()
{
    if (m_Reader.joinable())
        return;
    auto line = Backend();
    if (!line)
        return;
    line->ResetCancel();
    // Purged here, not on the reader, so nothing that arrives once the port
    // is created can be thrown away by a reader starting late.
    line->Purge();
    m_bReaderStop = false;
    m_Reader = std::thread([this, line] {
        (void)line;
        ReaderThread();
    });
}

void CSercor32::DestroyMonitor()
{
    m_bReaderStop = true;
    if (auto line = Backend())
        line->Cancel();
    if (m_Reader.joinable()) {
        if (m_Reader.get_id() == std::this_thread::get_id())
            m_Reader.detach();
        else
            m_Reader.join();
    }
    if (auto line = Backend())
        line->ResetCancel();
}

void CSercor32::ReaderThread()
{
    auto line = Backend();
    if (!line)
        return;
    std::vector<BYTE> block(kReadBlock);
    while (!m_bReaderStop.load()) {
        const SerialWait wait = line->Wait(kReaderWaitMs);
        if (m_bReaderStop.load())
            break;
        switch (wait) {
        case SerialWait::Event:
            ReportStatusEvent(line->TakeEvents());
            continue;
        case SerialWait::Readable:
            break;
        case SerialWait::Cancelled:
            continue;
        case SerialWait::Timeout:
        case SerialWait::Failed:
            // Nothing is written to the line on an empty wait: a peer must
            // never receive bytes it was not sent.
            ++m_nEmptyWaits;
            continue;
        }
        long n = line->Read(block.data(), kReadBlock);
        if (n <= 0) {
            ++m_nEmptyWaits;
            continue;
        }
        // A block ends when the line stays silent for the character
        // time-out or the block is full; without a time-out it is what is
        // buffered now.
        const DWORD interval = m_nRxTimeoutEff.load();
        while (interval && static_cast<DWORD>(n) < kReadBlock && !m_bReaderStop.load()) {
            if (line->Wait(interval) != SerialWait::Readable)
                break;
            const long more = line->Read(block.data() + n, kReadBlock - static_cast<DWORD>(n));
            if (more <= 0)
                break;
            n += more;
        }
        {
            ExitProtocolGuard guard(*this);
            if (CProtocol* protocol = GetRxProtocol())
                protocol->ReportIncoming(static_cast<DWORD>(n), static_cast<DWORD>(n) < kReadBlock ? interval : 0);
        }
        ReceiveBuffer(block.data(), static_cast<DWORD>(n));
    }
}

BOOL CSercor32::ReceiveBuffer(const BYTE* bytes, DWORD n)
{
    {
        std::lock_guard lock(m_PortLock);
        m_nIdleCountdown = m_nRxTotalTimeout.load() / 10;
        m_Statistics.BytesReceived += n;
    }
    ExitProtocolGuard guard(*this);
    CProtocol* protocol = GetRxProtocol();
    if (!protocol)
        return TRUE;
    for (DWORD i = 0; i < n; ++i)
        protocol->ReceiveCallback(bytes[i], i + 1 == n ? 1 : 0);
    return TRUE;
}

void CSercor32::ReportStatusEvent(DWORD events)
{
    auto line = Backend();
    if (events & EV_TXEMPTY) {
        if (m_nTxDelay.load())
            m_nTxDelayCountdown = m_nTxDelay.load();
        else
            SetTransmitterFree();
    }
    if ((events & EV_ERR) && line) {
        const DWORD errors = line->ClearError();
        {
            std::lock_guard lock(m_PortLock);
            if (errors & CE_RXPARITY)
                ++m_Statistics.ParityErrors;
            if (errors & CE_OVERRUN)
                ++m_Statistics.OverrunErrors;
            if (errors & CE_FRAME)
                ++m_Statistics.FramingErrors;
            if (errors & ~(CE_RXPARITY | CE_OVERRUN | CE_FRAME))
                ++m_Statistics.OtherErrors;
        }
        // The bytes around a line error cannot be trusted: the receive
        // protocol counts it and drops what it was assembling.
        if (errors) {
            ExitProtocolGuard guard(*this);
            if (CProtocol* protocol = GetRxProtocol())
                protocol->ErrorCallback(COM_ERROR_REPORT);
        }
    }
    const DWORD reported = events & m_nEventMask.load();
    if (reported && line) {
        const DWORD status = line->GetModemStatus();
        ExitProtocolGuard guard(*this);
        if (CProtocol* protocol = GetRxProtocol())
            protocol->ReportComState(reported, status);
    }
}
