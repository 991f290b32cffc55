// The right pane of the plot view: a combo of the curves and a list of the
// current curve's points as depth (-y) and sound velocity (x). It follows
// every change through message 50000 and edits points only through the plot
// view's operations.
#pragma once

#include "plot/GraphMessage.h"

#include <QWidget>

#include <memory>

class CGraphProp;
class CGraphView;
class CPViewPointCombo;
class CPointList;
class QMenu;

class CPointsView : public QWidget, public IGraphPane
{
public:
    explicit CPointsView(QWidget* parent = nullptr);

    long OnGraphMessage(const CGraphMessage& message) override;
    // False for a command the view does not carry out.
    bool OnCommand(int id);

    // Menu 132 with a selected row, else 134; none before the plot view is
    // known or without a current curve.
    std::unique_ptr<QMenu> BuildListMenu();
    void ShowListMenu(QPoint globalPos);

    CGraphView* GetGraphView() const { return m_view; }
    int GetCurrentSlot() const { return m_current; }
    CPointList* GetList() const { return m_list; }
    CPViewPointCombo* GetCombo() const { return m_combo; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnInitialUpdate();
    const CGraphProp* CurrentCurve() const;
    void FillCombo();
    // False (and nothing changes) for a slot without a curve.
    bool SelectCurve(int slot);
    // The lowest occupied slot, or no current curve and an empty list.
    void SelectFirstCurve();
    void FillList();
    void InsertRow(int index);
    void EditPoint();
    void DeletePoint();
    void InsertPoint(int index);

    CPointList* m_list;
    CPViewPointCombo* m_combo;
    int m_current = -1;
    CGraphView* m_view = nullptr;
};
