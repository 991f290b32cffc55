// How the water model reaches the user and the main frame: message boxes,
// messages posted to the main frame, and the mapping of the program's
// drive-letter paths onto this machine. Kept in one place so that the
// environment and the profile readers never talk to a window themselves.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <vector>

namespace sensors {

// Button and icon flags of a message box, and the button answered.
constexpr UINT BoxOk = 0x0000;
constexpr UINT BoxYesNo = 0x0004;
constexpr UINT BoxIconHand = 0x0010;
constexpr UINT BoxIconQuestion = 0x0020;
constexpr UINT BoxIconExclamation = 0x0030;
constexpr int AnswerOk = 1;
constexpr int AnswerYes = 6;
constexpr int AnswerNo = 7;

// Shows a message box (caption empty: the program's own) and answers the
// button pressed.
int ShowBox(const std::string& text, const std::string& caption, UINT flags);

// Posts a message to the main frame; false when there is none.
bool PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam);

// A path as the settings hold it ("C:\QY210\svp\x.asvp") as a path of this
// machine.
std::string LocalPath(const std::string& path);

} // namespace sensors

// What tests see of the above while no window exists.
namespace sensors::testing {

struct Box
{
    std::string text;
    std::string caption;
    UINT flags;
};
struct Posted
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Box> Boxes();
std::vector<Posted> Posts();
void Clear();
// The answer the next boxes give (default: the first button).
void SetBoxAnswer(int answer);

} // namespace sensors::testing
