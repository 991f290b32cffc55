// The survey control program's side of the exchange, written from the
// datagram layouts on its own, so that it and the sounder's exchange check
// each other: the commands it sends and the datagrams it gets back.
//
// Head of every binary datagram (16 bytes, little-endian):
//   0 0x02 | 1 type | 2 u16 model | 4 u32 yyyymmdd | 8 u32 ms of day |
//   12 u16 counter | 14 u16 serial
// Announcement '0' (108 bytes): 16 u32 command port, 92 survey address.
// Status '1' (88 bytes). Query reply 'B' (5024 bytes): 16 u16 99, 18 u16 1,
// 20 "QY dummy result". Clock reply (268 bytes): "CS,hhmmss00,DATE:yyyymmdd\n".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hbxsim {

// The sounder models as the survey program knows them by number.
struct SModel
{
    std::uint16_t number;
    const char* name;
};
// Empty for a number the survey program does not know.
std::string ModelName(std::uint16_t number);

struct SHead
{
    char type = 0;
    std::uint16_t model = 0;
    std::uint32_t date = 0;    // yyyymmdd
    std::uint32_t timeMs = 0;  // ms since midnight
    std::uint16_t counter = 0;
    std::uint16_t serial = 0;
};

struct SDatagram
{
    enum class EKind { Bad, Announcement, Status, QueryReply, ClockReply, Other };
    EKind kind = EKind::Bad;
    SHead head;
    // Announcement: the sounder's command port and the survey address it
    // carries (host order).
    std::uint32_t commandPort = 0;
    std::uint32_t surveyAddress = 0;
    // Query reply: the two words and the result text.
    std::uint16_t word16 = 0, word18 = 0;
    std::string result;
    // Clock reply: the time and date it tells; Other: the text.
    std::string text;
    // Bad: why.
    std::string reason;
};

// Any datagram the sounder sends the survey program.
SDatagram Decode(std::span<const std::uint8_t> bytes);
// One line of it, as zvhbxsim prints it.
std::string Describe(const SDatagram& datagram, std::size_t size);

// Commands. Every one has its three letters at offsets 3-5 behind the
// survey program's tag "HBX" and is 32 bytes long.
std::vector<std::uint8_t> Command(const std::string& letters);
// "PU0" with the status and reply ports; length: the datagram's size
// (shorter ones are refused by the sounder).
std::vector<std::uint8_t> Ports(std::uint16_t statusPort, std::uint16_t replyPort, std::size_t length = 32);
// "QYL,LOG=<log>,FIL=<file>,".
std::vector<std::uint8_t> Logging(const std::string& log, const std::string& file);

}  // namespace hbxsim
