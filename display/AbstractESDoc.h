// Base of every document that takes pings: knows the list it registers with
// (its source), the channel it shows and the views that show it. A document
// is in list L exactly when its source is L and its registered flag is set.
//
// A derived document calls DetachFromSource first thing in its own
// destructor: an update running on another thread is then waited for while
// the object is still whole (the base destructor alone would be too late).
#pragma once

#include "platform/WinTypes.h"

#include <vector>

class CChannel;
class CESDocList;

// A window that shows a document. Each view registers with its document
// when it is made and leaves it when it goes; the document's results reach
// exactly the views registered with it. User-interface thread only.
class IDocumentView
{
public:
    virtual ~IDocumentView() = default;
    // The document has a new result to show.
    virtual void OnUpdate() = 0;
    virtual int RealizeViewPalette() = 0;
};

class CAbstractESDoc
{
public:
    CAbstractESDoc() = default;
    virtual ~CAbstractESDoc();
    CAbstractESDoc(const CAbstractESDoc&) = delete;
    CAbstractESDoc& operator=(const CAbstractESDoc&) = delete;

    // The per-ping update: flag 1 from the ping-data thread, 0 from the
    // list's worker at a display tick.
    virtual void OnSourceUpdate(int flag) {}
    virtual void SetChannel(CChannel* channel) { m_channel = channel; }
    virtual int RealizeViewPalettes() { return 0; }
    virtual void SetDefaults() {}

    // Detaches from the previous source first; registered ends 0 in every case.
    void SetSource(CESDocList* source);
    // Adds itself to the source once; without a source only clears the flag.
    void AttachToSource();
    // Leaves the source's list; the source pointer stays.
    void DetachFromSource();

    CChannel* GetChannel() const { return m_channel; }
    CESDocList* GetSource() const { return m_source; }
    bool IsRegistered() const { return m_registered; }

    // The views of the document, in the order they registered; a view
    // registers once however often it asks. User-interface thread only.
    void AddView(IDocumentView* view);
    void RemoveView(IDocumentView* view);
    const std::vector<IDocumentView*>& GetViews() const { return m_views; }
    // Runs the update of every view; what the main window does with the
    // document that WM_ES_UPDATEALLVIEWS carries.
    void UpdateAllViews();

    // The document a WM_ES_UPDATEALLVIEWS carries in lParam, and back.
    LPARAM AsMessageParameter() { return reinterpret_cast<LPARAM>(this); }
    static CAbstractESDoc* FromMessageParameter(LPARAM lParam) { return reinterpret_cast<CAbstractESDoc*>(lParam); }

private:
    CChannel* m_channel = nullptr;
    CESDocList* m_source = nullptr;
    bool m_registered = false;
    std::vector<IDocumentView*> m_views;
};
