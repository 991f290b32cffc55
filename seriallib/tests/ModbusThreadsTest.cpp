// A real Modbus RTU master (libmodbus) on the far end of a serial line
// reads and writes holding registers that a small server keeps behind our
// Modbus protocol. Two pseudo-terminals joined by a relay make the line.
#include "SercorTestSupport.h"

#include "seriallib/ModBus.h"
#include "seriallib/Sercor32.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Two pseudo-terminals whose masters copy to each other: a null-modem
// cable between two device paths.
class CPtyPair
{
public:
    CPtyPair()
    {
        for (int i = 0; i < 2; ++i) {
            char name[256] = {};
            if (::openpty(&m_Master[i], &m_Slave[i], name, nullptr, nullptr) != 0)
                throw std::runtime_error("openpty");
            m_Path[i] = name;
        }
        m_Stop = ::eventfd(0, EFD_CLOEXEC);
        m_Relay = std::thread([this] { Relay(); });
    }
    ~CPtyPair()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t rc = ::write(m_Stop, &one, sizeof one);
        m_Relay.join();
        for (int i = 0; i < 2; ++i) {
            ::close(m_Master[i]);
            ::close(m_Slave[i]);
        }
        ::close(m_Stop);
    }
    const std::string& Path(int i) const { return m_Path[i]; }

private:
    void Relay()
    {
        for (;;) {
            pollfd fds[3] = {{m_Stop, POLLIN, 0}, {m_Master[0], POLLIN, 0}, {m_Master[1], POLLIN, 0}};
            if (::poll(fds, 3, -1) < 0)
                return;
            if (fds[0].revents)
                return;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[1 + i].revents & POLLIN))
                    continue;
                char buffer[512];
                const ssize_t n = ::read(m_Master[i], buffer, sizeof buffer);
                if (n > 0) [[maybe_unused]]
                    ssize_t w = ::write(m_Master[1 - i], buffer, static_cast<size_t>(n));
            }
        }
    }

    int m_Master[2] = {-1, -1};
    int m_Slave[2] = {-1, -1};
    std::string m_Path[2];
    int m_Stop = -1;
    std::thread m_Relay;
};

// Answers function 3 (read holding registers), 6 (write one) and 16 (write
// several) for unit 1 from a table of ten registers.
class CRegisterServer
{
public:
    explicit CRegisterServer(CModBus& modbus) : m_ModBus(modbus) {}

    void Handle(const std::string& frame)
    {
        ++m_Requests;
        if (frame.size() < 2 || static_cast<BYTE>(frame[0]) != 1)
            return;
        const auto at = [&](std::size_t i) { return static_cast<BYTE>(frame[i]); };
        const auto word = [&](std::size_t i) { return static_cast<WORD>(at(i) << 8 | at(i + 1)); };
        std::string reply;
        switch (at(1)) {
        case 3: {
            const WORD first = word(2), count = word(4);
            if (first + count > m_Registers.size())
                return Exception(3, 2);
            reply = Bytes({1, 3, count * 2});
            for (WORD r = first; r < first + count; ++r)
                reply += Bytes({m_Registers[r] >> 8, m_Registers[r] & 0xFF});
            break;
        }
        case 6:
            if (word(2) >= m_Registers.size())
                return Exception(6, 2);
            m_Registers[word(2)] = word(4);
            reply = frame.substr(0, 6);
            break;
        case 16: {
            const WORD first = word(2), count = word(4);
            if (first + count > m_Registers.size() || frame.size() < 7u + 2 * count)
                return Exception(16, 2);
            for (WORD r = 0; r < count; ++r)
                m_Registers[first + r] = word(7 + 2 * r);
            reply = frame.substr(0, 6);
            break;
        }
        default:
            return Exception(at(1), 1);
        }
        m_ModBus.Send(reply);
    }

    std::array<WORD, 10> m_Registers{};
    int m_Requests = 0;

private:
    void Exception(int function, int code) { m_ModBus.Send(Bytes({1, function | 0x80, code})); }
    CModBus& m_ModBus;
};

TEST(ModbusMaster, ReadsAndWritesRegistersThroughOurProtocol)
{
    CPtyPair cable;
    CReceiverWindow window;
    CSercor32 port;
    CModBus modbus(&port, PROT_RXTX, window.Hwnd());
    ASSERT_TRUE(port.CreateEx(cable.Path(0).c_str(), 19200, 8, NOPARITY, ONESTOPBIT, TRUE)) << port.GetLastError();
    CRegisterServer server(modbus);
    server.m_Registers = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    window.m_OnMessage = [&](const SReceived& r) {
        if (r.message == WM_SERCOR_MESSAGE)
            server.Handle(r.bytes);
    };

    struct Result
    {
        int wrote1 = -2, wroteN = -2, read = -2, refused = -2;
        std::array<std::uint16_t, 4> values{};
        int refusedErrno = 0;
    } result;
    std::atomic<bool> done{false};
    std::thread master([&] {
        modbus_t* ctx = modbus_new_rtu(cable.Path(1).c_str(), 19200, 'N', 8, 1);
        if (ctx && modbus_set_slave(ctx, 1) == 0 && modbus_connect(ctx) == 0) {
            // Our frames end by 300 ms of silence: give the answer time.
            modbus_set_response_timeout(ctx, 3, 0);
            result.wrote1 = modbus_write_register(ctx, 2, 1234);
            const std::uint16_t pair[] = {0xBEEF, 7};
            result.wroteN = modbus_write_registers(ctx, 5, 2, pair);
            result.read = modbus_read_registers(ctx, 1, 4, result.values.data());
            std::uint16_t beyond[2];
            result.refused = modbus_read_registers(ctx, 9, 2, beyond);
            result.refusedErrno = errno;
            modbus_close(ctx);
        }
        if (ctx)
            modbus_free(ctx);
        done = true;
    });
    const bool finished = PumpUntil([&] { return done.load(); }, 60s);
    master.join();
    ASSERT_TRUE(finished);

    EXPECT_EQ(result.wrote1, 1);
    EXPECT_EQ(result.wroteN, 2);
    EXPECT_EQ(result.read, 4);
    EXPECT_EQ(result.values, (std::array<std::uint16_t, 4>{11, 1234, 13, 14}));
    EXPECT_EQ(server.m_Registers[5], 0xBEEF);
    EXPECT_EQ(server.m_Registers[6], 7);
    EXPECT_EQ(result.refused, -1);
    EXPECT_EQ(result.refusedErrno, EMBXILADD);
    EXPECT_EQ(server.m_Requests, 4);
    const tag_PROT_STATISTICS s = StatsOf(modbus);
    EXPECT_EQ(s.MessagesReceived, 4u);
    EXPECT_EQ(s.MessagesSent, 4u);
    EXPECT_EQ(s.ChecksumErrors, 0u);
}

}  // namespace
