// The plot control as one widget: the curves, formats and undo list of
// CGraphModel, shown in a splitter with the plot (container with rulers and
// plot window) in column 0 and the points view in column 1. A derived view
// can add to the plot window's context menu and take commands 40000 and
// 40013.
#pragma once

#include "plot/GraphModel.h"

#include <QWidget>

class CGraphContainer;
class CGraphSplitter;
class CGraphix;
class QMenu;

class CGraphView : public QWidget, public CGraphModel
{
public:
    explicit CGraphView(QWidget* parent = nullptr);
    ~CGraphView() override;

    // Puts another pane in column 1 in place of the points view the view
    // starts with; the view owns the widget from then.
    void SetPointsPane(QWidget* widget, IGraphPane* pane);

    void ShowPointsWindow(bool show);
    // The visible curves as text on the clipboard; without any, the
    // clipboard is left alone.
    void CopyAsText();

    // The plot window's context menu before it opens: false keeps it shut.
    virtual bool ContextMenuHook(QMenu& menu) { return true; }
    // Commands 40000 and 40013 of the plot window.
    virtual bool CommandHook(int id) { return true; }

    // The view holding a pane (or any window inside it), or none.
    static CGraphView* FromChild(const QWidget* child);

    CGraphSplitter* GetSplitter() const { return m_splitter; }
    CGraphContainer* GetContainer() const { return m_container; }
    CGraphix* GetGraphix() const;

private:
    CGraphSplitter* m_splitter;
    CGraphContainer* m_container;
};
