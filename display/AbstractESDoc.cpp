#include "display/AbstractESDoc.h"

#include "display/ESDocList.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>

// What a posted WM_ES_UPDATEALLVIEWS carries: the document's hand-off,
// which outlives the document, and the newest result when it was posted.
// Counted as posted for as long as it lives, handled or dropped.
struct CAbstractESDoc::SPostedUpdate
{
    SPostedUpdate(std::shared_ptr<SHandOff> handOff, std::uint64_t result) : handOff(std::move(handOff)), result(result)
    {
        this->handOff->posted.fetch_add(1);
    }
    ~SPostedUpdate() { handOff->posted.fetch_sub(1); }
    SPostedUpdate(const SPostedUpdate&) = delete;
    SPostedUpdate& operator=(const SPostedUpdate&) = delete;

    std::shared_ptr<SHandOff> handOff;
    std::uint64_t result;
};

CAbstractESDoc::CAbstractESDoc()
{
    m_handOff->document = this;
}

CAbstractESDoc::~CAbstractESDoc()
{
    EndHandOff();
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

void CAbstractESDoc::EndHandOff()
{
    std::lock_guard lk(m_handOff->lock);
    m_handOff->document = nullptr;
}

std::unique_ptr<MessagePayload> CAbstractESDoc::MakeUpdatePayload()
{
    return MakePayload<SPostedUpdate>(m_handOff, NewestResult());
}

std::size_t CAbstractESDoc::GetPostedUpdates() const
{
    return m_handOff->posted.load();
}

bool CAbstractESDoc::RunUpdatePayload(MessagePayload* payload)
{
    auto* posted = dynamic_cast<TypedPayload<SPostedUpdate>*>(payload);
    if (!posted)
        return false;
    SHandOff& handOff = *posted->value.handOff;
    // Held while the views update, so that a document going on another
    // thread waits for it.
    std::lock_guard lk(handOff.lock);
    // Updates not posted because too many waited: the last one that waits
    // takes their results too, so that none is left behind.
    std::uint64_t upTo = posted->value.result;
    if (handOff.posted.load() <= 1 && handOff.capped.exchange(false))
        upTo = kAllResults;
    if (handOff.document)
        handOff.document->UpdateAllViews(upTo);
    return true;
}

bool CAbstractESDoc::ReserveUpdate()
{
    if (m_handOff->posted.load() < kMaxWaitingResults)
        return true;
    m_handOff->capped.store(true);
    return false;
}

void CAbstractESDoc::UpdateAllViews(std::uint64_t upTo)
{
    if (QueuesResults()) {
        while (TakeResult(upTo))
            for (std::size_t i = 0; i < m_views.size(); ++i)
                m_views[i]->OnUpdate();
        return;
    }
    // By index: a view that registered during the walk is updated too.
    for (std::size_t i = 0; i < m_views.size(); ++i)
        m_views[i]->OnUpdate();
}
