// The raw-data output and the running recorder, each as the other reaches
// it. Every recorder the program makes sends its datagram stream here, and
// while the raw-data output exists the stream goes on to it; the output asks
// here for the running recorder's configuration.
//
// Threads: the recorder sends from the threads it writes on; the output
// asks on the user-interface thread.
#pragma once

#include "outputs/QYTriton.h"
#include "program/AbsentRoles.h"
#include "program/Link.h"

namespace app {

class CProgram;

class CRawDataLink final : public zv::recording::IRawDataSink, public IRawDataRecorder
{
public:
    CRawDataLink(CProgram& program, CLinkList& links);

    // The output from now on; null: none again.
    void SetOutput(zv::recording::IRawDataSink* output) { m_output.Set(output); }

    bool IsEnabled() const override { return m_output->IsEnabled(); }
    bool Send(std::span<const std::uint8_t> body) override { return m_output->Send(body); }
    // When a sounder with at least one channel runs: its recorder sends
    // its configuration.
    void WriteConfiguration() override;

private:
    CProgram& m_program;
    TLink<zv::recording::IRawDataSink, CAbsentRawDataSink> m_output;
};

}  // namespace app
