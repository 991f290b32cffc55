// "HXU Transceiver Not Found": shown while an HXU unit is made and did not
// answer; "Retry" (accepted) asks it again, "Cancel" goes on without it.
#pragma once

#include <QDialog>

#include <string>

class CHXUNoContactDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CHXUNoContactDialog(const std::string& transceiverName, QWidget* parent = nullptr);
};
