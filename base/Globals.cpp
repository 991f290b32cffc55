#include "base/Globals.h"

#include "platform/MessageDispatcher.h"

namespace {

std::array<std::string, 24> AlarmColourKeys()
{
    std::array<std::string, 24> keys;
    const std::string rgb = "=Format = 0xRRGGBB";
    size_t k = 0;
    keys[k++] = ".ACKNORM_FG" + rgb;
    keys[k++] = ".ACKNORM_BG" + rgb;
    for (const char* kind : {".ACKPRI", ".NOACKPRI"})
        for (int n = 0; n <= 3; ++n) {
            keys[k++] = kind + std::to_string(n) + "_FG" + rgb;
            keys[k++] = kind + std::to_string(n) + "_BG" + rgb;
        }
    for (int n = 1; n <= 3; ++n)
        keys[k++] =
            ".BACKGROUND" + std::to_string(n) + "=Background color " + std::to_string(n) + " , Format = 0xRRGGBB";
    for (int n = 1; n <= 3; ++n)
        keys[k++] =
            ".FOREGROUND" + std::to_string(n) + "=Foreground color " + std::to_string(n) + " , Format = 0xRRGGBB";
    return keys;
}

std::array<std::string, 25> SystemColourKeys()
{
    static constexpr const char* names[25] = {
        "SCROLLBAR",    "BACKGROUND",     "ACTIVECAPTION", "INACTIVECAPTION", "MENU",
        "WINDOW",       "WINDOWFRAME",    "MENUTEXT",      "WINDOWTEXT",      "CAPTIONTEXT",
        "ACTIVEBORDER", "INACTIVEBORDER", "APPWORKSPACE",  "HIGHLIGHT",       "HIGHLIGHTTEXT",
        "BTNFACE",      "BTNSHADOW",      "GRAYTEXT",      "BTNTEXT",         "INACTIVECAPTIONTEXT",
        "BTNHIGHLIGHT", "3DDKSHADOW",     "3DLIGHT",       "INFOTEXT",        "INFOBK"};
    std::array<std::string, 25> keys;
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = std::string(".COLOR_") + names[i] + "=Format = 0xRRGGBB";
    return keys;
}

}  // namespace

CProgramGlobals::CProgramGlobals()
    : exitMessage(RegisterWindowMessage("EXIT_ZELVAR_PELMARIS_NO_SHUTDOWN")),
      helpMessage(RegisterWindowMessage("HELP_REQUIRED_FROM_COM")),
      alarmColourKeys(AlarmColourKeys()),
      systemColourKeys(SystemColourKeys()),
      paletteNames{".BrightDay", ".Day", ".DuskDay", ".Night", ".Aux1", ".Aux2"},
      paletteSection("Palettes"),
      blinkSection(paletteSection + ".BlinkInfo"),
      blinkKeys{".Enabled=True if enabled; otherwise False", ".Resolution=Time in mSec between each cycle",
                ".MainIndex=The palette index that will blink", ".AltIndex=<Alternative index>,<Period in mSec>"},
      druDeviceName(R"(\\.\DruDev)"),
      historyPicturePattern("H*.bmp"),
      historyPictureNamePattern("Hist_???.bmp"),
      separator("; "),
      channelSettingNames{"enumTransceiverMode", "PulseLength",       "TxPower",         "TransducerDepth",
                          "TransducerZ",         "TransducerX",       "TransducerY",     "TransducerRoll",
                          "TransducerPitch",     "TransducerAzimuth", "TransducerLabel", "User"}
{}

CProgramGlobals& ProgramGlobals()
{
    static CProgramGlobals globals;
    return globals;
}
