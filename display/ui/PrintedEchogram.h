// An echogram view as the history printing's page takes it, ping by ping:
// the printing collects the layout's echogram views in this shape and copies
// each one's newest ping into its page.
#pragma once

class QPainter;

class IPrintedEchogram
{
public:
    virtual ~IPrintedEchogram() = default;
    // The newest ping stretched by `scale` at (x, y); a column advances y by
    // its printed height, a row (printed across) does not.
    virtual void CopyNewestLine(QPainter& printer, int x, int& y, double scale) = 0;
    // Adds the height of a column or the width of a row.
    virtual void AddLineExtent(int& y) const = 0;
};
