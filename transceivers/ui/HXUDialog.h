// "HXU Debug Dialog": the first HXU unit's debug flags and its alarm
// output. The alarm buttons post their commands to the main window, which
// routes them to that unit.
#pragma once

#include "transceivers/TransceiverDialogs.h"

#include <QDialog>

#include <array>

class QCheckBox;

class CHXUDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CHXUDialog(const HxuDebugDialogValues& values, QWidget* parent = nullptr);
    // The flags as the checks show them.
    HxuDebugDialogValues Values() const;

private:
    std::array<QCheckBox*, HxuDebugDialogValues::kFlagCount> m_checks{};
};
