#include "serialcom/SerialCom.h"

#include "serialcom/ComASCII.h"
#include "serialcom/ComBinaryForwarder.h"
#include "serialcom/TovrelixApp.h"

#include "seriallib/NMEA.h"
#include "seriallib/RAW.h"

CSerialCom::CSerialCom()
{
    CTovrelixApp::Module().Lock();
}

CSerialCom::~CSerialCom()
{
    // A port left open would keep its reader calling into a caller that is
    // going away.
    Close();
    if (m_pCallback)
        m_pCallback->Release();
    CTovrelixApp::Module().Unlock();
}

HRESULT CSerialCom::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISerialCom) {
        *ppv = static_cast<ISerialCom*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CSerialCom::AddRef()
{
    return ++m_nRef;
}

ULONG CSerialCom::Release()
{
    const ULONG left = --m_nRef;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CSerialCom::Configure()
{
    if (m_pPort)
        m_pPort->Configure(TRUE);
    return S_OK;
}

HRESULT CSerialCom::Create(IUnknown* pUnk, BSTR bsSettingID)
{
    if (pUnk) {
        ISerialComCallback* callback = nullptr;
        if (SUCCEEDED(pUnk->QueryInterface(IID_ISerialComCallback, reinterpret_cast<void**>(&callback))) && callback) {
            if (m_pCallback)
                m_pCallback->Release();
            m_pCallback = callback;
        }
    }
    return CreatePort(BstrToString(bsSettingID));
}

HRESULT CSerialCom::Create2(LONG_PTR pCallBack, BSTR bsSettingID)
{
    m_pOwner = reinterpret_cast<ISerialComOwner*>(pCallBack);
    return CreatePort(BstrToString(bsSettingID));
}

HRESULT CSerialCom::CreatePort(const std::string& settingId)
{
    BOOL opened = FALSE;
    if (!m_pPort) {
        m_pPort = std::make_unique<CComSercor32>();
        const std::string section = settingId + "COM settings";
        opened = m_pPort->Create(section.c_str(), TRUE);
    } else {
        opened = m_pPort->IsCreated();
    }
    if (!m_pRxProtocol) {
        // The name may remain from a protocol a failed open never built.
        m_strRxProtocol.clear();
        MakeRxProtocol("ASCII");
    }
    return opened ? S_OK : E_FAIL;
}

HRESULT CSerialCom::Send(BSTR bsTxString)
{
    if (m_pTxProtocol)
        m_pTxProtocol->Send(BstrToString(bsTxString));
    return S_OK;
}

HRESULT CSerialCom::get_RxProtocol(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = SysAllocString(m_strRxProtocol.c_str());
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT CSerialCom::put_RxProtocol(BSTR newVal)
{
    MakeRxProtocol(BstrToString(newVal));
    return S_OK;
}

HRESULT CSerialCom::get_TxProtocol(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = SysAllocString(m_strTxProtocol.c_str());
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT CSerialCom::put_TxProtocol(BSTR newVal)
{
    MakeTxProtocol(BstrToString(newVal));
    return S_OK;
}

void CSerialCom::MakeRxProtocol(const std::string& requested)
{
    if (requested == m_strRxProtocol && (m_pRxProtocol || requested.empty()))
        return;
    // The protocol's destructor unbinds it from the port under the port's
    // exit-protocol lock, so no byte is being delivered to it when it goes.
    m_pRxProtocol.reset();
    m_strRxProtocol.clear();
    if (requested.empty() || !m_pPort)
        return;

    CSercor* port = m_pPort.get();
    std::string name = requested;
    if (requested == "NMEA") {
        m_pRxProtocol = std::make_unique<CNMEA>(port, PROT_RECEIVE, 0);
    } else if (requested == "MoviraZelvar" || requested == "ZelvarVN") {
        m_pRxProtocol = std::make_unique<CComMoviraZelvar>(port, PROT_RECEIVE, m_pOwner, m_pCallback);
    } else if (requested == "MoviraVN1500") {
        m_pRxProtocol = std::make_unique<CComMoviraVN1500>(port, PROT_RECEIVE, m_pOwner, m_pCallback);
    } else if (requested == "RAW") {
        m_pRxProtocol = std::make_unique<CComRAW>(port, PROT_RECEIVE, m_pOwner, m_pCallback);
    } else {
        auto p = std::make_unique<CComASCII>(port, PROT_RECEIVE, m_pOwner, m_pCallback);
        port->SetRxTimeouts(40, 10000, 0);
        if (requested == "ASCII_CR") {
            p->SetTerminator(FALSE, TRUE);
        } else if (requested == "ASCII_LF") {
            p->SetTerminator(TRUE, FALSE);
        } else {
            p->SetTerminator(TRUE, TRUE);
            name = "ASCII";
        }
        m_pRxProtocol = std::move(p);
    }
    // The reader may already be delivering to the new protocol.
    port->EnterExitProtocol();
    m_pRxProtocol->SetTimeStamping(TRUE);
    port->LeaveExitProtocol();
    m_strRxProtocol = name;
}

void CSerialCom::MakeTxProtocol(const std::string& requested)
{
    if (requested == m_strTxProtocol && (m_pTxProtocol || requested.empty()))
        return;
    m_pTxProtocol.reset();
    m_strTxProtocol.clear();
    if (requested.empty() || !m_pPort)
        return;

    CSercor* port = m_pPort.get();
    // Some library protocols set the port's receive time-outs as well when
    // built; those belong to the receive protocol chosen before.
    const DWORD rxChar = port->GetRxTimeout();
    const DWORD rxTotal = port->GetRxTotalTimeout();
    const DWORD rxRef = port->GetRxRefBaud();
    std::string name = requested;
    if (requested == "NMEA") {
        m_pTxProtocol = std::make_unique<CNMEA>(port, PROT_TRANSMIT, 0);
    } else if (requested == "RAW") {
        m_pTxProtocol = std::make_unique<CRAW>(port, PROT_TRANSMIT, 0);
    } else {
        auto p = std::make_unique<CASCII>(port, PROT_TRANSMIT, 0);
        p->SetTerminator(TRUE, TRUE);
        m_pTxProtocol = std::move(p);
        name = "ASCII";
    }
    if (m_pRxProtocol)
        port->SetRxTimeouts(rxChar, rxTotal, rxRef);
    m_strTxProtocol = name;
}

HRESULT CSerialCom::ShowStatistic()
{
    if (m_pPort)
        m_pPort->ShowStatistics(TRUE);
    if (m_pTxProtocol)
        m_pTxProtocol->ShowStatistics(TRUE);
    if (m_pRxProtocol)
        m_pRxProtocol->ShowStatistics(TRUE);
    return S_OK;
}

HRESULT CSerialCom::ShowDialog()
{
    return S_OK;
}

HRESULT CSerialCom::Close()
{
    if (!m_pPort)
        return S_OK;
    m_pPort->Close();
    const bool shared = m_pRxProtocol && m_pRxProtocol == m_pTxProtocol;
    m_pRxProtocol.reset();
    if (shared)
        (void)m_pTxProtocol.release();
    m_pTxProtocol.reset();
    m_pPort.reset();
    // A later Create must build its protocols afresh.
    m_strRxProtocol.clear();
    m_strTxProtocol.clear();
    return S_OK;
}

HRESULT CSerialCom::SetRxTimeouts(DWORD dwRxCharTmeout, DWORD dwRxTotalTimeout, DWORD dwRefBaudRate)
{
    if (m_pPort)
        m_pPort->SetRxTimeouts(dwRxCharTmeout, dwRxTotalTimeout, dwRefBaudRate);
    return S_OK;
}

HRESULT CSerialCom::SetTxDelay(DWORD dwTxTelegramDelay)
{
    if (m_pPort)
        m_pPort->SetTxDelay(dwTxTelegramDelay);
    return S_OK;
}

HRESULT CSerialCom::GetRxTimeout(DWORD* pdwRxTimeout)
{
    if (!pdwRxTimeout)
        return E_POINTER;
    if (m_pPort)
        *pdwRxTimeout = m_pPort->GetRxTimeout();
    return S_OK;
}

HRESULT CSerialCom::GetRxTotalTimeout(DWORD* pdwRxTotalTimeout)
{
    if (!pdwRxTotalTimeout)
        return E_POINTER;
    if (m_pPort)
        *pdwRxTotalTimeout = m_pPort->GetRxTotalTimeout();
    return S_OK;
}

HRESULT CSerialCom::GetRxRefBaudRate(DWORD* pdwRxRefBaudRate)
{
    if (!pdwRxRefBaudRate)
        return E_POINTER;
    if (m_pPort)
        *pdwRxRefBaudRate = m_pPort->GetRxRefBaud();
    return S_OK;
}

HRESULT CSerialCom::GetTxDelay(DWORD* pdwTxDelay)
{
    if (!pdwTxDelay)
        return E_POINTER;
    if (m_pPort)
        *pdwTxDelay = m_pPort->GetTxDelay();
    return S_OK;
}

HRESULT CSerialCom::AutoDetect(BOOL* pbSucceeded, BOOL bSilent)
{
    const BOOL result = m_pPort ? m_pPort->AutoDetect(bSilent) : FALSE;
    if (pbSucceeded)
        *pbSucceeded = result;
    return S_OK;
}
