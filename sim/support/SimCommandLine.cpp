#include "sim/support/SimCommandLine.h"

#include "platform/Socket.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

}  // namespace

CSimCommandLine::CSimCommandLine(std::string program) : m_program(std::move(program)) {}

void CSimCommandLine::Option(const std::string& name, std::function<bool(const std::string&)> take)
{
    m_entries.push_back(Entry{name, std::move(take), false});
}

void CSimCommandLine::Address(const std::string& name, std::uint32_t& target)
{
    Option(name, [&target](const std::string& text) { return SocketAddress::ParseIp(text, target); });
}

void CSimCommandLine::Flag(const std::string& name, bool& target)
{
    m_entries.push_back(Entry{name,
                              [&target](const std::string&) {
                                  target = true;
                                  return true;
                              },
                              true});
}

const CSimCommandLine::Entry* CSimCommandLine::Find(const std::string& name) const
{
    for (const Entry& e : m_entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

bool CSimCommandLine::Parse(int argc, char** argv) const
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const Entry* entry = Find(a);
        if (entry && entry->flag) {
            entry->take(std::string());
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s: unknown argument or missing value: %s\n", m_program.c_str(), a.c_str());
            return false;
        }
        if (!entry) {
            std::fprintf(stderr, "%s: unknown argument: %s\n", m_program.c_str(), a.c_str());
            return false;
        }
        const std::string value = argv[++i];
        if (!entry->take(value)) {
            std::fprintf(stderr, "%s: %s: bad value: %s\n", m_program.c_str(), a.c_str(), value.c_str());
            return false;
        }
    }
    return true;
}

int CSimCommandLine::CannotBind(const std::string& address) const
{
    std::fprintf(stderr, "%s: cannot bind %s\n", m_program.c_str(), address.c_str());
    return 1;
}

bool CSimCommandLine::ReadNumber(const std::string& text, double low, double high, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && value >= low && value <= high;
}

void CSimCommandLine::RunUntilInterrupted()
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!g_stop)
        pause();
}
