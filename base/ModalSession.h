// A modal settings dialog that a processing part (bottom detector, slope
// tracker) has open. The dialog runs a nested event loop on the
// user-interface thread, and in it the sounder may be deleted together with
// the channel and its parts (a replay moving to its next file, a stop or a
// remote command). The part's destructor then ends the dialog with -1 and
// marks the session, so that the launcher, back from its runner, writes
// nothing into the part that is gone and tells no one about it.
#pragma once

#include <functional>

class CModalSession
{
public:
    // The runner's hold on the dialog it shows.
    class IOpenDialog
    {
    public:
        virtual ~IOpenDialog() = default;
        virtual void EndDialog(int result) = 0;
    };
    // Called by a runner once its dialog exists and before it runs.
    using DialogOpened = std::function<void(IOpenDialog*)>;

    // Opens a session in the owner's slot. A session opened while another
    // runs (a nested loop reaching the same part) keeps the one before.
    explicit CModalSession(CModalSession*& slot) : m_slot(&slot), m_previous(slot) { slot = this; }
    ~CModalSession()
    {
        // The owner is gone and its slot with it.
        if (!m_ownerGone)
            *m_slot = m_previous;
    }
    CModalSession(const CModalSession&) = delete;
    CModalSession& operator=(const CModalSession&) = delete;

    DialogOpened Opened()
    {
        return [this](IOpenDialog* dialog) { m_dialog = dialog; };
    }
    // True once the owner was destroyed while the runner ran.
    bool OwnerGone() const { return m_ownerGone; }

    // From the owner's destructor: ends every dialog still open on it.
    static void EndAll(CModalSession*& slot)
    {
        CModalSession* session = slot;
        slot = nullptr;
        while (session) {
            CModalSession* previous = session->m_previous;
            session->m_ownerGone = true;
            if (IOpenDialog* dialog = session->m_dialog) {
                session->m_dialog = nullptr;
                dialog->EndDialog(-1);
            }
            session = previous;
        }
    }

private:
    CModalSession** m_slot;
    CModalSession* m_previous;
    IOpenDialog* m_dialog = nullptr;
    bool m_ownerGone = false;
};
