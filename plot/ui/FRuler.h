// A ruler beside the plot window: tick marks and labels of one axis and the
// axis unit as caption, with caption and unit as its tooltip. FHRuler lies
// above the plot, FVRuler to its left.
#pragma once

#include <QFont>
#include <QWidget>

#include <string>

class CAxisScale;
class QPainter;

// The label font as the rulers describe it: cell height and average
// character width in pixels, escapement in tenths of a degree, weight, and
// pitch and family (0x30 fixed pitch, 0x22 proportional sans serif).
struct CRulerFontDesc
{
    int height = 14;
    int width = 8;
    int escapement = 0;
    int weight = 100;
    int pitchAndFamily = 0x30;
};

class FRuler : public QWidget
{
public:
    explicit FRuler(QWidget* parent = nullptr);

    void SetRange(double first, double last, bool redrawNow);
    void SetCaption(const std::string& caption, const std::string& tooltip);

    double GetFirstValue() const { return m_first; }
    double GetLastValue() const { return m_last; }
    const std::string& GetCaption() const { return m_caption; }
    int GetStartOffset() const { return m_startOffset; }

    // The most ticks this ruler's labels leave room for.
    virtual int GetLabelCapacity() { return 0; }

protected:
    // Writes height, width and escapement (and pitch and family when given)
    // into the description and makes the font of it.
    QFont MakeFont(int height, int width, int escapement, int pitchAndFamily = -1);
    int CapacityFor(int length, int height, int width, int escapement);
    // A line from a towards b, b itself left out, as the frame and ticks are
    // drawn; horizontal or vertical only.
    static void Line(QPainter& p, QPoint a, QPoint b);
    // The grey face and the frame from (left, top) to the last column and
    // row: black along the bottom and right, white along the top and left.
    void PaintFace(QPainter& p, int left, int top);
    // Every tick of the scale: its mark, its label where it fits, and the
    // minor marks half a step to either side within the scale.
    void PaintTicks(QPainter& p, const CAxisScale& scale, int captionWidth);

    // A tick mark of the given length at the pixel along the scale.
    virtual void DrawTick(QPainter& p, int at, int length) = 0;
    virtual std::string LabelOf(double value, int exponent) const = 0;
    virtual bool LabelFits(int at, int half, int captionWidth) const = 0;
    // The label centred on the pixel, half its width given.
    virtual void DrawLabel(QPainter& p, int at, int half, const QString& text) = 0;

    CRulerFontDesc m_font;
    int m_startOffset;
    int m_endMargin = 0;
    double m_first = 1.0;
    double m_last = 100.0;
    std::string m_caption;
    std::string m_tooltip;
};
