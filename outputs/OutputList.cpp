#include "outputs/OutputList.h"

void COutputList::TakePing(const OutputPing& ping)
{
    for (IOutput* entry : m_entries)
        entry->TakePing(ping);
}

void COutputList::TakeDepth(const DepthReport& report)
{
    for (IOutput* entry : m_entries)
        entry->TakeDepth(report);
}

void COutputList::TakeText(const OutputText& text)
{
    for (IOutput* entry : m_entries)
        entry->TakeText(text);
}

void COutputList::TakeProfile(const std::string& text, std::uint64_t time)
{
    for (IOutput* entry : m_entries)
        entry->TakeProfile(text, time);
}

void COutputList::RestoreDefaults()
{
    for (IOutput* entry : m_entries)
        entry->RestoreDefaults();
}

std::vector<std::string> COutputList::AbsentOutputs() const
{
    std::vector<std::string> names;
    for (const IOutput* entry : m_entries)
        if (const auto* absent = dynamic_cast<const CAbsentOutput*>(entry))
            names.emplace_back(absent->Name());
    return names;
}
