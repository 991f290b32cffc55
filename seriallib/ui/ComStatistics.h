// The modeless byte and line-error counters of a port (10131).
#pragma once

#include "seriallib/ui/CounterWindow.h"

class CSercor;

class CComStatistics : public CCounterWindow
{
    Q_OBJECT
public:
    CComStatistics(CSercor* port, QWidget* parent = nullptr);
};
