#include "plot/ui/GraphPropertySheet.h"

#include "plot/ui/AxisPage.h"
#include "plot/ui/GraphGenPage.h"
#include "plot/ui/GraphPage.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/PlotFields.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CGraphPropertySheet::CGraphPropertySheet(CGraphView& view, bool general, QWidget* parent)
    : QDialog(parent), m_view(view), m_tabs(new QTabWidget(this))
{
    setWindowTitle(general ? QStringLiteral("Graph window properties") : QStringLiteral("Points window properties"));
    const auto add = [this](CGraphSheetPage* page, const char* title) {
        m_tabs->addTab(page, QString::fromLatin1(title));
        m_pages.push_back(page);
    };
    if (general)
        add(new CGraphGenPage(view, m_tabs), "General");
    add(new CGraphPage(view, m_tabs), "Curves");
    add(new CAxisPage(view, m_tabs), "Axis");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(plotfields::OkCancel(this));
}

void CGraphPropertySheet::accept()
{
    for (CGraphSheetPage* page : m_pages) {
        // A page at fault is shown with its message.
        m_tabs->setCurrentWidget(page);
        if (!page->Validate())
            return;
    }
    for (CGraphSheetPage* page : m_pages)
        page->Apply();
    QDialog::accept();
}

bool CGraphPropertySheet::Run(CGraphView& view, bool general, QWidget* parent)
{
    CGraphPropertySheet sheet(view, general, parent);
    if (sheet.exec() != QDialog::Accepted)
        return false;
    view.GetGraphix()->Redraw(true);
    view.update();
    return true;
}
