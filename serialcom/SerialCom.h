// One serial device of a caller: a port named after a setting id, one
// receive and one transmit protocol chosen by name, and delivery of every
// received message to the caller's callback or owner command target.
#pragma once

#include "serialcom/ComSercor32.h"
#include "serialcom/ISerialCom.h"

#include "seriallib/Protocol.h"

#include <atomic>
#include <memory>
#include <string>

class CSerialCom final : public ISerialCom
{
public:
    CSerialCom();
    CSerialCom(const CSerialCom&) = delete;
    CSerialCom& operator=(const CSerialCom&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Configure() override;
    HRESULT Create(IUnknown* pUnk, BSTR bsSettingID) override;
    HRESULT Create2(LONG_PTR pCallBack, BSTR bsSettingID) override;
    HRESULT Send(BSTR bsTxString) override;
    HRESULT get_RxProtocol(BSTR* pVal) override;
    HRESULT put_RxProtocol(BSTR newVal) override;
    HRESULT get_TxProtocol(BSTR* pVal) override;
    HRESULT put_TxProtocol(BSTR newVal) override;
    HRESULT ShowStatistic() override;
    HRESULT ShowDialog() override;
    HRESULT Close() override;
    HRESULT SetRxTimeouts(DWORD dwRxCharTmeout, DWORD dwRxTotalTimeout, DWORD dwRefBaudRate) override;
    HRESULT SetTxDelay(DWORD dwTxTelegramDelay) override;
    HRESULT GetRxTimeout(DWORD* pdwRxTimeout) override;
    HRESULT GetRxTotalTimeout(DWORD* pdwRxTotalTimeout) override;
    HRESULT GetRxRefBaudRate(DWORD* pdwRxRefBaudRate) override;
    HRESULT GetTxDelay(DWORD* pdwTxDelay) override;
    HRESULT AutoDetect(BOOL* pbSucceeded, BOOL bSilent) override;

    // For tests: the port and the protocols as they stand.
    CComSercor32* GetPort() const { return m_pPort.get(); }
    CProtocol* GetRxProtocolObject() const { return m_pRxProtocol.get(); }
    CProtocol* GetTxProtocolObject() const { return m_pTxProtocol.get(); }

private:
    ~CSerialCom();
    HRESULT CreatePort(const std::string& settingId);
    void MakeRxProtocol(const std::string& name);
    void MakeTxProtocol(const std::string& name);

    std::atomic<ULONG> m_nRef{0};
    ISerialComOwner* m_pOwner = nullptr;
    ISerialComCallback* m_pCallback = nullptr;
    std::unique_ptr<CProtocol> m_pTxProtocol;
    std::unique_ptr<CProtocol> m_pRxProtocol;
    std::unique_ptr<CComSercor32> m_pPort;
    std::string m_strTxProtocol;
    std::string m_strRxProtocol;
};
