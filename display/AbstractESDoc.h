// Base of every document that takes pings: knows the list it registers with
// (its source), the channel it shows and the views that show it. A document
// is in list L exactly when its source is L and its registered flag is set.
//
// A derived document calls DetachFromSource first thing in its own
// destructor: an update running on another thread is then waited for while
// the object is still whole (the base destructor alone would be too late).
#pragma once

#include "platform/WinTypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class MessagePayload;

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
    CAbstractESDoc();
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
    // The most results a document keeps for its views, and the most of its
    // posted updates that wait: a user-interface thread this far behind
    // loses the oldest pings rather than the program its memory.
    static constexpr std::size_t kMaxWaitingResults = 256;
    // Runs the update of every view; what the main window does with the
    // document that WM_ES_UPDATEALLVIEWS names. A document that queues its
    // pings' results updates its views once for each waiting result up to
    // number `upTo` (all by default), in order, and not at all when none
    // waits.
    static constexpr std::uint64_t kAllResults = ~std::uint64_t{0};
    void UpdateAllViews(std::uint64_t upTo = kAllResults);

    // The hand-off of an update that nobody waits for: a payload of
    // WM_ES_UPDATEALLVIEWS naming this document and its newest result, and
    // what the user-interface thread does with it. Updates run in the order
    // they were posted; one whose document has gone meanwhile runs nothing.
    // RunUpdatePayload is false for a payload of another kind.
    std::unique_ptr<MessagePayload> MakeUpdatePayload();
    static bool RunUpdatePayload(MessagePayload* payload);
    // Posted updates not yet run or dropped.
    std::size_t GetPostedUpdates() const;
    // Whether one more update may be posted (fewer than kMaxWaitingResults
    // wait); when not, the last one posted takes this one's result along.
    bool ReserveUpdate();

    // The document a WM_ES_UPDATEALLVIEWS carries in lParam, and back.
    LPARAM AsMessageParameter() { return reinterpret_cast<LPARAM>(this); }
    static CAbstractESDoc* FromMessageParameter(LPARAM lParam) { return reinterpret_cast<CAbstractESDoc*>(lParam); }

protected:
    // A document that queues its pings' results for the views: the number
    // of the newest result queued (counted from 1), and the oldest waiting
    // result numbered up to `upTo` put in place for the views (false when
    // there is none).
    virtual bool QueuesResults() const { return false; }
    virtual std::uint64_t NewestResult() const { return 0; }
    virtual bool TakeResult(std::uint64_t upTo) { return false; }
    // Posted updates still to come find the document gone; a derived
    // document calls it first thing in its destructor, and an update
    // running on the user-interface thread is waited for.
    void EndHandOff();

private:
    struct SHandOff
    {
        std::mutex lock;
        CAbstractESDoc* document = nullptr;
        std::atomic<std::size_t> posted{0};
        std::atomic<bool> capped{false};
    };
    struct SPostedUpdate;
    std::shared_ptr<SHandOff> m_handOff = std::make_shared<SHandOff>();
    CChannel* m_channel = nullptr;
    CESDocList* m_source = nullptr;
    bool m_registered = false;
    std::vector<IDocumentView*> m_views;
};
