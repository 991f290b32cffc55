// How an object of the program owns one serial device: it creates its own
// serial component by ProgID, opens it under its setting id with itself as
// owner, chooses the line protocols, sends telegrams, and receives each
// message through its command handler (id 1127) on the port's reader
// thread. The program never links the serial-line library: it reads the
// received message through its header only.
#pragma once

#include "serialcom/ISerialCom.h"
#include "seriallib/TarnMessage.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// Sets *ppv to null first; TRUE when it then holds the requested interface
// of a new instance of the class registered under progId.
BOOL CreateComInstance(const char* progId, REFIID riid, void** ppv);

class CSerialDeviceLink : public ISerialComOwner
{
public:
    // Receive and transmit protocol names as the component knows them; an
    // empty name leaves that side to the component's default.
    CSerialDeviceLink(std::string settingId, std::string rxProtocol, std::string txProtocol);
    CSerialDeviceLink(const CSerialDeviceLink&) = delete;
    CSerialDeviceLink& operator=(const CSerialDeviceLink&) = delete;
    // Derived owners close in their own destructor, since the reader thread
    // calls their parser until the device is closed.
    virtual ~CSerialDeviceLink();

    // 0 when the component is there (also when it already was),
    // E_NOINTERFACE when it cannot be created. A port that does not open
    // (missing or busy) keeps the component: its port dialog is where the
    // operator picks another, and until then nothing arrives and every send
    // is dropped. IsPortOpen: the port opened with the component.
    HRESULT OpenSerial();
    void CloseSerial();
    bool IsOpen() const;
    bool IsPortOpen() const;

    // An empty text is never sent; FALSE when nothing was sent.
    BOOL SendTelegram(const std::string& text);
    // The component's port settings and statistics dialogs. They run outside
    // the link's lock, so that a send from another thread never waits for
    // the operator; a close meanwhile takes effect when the dialog ends.
    void ConfigurePort();
    void ShowStatistics();

    // Puts a protocol by name on the open component and returns the name it
    // reports back (empty while closed); an empty name leaves the side to
    // the component's default.
    std::string SetRxProtocol(const std::string& name);
    std::string SetTxProtocol(const std::string& name);
    // The receive time-outs of the port (ms per character, ms in total,
    // reference baud rate); the total and the reference as the port reports
    // them back, zero while closed.
    struct RxTimeouts
    {
        DWORD total = 0;
        DWORD refBaudRate = 0;
    };
    RxTimeouts SetRxTimeouts(DWORD charMs, DWORD totalMs, DWORD refBaudRate);

    // The protocol names the component reports after opening.
    std::string GetRxProtocolName() const;
    std::string GetTxProtocolName() const;

    void Enable(bool on) { m_bEnabled = on; }
    bool IsEnabled() const { return m_bEnabled; }
    const std::string& GetSettingId() const { return m_strSettingId; }

    // The receive protocol for a line termination setting: 1 carriage
    // return, 2 line feed, anything else either.
    static const char* RxProtocolForTermination(int termination);

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) final;

protected:
    // On the reader thread, for every non-empty message while enabled. The
    // message is the component's: read it here, never keep or free it.
    // Takes m_ParseLock for the state the user-interface thread reads.
    virtual void ParseTelegram(const CTarnMessage& message) = 0;
    // Any other command id; FALSE when not handled.
    virtual BOOL OnOtherCommand(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) { return FALSE; }

    std::mutex m_ParseLock;

private:
    static std::string ReadName(ISerialCom* com, bool rx);
    // Runs one of the component's dialogs on a reference of its own.
    void RunDialog(HRESULT (ISerialCom::*dialog)());
    static void Release(ISerialCom* com);

    const std::string m_strSettingId;
    const std::string m_strRx;
    const std::string m_strTx;
    std::atomic<bool> m_bEnabled{true};

    mutable std::mutex m_ComLock;  // the interface pointer and the names
    ISerialCom* m_pCom = nullptr;
    bool m_bPortOpen = false;
    std::string m_strRxName;
    std::string m_strTxName;
    // Dialogs of the component running now (user-interface thread), and a
    // component closed meanwhile, whose close waits for them.
    int m_nDialogs = 0;
    std::vector<ISerialCom*> m_Closing;
};
