// The ISA-card transceiver, reached only through its driver's device
// "\\.\DruDev": commands are written to it, sample blocks read from it, and
// three control codes report the card's state.
#pragma once

#include "platform/WinTypes.h"

class CDRU
{
public:
    static constexpr const char* kDeviceName = "\\\\.\\DruDev";
    static constexpr DWORD kReadStatus8 = 0x9C406400;   // 1 byte: card health, both low bits set
    static constexpr DWORD kReadCardId = 0x9C406404;    // 2 bytes: 4095 no card, else the id
    static constexpr DWORD kReadStatus32 = 0x9C406408;  // 4 bytes: driver state
    static constexpr WORD kNoCard = 4095;
    // The driver's settings, which its installation tool writes and the
    // program only reads.
    static constexpr const char* kParametersKey = "System\\CurrentControlSet\\Services\\DruDriver\\Parameters";

    // Asks the driver for its card. True when a card answered: *cardId is
    // its id, and each setting asked for is the driver's (-1 when it has
    // none; all -1 when its key cannot be read). False, with nothing else
    // read, when the device does not open or answers no card. Any pointer
    // may be null.
    static bool ReadDriverParameters(WORD* cardId, DWORD* ioBaseAddress, DWORD* dmaChannel, DWORD* interruptLevel);
};
