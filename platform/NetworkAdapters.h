// The PC's IPv4 network adapters.
//
// The program broadcasts discovery requests and trigger datagrams per adapter
// and binds sockets to an adapter's address. The list comes from
// getifaddrs(): every interface that is up and has an IPv4 address, without
// the loopback interface (which is no network card).
//
// ZELVAR_ADAPTERS replaces the system's list, so that tests and simulators
// see only the units they set up: entries separated by ';', each
// "[name=]address/prefix-length" (e.g. "sim0=127.0.0.1/8;127.0.0.2/8").
// Set but empty, it means "no adapter". Malformed entries are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NetworkAdapter
{
    std::string name;
    std::uint32_t address = 0;  // host byte order
    std::uint32_t mask = 0;
    std::uint32_t broadcast = 0;  // directed broadcast of the adapter's net

    std::string AddressText() const;
};

class CNetworkAdapters
{
public:
    static constexpr const char* kOverrideVariable = "ZELVAR_ADAPTERS";

    // The adapters, in the order the system (or the override) lists them.
    static std::vector<NetworkAdapter> List();

    // Parses an override text as described above.
    static std::vector<NetworkAdapter> Parse(const std::string& text);
};
