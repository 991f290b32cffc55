// The confirmation of "Factory Settings" (154): OK sets every setting back
// to its factory value, Cancel changes nothing.
#pragma once

#include <QDialog>

namespace app {

class CFactorySettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CFactorySettingsDialog(QWidget* parent = nullptr);
};

}  // namespace app
