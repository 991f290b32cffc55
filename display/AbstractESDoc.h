// Base of every document that takes pings: knows the list it registers with
// (its source) and the channel it shows. A document is in list L exactly
// when its source is L and its registered flag is set.
//
// A derived document calls DetachFromSource first thing in its own
// destructor: an update running on another thread is then waited for while
// the object is still whole (the base destructor alone would be too late).
#pragma once

class CChannel;
class CESDocList;

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

private:
    CChannel* m_channel = nullptr;
    CESDocList* m_source = nullptr;
    bool m_registered = false;
};
