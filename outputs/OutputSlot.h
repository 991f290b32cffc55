// The entry of the output list for an output that the program builds: the
// output exists only while its object does (the object may be absent for a
// model, dropped when its set-up fails, or closed while the sounder still
// pings), so the object attaches its output here when it is made and
// detaches it before it goes. Whatever comes while nothing is attached is
// passed over.
//
// Threads: any thread may hand something on, and does so without waiting
// for anyone but the slot's own short lock, which nothing else holds; no
// allocation. Detach waits only for a call already in the output.
#pragma once

#include "outputs/Output.h"

#include <condition_variable>
#include <mutex>

class COutputSlot final : public IOutput
{
public:
    explicit COutputSlot(const char* name) : m_name(name) {}
    ~COutputSlot() override { Detach(); }
    COutputSlot(const COutputSlot&) = delete;
    COutputSlot& operator=(const COutputSlot&) = delete;

    const char* Name() const { return m_name; }

    // From now on everything goes to the output.
    void Attach(IOutput& output);
    // Once this returns, nothing reaches the output again: a call in it on
    // another thread is waited for. Never called from within the output's
    // own calls.
    void Detach();
    bool IsAttached() const;

    void TakePing(const OutputPing& ping) override;
    void TakeDepth(const DepthReport& report) override;
    void TakeText(const OutputText& text) override;
    void TakeProfile(const std::string& text, std::uint64_t time) override;
    void RestoreDefaults() override;

private:
    template <class Call>
    void Forward(Call&& call);

    const char* m_name;
    mutable std::mutex m_lock;
    std::condition_variable m_idle;
    IOutput* m_output = nullptr;
    // Calls in the output now.
    int m_calls = 0;
};
