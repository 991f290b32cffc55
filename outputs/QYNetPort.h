// The receiving UDP socket of the network output. Other programs send it
// sound velocity profiles and NMEA or remote-control telegrams; each
// datagram goes to the profile parser or, when that does not take it, to the
// common telegram decoder with the network source codes.
//
// Threads: OnReceive runs on one thread at a time (the port's reader, or the
// caller in tests); the profile buffer is that thread's alone.
#pragma once

#include "platform/Socket.h"
#include "sensors/SvpProfile.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class CQYNetPort
{
public:
    static constexpr std::size_t kReceiveBuffer = 50000;
    // A profile that has not ended within this much text is no profile.
    static constexpr std::size_t kMaxProfileText = 1 << 20;

    struct Links
    {
        std::function<bool()> isReplaying;
        // The decoder with source codes 2, 1, 2.
        std::function<void(const std::string& text, std::uint64_t received)> parseNmea;
        // Stores the imported profile as an .asvp file and announces it to
        // the environment; answers whether it did.
        std::function<bool(const CSvpProfile& profile)> storeProfile;
    };

    CQYNetPort() = default;
    ~CQYNetPort();
    CQYNetPort(const CQYNetPort&) = delete;
    CQYNetPort& operator=(const CQYNetPort&) = delete;

    void SetLinks(Links links) { m_links = std::move(links); }
    // Binds the local port (0 picks a free one) on the given address.
    bool Create(std::uint16_t port, std::uint32_t address = 0);
    // Starts a reader that calls OnReceive for every datagram.
    void StartReader();
    void Close();
    bool IsOpen() const { return m_socket.IsOpen(); }
    std::uint16_t LocalPort() const { return m_socket.LocalAddress().port; }

    // Takes one waiting datagram (waiting at most timeoutMs); false when
    // there was none.
    bool OnReceive(int timeoutMs = 0);
    // What one datagram received at that time does: it is part of a
    // profile, or a telegram for the decoder; nothing while replaying.
    void OnDatagram(const std::string& text, std::uint64_t received);

    // Gathers profile text; 1 when this datagram completed a profile that
    // was stored, 0 otherwise.
    int ParseSvpDatagram(const std::string& text);
    bool IsGathering() const { return !m_buffer.empty(); }

private:
    int Import(int format);

    Links m_links;
    CSocket m_socket;
    std::thread m_reader;
    std::vector<char> m_receive = std::vector<char>(kReceiveBuffer + 1);
    CSvpProfile m_profile;
    std::string m_buffer;
};
