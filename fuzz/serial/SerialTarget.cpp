// Each serial protocol on a port over the in-memory serial line, fed as a
// line feeds it: bytes, line errors and modem events go in at the far end
// and reach the protocol through the port's reader thread; the receive
// time-out is given as the port's ticker gives it. The first byte picks the
// protocol; then each step is an opcode and its argument. A step waits
// until the protocol has had all of it, so the order is the input's.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "platform/MessageDispatcher.h"
#include "platform/SerialBackendFake.h"
#include "seriallib/ASCII.h"
#include "seriallib/ModBus.h"
#include "seriallib/MoviraVN1500.h"
#include "seriallib/MoviraZelvar.h"
#include "seriallib/NMEA.h"
#include "seriallib/Quelto.h"
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"
#include "seriallib/ZLT2_300.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr UINT kProgress = 0x7FF0;  // to the owner: the protocol took something
constexpr DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_RING;

// Counts what reached the protocol, and wakes the owner's thread for it.
template <class Protocol>
class CCounted : public Protocol
{
public:
    CCounted(CSercor* port, HWND owner) : Protocol(port, PROT_RECEIVE, owner) {}
    BOOL ReceiveCallback(BYTE byte, BOOL last) override
    {
        const BOOL r = Protocol::ReceiveCallback(byte, last);
        ++bytes;
        if (last)
            PostMessage(this->GetOwner(), kProgress, 0, 0);
        return r;
    }
    BOOL ErrorCallback(COM_ERROR error) override
    {
        const BOOL r = Protocol::ErrorCallback(error);
        if (error == COM_ERROR_REPORT) {
            ++lineErrors;
            PostMessage(this->GetOwner(), kProgress, 0, 0);
        }
        return r;
    }
    BOOL ReportComState(DWORD events, DWORD status) override
    {
        const BOOL r = Protocol::ReportComState(events, status);
        ++states;
        PostMessage(this->GetOwner(), kProgress, 0, 0);
        return r;
    }
    std::atomic<std::size_t> bytes{0}, lineErrors{0}, states{0};
};

struct SCounts
{
    std::function<std::size_t()> bytes, lineErrors, states;
};

template <class Protocol>
std::unique_ptr<CProtocol> Make(CSercor32& port, HWND owner, SCounts& counts)
{
    auto p = std::make_unique<CCounted<Protocol>>(&port, owner);
    auto* raw = p.get();
    counts.bytes = [raw] { return raw->bytes.load(); };
    counts.lineErrors = [raw] { return raw->lineErrors.load(); };
    counts.states = [raw] { return raw->states.load(); };
    return p;
}

std::unique_ptr<CProtocol> MakeProtocol(int kind, CSercor32& port, HWND owner, SCounts& counts)
{
    switch (kind) {
    case 0:
        return Make<CASCII>(port, owner, counts);
    case 1: {
        auto p = Make<CASCII>(port, owner, counts);
        static_cast<CASCII*>(p.get())->SetTerminator(TRUE, TRUE);
        return p;
    }
    case 2:
        return Make<CRAW>(port, owner, counts);
    case 3:
        return Make<CNMEA>(port, owner, counts);
    case 4:
        return Make<CQuelto>(port, owner, counts);
    case 5:
        return Make<CZLT2_300>(port, owner, counts);
    case 6:
        return Make<CModBus>(port, owner, counts);
    case 7:
        return Make<CMoviraZelvar>(port, owner, counts);
    default:
        return Make<CMoviraVN1500>(port, owner, counts);
    }
}

void WaitFor(const std::function<bool()>& done)
{
    if (!PumpUntil(done, std::chrono::seconds(20)))
        std::abort();  // the port never handed the protocol what the line got
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    static const HWND owner = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    CFuzzInput in(data, size);
    auto line = CFakeSerialLine::Create("zvfuzz-serial");
    SCounts counts;
    {
        CSercor32 port;
        std::unique_ptr<CProtocol> protocol = MakeProtocol(in.Byte() % 9, port, owner, counts);
        if (!port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE))
            std::abort();
        // Blocks end where the input's steps end, and only the input's
        // steps time the line out.
        port.SetRxTimeouts(0, 0, 0);
        port.SetEventMask(kModemEvents);
        std::size_t bytes = 0, lineErrors = 0, states = 0;
        while (!in.Empty()) {
            switch (in.Byte() % 4) {
            case 0: {
                const std::string_view piece = in.Sized();
                if (piece.empty())
                    break;
                line->InjectBytes(std::string(piece));
                bytes += piece.size();
                WaitFor([&] { return counts.bytes() == bytes; });
                break;
            }
            case 1: {
                const DWORD errors = in.Byte() & (CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK);
                if (errors == 0)
                    break;
                line->InjectLineError(errors);
                ++lineErrors;
                WaitFor([&] { return counts.lineErrors() == lineErrors; });
                break;
            }
            case 2:
                port.EnterExitProtocol();
                protocol->ErrorCallback(COM_RX_TIMEOUT);
                port.LeaveExitProtocol();
                break;
            default: {
                const DWORD events = in.Byte() & kModemEvents;
                const DWORD status = in.Byte() & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
                if (events == 0)
                    break;
                line->InjectModemEvent(events, status);
                ++states;
                WaitFor([&] { return counts.states() == states; });
                break;
            }
            }
        }
        // The port's threads end before the protocol goes.
        port.Close();
        protocol.reset();
    }
    // What the protocol posted is delivered and freed.
    for (MSG msg; PeekMessage(&msg);)
        DispatchMessage(&msg);
    return 0;
}
