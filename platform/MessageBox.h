// The message-box service. The user interface installs a presenter on its
// own thread. A box asked for on any other thread is posted to that thread
// and the asking thread goes on at once with the box's default button: a
// reader or ping thread that waited for the operator would stop reading.
// A posted box whose text is already waiting or shown is not stacked: it is
// counted, and the count goes to the event log when the shown one closes.
// Without a presenter (headless runs, tests) the box answers with its default
// button and its text goes to standard error. Every box is kept in a record
// that tests read.
#pragma once

#include "platform/WinTypes.h"

#include <functional>
#include <string>
#include <vector>

// Buttons.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
// Default button.
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
// Modality and placement.
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// On the presenter's thread: shows the box and returns the button chosen.
// On any other thread: posts it (as PostMessageBox) and returns the default
// button.
int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// Shows the box and waits for the button chosen, on any thread. Only for the
// report of a program that is breaking down, which must be read before the
// process ends; the answer is the default button when the user interface is
// gone.
int WaitingMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// Shows a box that nobody waits for: the request goes to the presenter's
// thread and the caller goes on at once, so a worker (or a handler deep in
// the user-interface thread) can tell the user without blocking. Without a
// presenter it is answered headless at once. The box enters the record when
// it is shown. A box of the same caption and text that is still waiting or
// shown takes its place: only a count is kept.
void PostMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// The button a box of these flags answers with when nobody can be asked.
int MessageBoxDefaultButton(UINT flags);

using MessageBoxPresenter =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT flags)>;
// Installs the presenter; the calling thread becomes the one that shows boxes
// and must run its message queue. An empty presenter returns to the headless
// answer.
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

struct MessageBoxEntry
{
    std::string caption;
    std::string text;
    UINT flags = 0;
    int answer = 0;
};
std::vector<MessageBoxEntry> MessageBoxRecord();
void ClearMessageBoxRecord();
