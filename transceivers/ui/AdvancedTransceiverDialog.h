// "Advanced Transceiver": a channel's acoustic values, read only, each in
// the field of its control id.
#pragma once

#include "transceivers/TransceiverDialogs.h"

#include <QDialog>

class CAdvancedTransceiverDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CAdvancedTransceiverDialog(const AdvancedTransceiverDialogValues& values, QWidget* parent = nullptr);
};
