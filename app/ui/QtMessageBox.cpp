#include "app/ui/QtMessageBox.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace app {

namespace {

struct ButtonRow
{
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonRow> ButtonsFor(UINT type)
{
    switch (type) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconFor(UINT icon)
{
    switch (icon) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

}  // namespace

int ShowQtMessageBox(HWND, const std::string& text, const std::string& caption, UINT flags)
{
    QMessageBox box(IconFor(flags & MB_ICONMASK), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    const auto rows = ButtonsFor(flags & MB_TYPEMASK);
    QMessageBox::StandardButtons buttons;
    for (const auto& row : rows)
        buttons |= row.button;
    box.setStandardButtons(buttons);
    const std::size_t def = (flags & MB_DEFMASK) >> 8;
    if (def < rows.size())
        box.setDefaultButton(rows[def].button);
    if (flags & (MB_TASKMODAL | MB_SYSTEMMODAL))
        box.setWindowModality(Qt::ApplicationModal);
    if (flags & (MB_SETFOREGROUND | MB_TOPMOST))
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setObjectName("MessageBox");
    const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& row : rows)
        if (row.button == clicked)
            return row.answer;
    // Closed without a button: the box's escape answer.
    return rows.size() > 1 ? rows.back().answer : rows.front().answer;
}

void InstallQtMessageBoxPresenter()
{
    SetMessageBoxPresenter(&ShowQtMessageBox);
}

}  // namespace app
