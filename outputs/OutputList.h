// The program's outputs in one ordered list: the order in which they take a
// ping (post-processing, network, remote display, serial), which every other
// hand-over follows as well. An entry is an output slot (COutputSlot) for an
// output the program builds, or a named null (CAbsentOutput) for one it does
// not have yet. The list is itself an output: what it takes goes to every
// entry in turn.
//
// Threads: as IOutput. Walking the list allocates nothing and takes no lock
// of its own; the entries are fixed when the list is made.
#pragma once

#include "outputs/Output.h"

#include <initializer_list>
#include <string>
#include <vector>

class COutputList final : public IOutput
{
public:
    // The entries in order; each outlives the list.
    COutputList(std::initializer_list<IOutput*> entries) : m_entries(entries) {}
    COutputList(const COutputList&) = delete;
    COutputList& operator=(const COutputList&) = delete;

    void TakePing(const OutputPing& ping) override;
    void TakeDepth(const DepthReport& report) override;
    void TakeText(const OutputText& text) override;
    void TakeProfile(const std::string& text, std::uint64_t time) override;
    void RestoreDefaults() override;

    // The names of the entries the program has no output for, in order.
    std::vector<std::string> AbsentOutputs() const;

private:
    const std::vector<IOutput*> m_entries;
};
