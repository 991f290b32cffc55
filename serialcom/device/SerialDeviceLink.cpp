#include "serialcom/device/SerialDeviceLink.h"

#include <atomic>

namespace {

struct SBstr
{
    explicit SBstr(const std::string& s) : b(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~SBstr() { SysFreeString(b); }
    SBstr(const SBstr&) = delete;
    SBstr& operator=(const SBstr&) = delete;
    BSTR b;
};

}  // namespace

BOOL CreateComInstance(const char* progId, REFIID riid, void** ppv)
{
    if (!ppv)
        return FALSE;
    *ppv = nullptr;
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid)))
        return FALSE;
    IClassFactory* factory = nullptr;
    if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory))) ||
        !factory)
        return FALSE;
    IUnknown* unknown = nullptr;
    if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown))) || !unknown) {
        factory->Release();
        return FALSE;
    }
    const HRESULT hr = unknown->QueryInterface(riid, ppv);
    factory->Release();
    unknown->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return SUCCEEDED(hr) && *ppv ? TRUE : FALSE;
}

CSerialDeviceLink::CSerialDeviceLink(std::string settingId, std::string rxProtocol, std::string txProtocol)
    : m_strSettingId(std::move(settingId)), m_strRx(std::move(rxProtocol)), m_strTx(std::move(txProtocol))
{}

CSerialDeviceLink::~CSerialDeviceLink()
{
    CloseSerial();
}

const char* CSerialDeviceLink::RxProtocolForTermination(int termination)
{
    switch (termination) {
    case 1:
        return "ASCII_CR";
    case 2:
        return "ASCII_LF";
    default:
        return "ASCII";
    }
}

HRESULT CSerialDeviceLink::OpenSerial()
{
    std::lock_guard lock(m_ComLock);
    if (m_pCom)
        return 0;
    ISerialCom* com = nullptr;
    if (!CreateComInstance(kSerialComProgId, IID_ISerialCom, reinterpret_cast<void**>(&com)) || !com)
        return E_NOINTERFACE;
    SBstr id(m_strSettingId);
    // The component refuses only a port that did not open; it is kept all
    // the same, with its receive protocol, so that its port dialog can
    // choose another port and the line starts from there.
    m_bPortOpen = SUCCEEDED(com->Create2(reinterpret_cast<LONG_PTR>(static_cast<ISerialComOwner*>(this)), id.b));
    if (!m_strRx.empty()) {
        SBstr rx(m_strRx);
        com->put_RxProtocol(rx.b);
    }
    if (!m_strTx.empty()) {
        SBstr tx(m_strTx);
        com->put_TxProtocol(tx.b);
    }
    m_strRxName = ReadName(com, true);
    m_strTxName = ReadName(com, false);
    m_pCom = com;
    return 0;
}

std::string CSerialDeviceLink::ReadName(ISerialCom* com, bool rx)
{
    BSTR name = nullptr;
    const HRESULT hr = rx ? com->get_RxProtocol(&name) : com->get_TxProtocol(&name);
    std::string text = SUCCEEDED(hr) ? BstrToString(name) : std::string();
    SysFreeString(name);
    return text;
}

void CSerialDeviceLink::CloseSerial()
{
    ISerialCom* com = nullptr;
    {
        std::lock_guard lock(m_ComLock);
        com = m_pCom;
        m_pCom = nullptr;
        m_bPortOpen = false;
        m_strRxName.clear();
        m_strTxName.clear();
        if (com && m_nDialogs > 0) {
            // One of its dialogs is on the stack: it closes when they end.
            m_Closing.push_back(com);
            return;
        }
    }
    if (com)
        Release(com);
}

void CSerialDeviceLink::Release(ISerialCom* com)
{
    // Outside the lock: closing waits for the reader, which may be in our
    // parser.
    com->Close();
    com->Release();
}

bool CSerialDeviceLink::IsOpen() const
{
    std::lock_guard lock(m_ComLock);
    return m_pCom != nullptr;
}

bool CSerialDeviceLink::IsPortOpen() const
{
    std::lock_guard lock(m_ComLock);
    return m_pCom && m_bPortOpen;
}

BOOL CSerialDeviceLink::SendTelegram(const std::string& text)
{
    if (text.empty())
        return FALSE;
    std::lock_guard lock(m_ComLock);
    if (!m_pCom)
        return FALSE;
    SBstr b(text);
    return SUCCEEDED(m_pCom->Send(b.b)) ? TRUE : FALSE;
}

void CSerialDeviceLink::RunDialog(HRESULT (ISerialCom::*dialog)())
{
    ISerialCom* com = nullptr;
    {
        std::lock_guard lock(m_ComLock);
        if (!m_pCom)
            return;
        com = m_pCom;
        com->AddRef();
        ++m_nDialogs;
    }
    (com->*dialog)();
    std::vector<ISerialCom*> closing;
    {
        std::lock_guard lock(m_ComLock);
        if (--m_nDialogs == 0)
            closing.swap(m_Closing);
    }
    com->Release();
    for (ISerialCom* closed : closing)
        Release(closed);
}

void CSerialDeviceLink::ConfigurePort()
{
    RunDialog(&ISerialCom::Configure);
}

void CSerialDeviceLink::ShowStatistics()
{
    RunDialog(&ISerialCom::ShowStatistic);
}

std::string CSerialDeviceLink::SetRxProtocol(const std::string& name)
{
    std::lock_guard lock(m_ComLock);
    if (!m_pCom)
        return {};
    SBstr b(name);
    m_pCom->put_RxProtocol(b.b);
    m_strRxName = ReadName(m_pCom, true);
    return m_strRxName;
}

std::string CSerialDeviceLink::SetTxProtocol(const std::string& name)
{
    std::lock_guard lock(m_ComLock);
    if (!m_pCom)
        return {};
    SBstr b(name);
    m_pCom->put_TxProtocol(b.b);
    m_strTxName = ReadName(m_pCom, false);
    return m_strTxName;
}

CSerialDeviceLink::RxTimeouts CSerialDeviceLink::SetRxTimeouts(DWORD charMs, DWORD totalMs, DWORD refBaudRate)
{
    RxTimeouts back;
    std::lock_guard lock(m_ComLock);
    if (!m_pCom)
        return back;
    m_pCom->SetRxTimeouts(charMs, totalMs, refBaudRate);
    m_pCom->GetRxTotalTimeout(&back.total);
    m_pCom->GetRxRefBaudRate(&back.refBaudRate);
    return back;
}

std::string CSerialDeviceLink::GetRxProtocolName() const
{
    std::lock_guard lock(m_ComLock);
    return m_strRxName;
}

std::string CSerialDeviceLink::GetTxProtocolName() const
{
    std::lock_guard lock(m_ComLock);
    return m_strTxName;
}

BOOL CSerialDeviceLink::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    if (nID != ID_SERIALCOM_RECEIVED)
        return OnOtherCommand(nID, nCode, pExtra, pHandlerInfo);
    const auto* message = static_cast<const CTarnMessage*>(pExtra);
    if (message && message->GetSize() != 0 && message->GetDataPtr() && m_bEnabled)
        ParseTelegram(*message);
    return TRUE;
}
