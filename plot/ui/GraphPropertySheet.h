// The plot's property sheets: "Graph window properties" with the general,
// curve and axis pages (from the plot window), "Points window properties"
// with the curve and axis pages (from the points view). OK checks every page,
// applies them in order and repaints the whole plot view.
#pragma once

#include <QDialog>

#include <vector>

class CGraphSheetPage;
class CGraphView;
class QTabWidget;

class CGraphPropertySheet : public QDialog
{
public:
    CGraphPropertySheet(CGraphView& view, bool general, QWidget* parent);

    // Runs the sheet; after OK the view shows what the pages set.
    static bool Run(CGraphView& view, bool general, QWidget* parent);

    QTabWidget* GetTabs() const { return m_tabs; }

    void accept() override;

private:
    CGraphView& m_view;
    QTabWidget* m_tabs;
    std::vector<CGraphSheetPage*> m_pages;
};
