// Trovadel's about box (dialog 100): the program's name and version.
#pragma once

#include <QDialog>

namespace zv::converter {

class CAboutDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDialogId = 100;
    explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace zv::converter
