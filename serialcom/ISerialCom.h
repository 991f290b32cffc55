// The interface of the serial component: one object per serial device of a
// caller, created by the ProgID "ZelvarTovrelix.SerialCom.1". The main
// program includes this header only; it never links the serial-line library.
#pragma once

#include "platform/Component.h"

#include <cstdint>

class CTarnMessage;

// {123BAFA0-BCD6-11D1-8DC1-0020AFDE7724}
inline const CLSID CLSID_SerialCom = {0x123BAFA0, 0xBCD6, 0x11D1, {0x8D, 0xC1, 0x00, 0x20, 0xAF, 0xDE, 0x77, 0x24}};
// {123BAF9F-BCD6-11D1-8DC1-0020AFDE7724}
inline const IID IID_ISerialCom = {0x123BAF9F, 0xBCD6, 0x11D1, {0x8D, 0xC1, 0x00, 0x20, 0xAF, 0xDE, 0x77, 0x24}};
// {FBF32D20-BD91-11D1-8DC2-0020AFDE7724}
inline const IID IID_ISerialComCallback = {
    0xFBF32D20, 0xBD91, 0x11D1, {0x8D, 0xC2, 0x00, 0x20, 0xAF, 0xDE, 0x77, 0x24}};

constexpr const char* kSerialComProgId = "ZelvarTovrelix.SerialCom.1";
constexpr const char* kSerialComVersionIndependentProgId = "ZelvarTovrelix.SerialCom";

// The command id with which a received message reaches the owner.
constexpr UINT ID_SERIALCOM_RECEIVED = 1127;

// FILETIME as one 64-bit count of 100 ns since 1601.
using FILETIME64 = std::uint64_t;

// The owner that Create2 names: its command handler gets every received
// message on the port's reader thread, with nID 1127, nCode 0 and pExtra the
// CTarnMessage*, which stays the component's: read it during the call, never
// keep or delete it.
struct ISerialComOwner
{
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) = 0;

protected:
    ~ISerialComOwner() = default;
};

// Implemented by a caller of Create; called on the port's reader thread.
struct ISerialComCallback : IUnknown
{
    // The callee owns text.
    virtual HRESULT ReceiveString(const FILETIME64* stamp, BSTR text) = 0;
    // The bytes are valid only during the call.
    virtual HRESULT ReceiveData(const FILETIME64* stamp, long count, const BYTE* bytes) = 0;

protected:
    ~ISerialComCallback() = default;
};

struct ISerialCom : IUnknown
{
    virtual HRESULT Configure() = 0;
    virtual HRESULT Create(IUnknown* pUnk, BSTR bsSettingID) = 0;
    // The caller value is pointer-wide: it carries an ISerialComOwner*.
    virtual HRESULT Create2(LONG_PTR pCallBack, BSTR bsSettingID) = 0;
    virtual HRESULT Send(BSTR bsTxString) = 0;
    virtual HRESULT get_RxProtocol(BSTR* pVal) = 0;
    virtual HRESULT put_RxProtocol(BSTR newVal) = 0;
    virtual HRESULT get_TxProtocol(BSTR* pVal) = 0;
    virtual HRESULT put_TxProtocol(BSTR newVal) = 0;
    virtual HRESULT ShowStatistic() = 0;
    virtual HRESULT ShowDialog() = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT SetRxTimeouts(DWORD dwRxCharTmeout, DWORD dwRxTotalTimeout, DWORD dwRefBaudRate) = 0;
    virtual HRESULT SetTxDelay(DWORD dwTxTelegramDelay) = 0;
    virtual HRESULT GetRxTimeout(DWORD* pdwRxTimeout) = 0;
    virtual HRESULT GetRxTotalTimeout(DWORD* pdwRxTotalTimeout) = 0;
    virtual HRESULT GetRxRefBaudRate(DWORD* pdwRxRefBaudRate) = 0;
    virtual HRESULT GetTxDelay(DWORD* pdwTxDelay) = 0;
    virtual HRESULT AutoDetect(BOOL* pbSucceeded, BOOL bSilent) = 0;

protected:
    ~ISerialCom() = default;
};
