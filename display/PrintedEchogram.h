// An echogram view as the printing takes it, ping by ping: the layout's
// echogram views are collected in this shape, and each one's newest ping is
// copied into the printed page on the user-interface thread.
#pragma once

#include "display/PrinterPage.h"

class CEchogramDoc;

class IPrintedEchogram
{
public:
    virtual ~IPrintedEchogram() = default;
    // The newest ping stretched by `scale` into column x of the page from
    // row y, its palette indices turned into page colours by `map`. A column
    // advances y by its printed height; a row (printed across) does not.
    virtual void CopyNewestLine(CPrinterPage& page, const CPrinterPage::ColourMap& map, int x, int& y,
                                double scale) = 0;
    // Adds the height of a column or the width of a row.
    virtual void AddLineExtent(int& y) const = 0;
    // The document it shows; its settings say what the page prints beside it.
    virtual CEchogramDoc* GetPrintedDocument() const = 0;
    // Whether it shows its range scale.
    virtual bool ShowsScale() const = 0;
};
