#include "transceivers/DRU.h"

#include "platform/Device.h"
#include "platform/Registry.h"

namespace {

// A setting the driver keeps as a 32-bit value, -1 when it has none.
DWORD ReadSetting(HKEY key, const char* name)
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return static_cast<DWORD>(-1);
    return value;
}

}  // namespace

bool CDRU::ReadDriverParameters(WORD* cardId, DWORD* ioBaseAddress, DWORD* dmaChannel, DWORD* interruptLevel)
{
    HANDLE device = CreateFile(kDeviceName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    WORD id = kNoCard;
    DWORD returned = 0;
    const BOOL answered = DeviceIoControl(device, kReadCardId, nullptr, 0, &id, sizeof id, &returned, nullptr);
    CloseHandle(device);
    if (!answered || returned != sizeof id || id == kNoCard)
        return false;
    if (cardId)
        *cardId = id;
    if (!ioBaseAddress && !dmaChannel && !interruptLevel)
        return true;

    DWORD io = static_cast<DWORD>(-1);
    DWORD dma = static_cast<DWORD>(-1);
    DWORD irq = static_cast<DWORD>(-1);
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kParametersKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        io = ReadSetting(key, "IoBaseAddress");
        dma = ReadSetting(key, "DMAChannel");
        irq = ReadSetting(key, "InterruptLevel");
        RegCloseKey(key);
    }
    if (ioBaseAddress)
        *ioBaseAddress = io;
    if (dmaChannel)
        *dmaChannel = dma;
    if (interruptLevel)
        *interruptLevel = irq;
    return true;
}
