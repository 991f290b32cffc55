// The about box (dialog 100): model, program version and maker line.
#pragma once

#include "base/AppIds.h"

#include <QDialog>

#include <string>

namespace app {

class CAboutDialog : public QDialog
{
    Q_OBJECT
public:
    CAboutDialog(const std::string& sounderName, SounderModel model, const std::string& version,
                 QWidget* parent = nullptr);
    static constexpr int kDialogId = 100;
};

}  // namespace app
