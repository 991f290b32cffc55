#include "display/AbstractESDoc.h"

#include "display/ESDocList.h"

#include <algorithm>

CAbstractESDoc::~CAbstractESDoc()
{
    if (m_registered)
        DetachFromSource();
}

void CAbstractESDoc::SetSource(CESDocList* source)
{
    if (m_source && m_registered)
        DetachFromSource();
    m_source = source;
    m_registered = false;
}

void CAbstractESDoc::AttachToSource()
{
    if (!m_source) {
        m_registered = false;
        return;
    }
    if (!m_registered)
        m_source->AddDoc(this);
    m_registered = true;
}

void CAbstractESDoc::DetachFromSource()
{
    if (m_source && m_registered)
        m_source->RemoveDoc(this);
    m_registered = false;
}

void CAbstractESDoc::AddView(IDocumentView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CAbstractESDoc::RemoveView(IDocumentView* view)
{
    std::erase(m_views, view);
}

void CAbstractESDoc::UpdateAllViews()
{
    // By index: a view that registered during the walk is updated too.
    for (std::size_t i = 0; i < m_views.size(); ++i)
        m_views[i]->OnUpdate();
}
