// The simulated DRU ISA card with its driver: it serves the device
// "\\.\DruDev" as the socket DruDev in the device folder, answers the
// driver's control codes (card id, status words) and takes the card's
// commands. Started by the service manager, it also serves its control
// socket, where the unload request ends it.
//
// The card sits at an I/O base address like any ISA card: a driver whose
// parameters name another address finds no card (id 4095). "No card" and
// "in use by the sounder" can also be asked for outright. Reads have no data
// blocks yet: they answer ERROR_NOT_READY.
#pragma once

#include "platform/Socket.h"
#include "platform/WinTypes.h"
#include "sim/dru/DruCodec.h"

#include <string>
#include <sys/types.h>
#include <vector>

class CDruSimulator
{
public:
    static constexpr const char* kDeviceName = "DruDev";
    static constexpr DWORD kCardIoBase = 0x210;

    struct Settings
    {
        std::string deviceFolder;    // the device socket goes here
        std::string controlPath;     // the driver's control socket; empty for none
        DWORD ioBase = kCardIoBase;  // the driver's IoBaseAddress parameter
        WORD cardId = 0x0001;
        bool noCard = false;
        bool inUse = false;
    };

    explicit CDruSimulator(Settings settings);
    ~CDruSimulator();
    CDruSimulator(const CDruSimulator&) = delete;
    CDruSimulator& operator=(const CDruSimulator&) = delete;

    // Makes the device and control sockets. False with the reason when one
    // cannot be made or another driver already serves the name.
    bool Open(std::string& error);

    // Serves until unloaded, stopped, or until its control socket (else its
    // device socket) is removed or taken by another; then removes its
    // sockets.
    void Run();

    // From any thread, or a signal handler.
    void Stop() { m_stop.Set(); }

    // The answer to one request; unload is set for an accepted unload.
    std::vector<BYTE> Serve(const CDruCodec::Request& request, bool fromControl, bool& unload) const;

    std::string DevicePath() const;

private:
    struct Listener
    {
        int fd = -1;
        std::string path;
        ino_t inode = 0;
    };
    struct Client
    {
        int fd = -1;
        bool control = false;
        CDruCodec codec;
    };

    bool Listen(Listener& listener, const std::string& path, mode_t mode, std::string& error);
    bool StillOurs(const Listener& listener) const;
    void Accept(const Listener& listener, bool control);
    // False when the client is to be dropped; unload set when it asked to.
    bool ServeClient(Client& client, bool& unload);
    void Close();
    bool CardPresent() const;

    Settings m_settings;
    CStopEvent m_stop;
    Listener m_device;
    Listener m_control;
    std::vector<Client> m_clients;
};
