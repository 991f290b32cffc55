// The plot view's splitter: the plot in column 0, the points view in column
// 1. The points pane is never wider than its size (180 pixels, 0 to hide
// it): column 0 is kept at least as wide as the rest.
#pragma once

#include <QSplitter>

class CGraphSplitter : public QSplitter
{
public:
    explicit CGraphSplitter(QWidget* parent);

    // Stores the points pane size and, when asked, lays the columns out so
    // that the pane has it.
    void SetSplitPos(int size, bool relayout);
    int GetSplitPos() const { return m_paneSize; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Relayout();
    void KeepBound();

    int m_paneSize;
};
