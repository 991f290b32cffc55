#include "outputs/OutputSlot.h"

void COutputSlot::Attach(IOutput& output)
{
    std::lock_guard lock(m_lock);
    m_output = &output;
}

void COutputSlot::Detach()
{
    std::unique_lock lock(m_lock);
    m_output = nullptr;
    m_idle.wait(lock, [this] { return m_calls == 0; });
}

bool COutputSlot::IsAttached() const
{
    std::lock_guard lock(m_lock);
    return m_output != nullptr;
}

template <class Call>
void COutputSlot::Forward(Call&& call)
{
    IOutput* output = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (!m_output)
            return;
        output = m_output;
        ++m_calls;
    }
    // The count drops however the call ends.
    struct Done
    {
        COutputSlot& slot;
        ~Done()
        {
            std::lock_guard lock(slot.m_lock);
            if (--slot.m_calls == 0)
                slot.m_idle.notify_all();
        }
    } done{*this};
    call(*output);
}

void COutputSlot::TakePing(const OutputPing& ping)
{
    Forward([&](IOutput& output) { output.TakePing(ping); });
}

void COutputSlot::TakeDepth(const DepthReport& report)
{
    Forward([&](IOutput& output) { output.TakeDepth(report); });
}

void COutputSlot::TakeText(const OutputText& text)
{
    Forward([&](IOutput& output) { output.TakeText(text); });
}

void COutputSlot::TakeProfile(const std::string& text, std::uint64_t time)
{
    Forward([&](IOutput& output) { output.TakeProfile(text, time); });
}

void COutputSlot::RestoreDefaults()
{
    Forward([](IOutput& output) { output.RestoreDefaults(); });
}
