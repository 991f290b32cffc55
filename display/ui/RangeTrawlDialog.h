// "Trawl Range": the margin of the trawl echogram above and below the
// trawl, in the selected depth unit, with one decimal.
#pragma once

#include "display/ui/RangeDialog.h"

class CRangeTrawlDialog : public CRangeDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 144;
    explicit CRangeTrawlDialog(double margin, QWidget* parent = nullptr);
    double Margin() const { return Value(0); }
};
