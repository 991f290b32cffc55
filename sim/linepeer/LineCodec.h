// The far ends' side of the remote display's and the lobe link's lines,
// written from the texts' layouts on their own, so that they and the
// program's outputs check each other.
//
// Remote display, one line each:
//   "%6.1f\r\n" of the depth in metres (right-aligned in six characters), or
//   "$SDDPT,<T>,<O>*HH\r\n": T the depth below the transducer, its decimals
//   chosen by the depth D = T + O (D < 1000: "%3.2f", D < 10000: "%5.1f",
//   else "%5.0f"), O = "%3.2f" of transducer depth and heave, HH the XOR of
//   every character between "$" and "*" in two upper-case hex digits.
// Lobe link, each message ended by "\r\r\n", its time field hhmmssdd:
//   "PR,<time>,<path>=<value>"  a reply: "/TEST MENU/Version" = "TQ250 a.b.c.d",
//                               or "/TRANSCEIVER MENU/Transceiver-<n> Menu/<item>"
//   "PE,<time><command>"        a "/SER.../Telegram...=" command echoed
//   "E<n>,<time>,%2d,\r\n" then per target "%7.2f,%5.1f,%5.1f,%6.2f,%6.2f,",
//                               "\r\n" between targets: an echo-trace telegram
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace linepeer {

struct SDisplayLine
{
    enum class EKind { Bad, Number, Telegram };
    EKind kind = EKind::Bad;
    // Number: the depth; Telegram: T + O.
    double depth = 0.0;
    // Telegram: below the transducer, and the transducer depth with heave.
    double belowTransducer = 0.0, offset = 0.0;
    std::string reason;
};

// One whole line of the remote display, its "\r\n" included.
SDisplayLine DecodeDisplayLine(std::string_view line);

struct SLobeMessage
{
    enum class EKind { Bad, Reply, Echo, Telegram };
    EKind kind = EKind::Bad;
    std::string time;  // hhmmssdd
    // Reply: the path before "=" and the value after it; for a transceiver
    // item also its channel (from 1), the item, its number and unit ("" when
    // it has none, "Unknown" for the bandwidth).
    std::string path, value;
    int channel = 0;
    std::string item, unit;
    double number = 0.0;
    // Echo: the command.
    std::string command;
    // Telegram (channel above): depth, two target strengths, two angles.
    std::vector<std::array<double, 5>> targets;
    std::string reason;
};

// One whole message of the lobe link, its "\r\r\n" included.
SLobeMessage DecodeLobeMessage(std::string_view message);

// The lobe link's byte stream cut into messages.
class CLobeDecoder
{
public:
    // The messages the bytes complete.
    std::vector<SLobeMessage> Feed(std::string_view bytes);
    // What waits for its end.
    const std::string& Pending() const { return m_pending; }

private:
    std::string m_pending;
};

// One line for the peer's output: "DEPTH ...", "REPLY ...", "ECHO ...",
// "TELEGRAM ..." or "BAD <reason>".
std::string Describe(const SDisplayLine& line);
std::string Describe(const SLobeMessage& message);

}  // namespace linepeer
