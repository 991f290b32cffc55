#include "display/AbstractESDoc.h"

#include "display/ESDocList.h"

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
