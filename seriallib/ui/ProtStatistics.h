// The modeless message counters of a protocol: 10132 for a receive and
// transmit protocol, 10133 transmit only, 10134 receive only. A window of a
// transmit protocol also shows what its bounded queue dropped.
#pragma once

#include "seriallib/ui/CounterWindow.h"

class CProtocol;

class CProtStatistics : public CCounterWindow
{
    Q_OBJECT
public:
    CProtStatistics(CProtocol* protocol, int type, QWidget* parent = nullptr);
};
