#include "platform/NetworkAdapters.h"

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace {

std::uint32_t MaskOfPrefix(int prefix)
{
    return prefix <= 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefix)) - 1);
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string NetworkAdapter::AddressText() const
{
    return SocketAddress::IpText(address);
}

std::vector<NetworkAdapter> CNetworkAdapters::Parse(const std::string& text)
{
    std::vector<NetworkAdapter> out;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find(';', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string entry = Trim(text.substr(begin, end - begin));
        begin = end + 1;
        if (entry.empty())
            continue;
        NetworkAdapter adapter;
        const size_t equals = entry.find('=');
        if (equals != std::string::npos) {
            adapter.name = Trim(entry.substr(0, equals));
            entry = Trim(entry.substr(equals + 1));
        }
        const size_t slash = entry.find('/');
        if (slash == std::string::npos || !SocketAddress::ParseIp(entry.substr(0, slash), adapter.address))
            continue;
        const std::string prefixText = entry.substr(slash + 1);
        if (prefixText.empty() || prefixText.size() > 2 ||
            prefixText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const int prefix = std::atoi(prefixText.c_str());
        if (prefix > 32)
            continue;
        adapter.mask = MaskOfPrefix(prefix);
        adapter.broadcast = adapter.address | ~adapter.mask;
        if (adapter.name.empty())
            adapter.name = "adapter" + std::to_string(out.size());
        out.push_back(adapter);
    }
    return out;
}

std::vector<NetworkAdapter> CNetworkAdapters::List()
{
    if (const char* override = std::getenv(kOverrideVariable))
        return Parse(override);

    std::vector<NetworkAdapter> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET)
            continue;
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        NetworkAdapter adapter;
        adapter.name = it->ifa_name != nullptr ? it->ifa_name : "";
        adapter.address = ntohl(reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr);
        if (it->ifa_netmask != nullptr)
            adapter.mask = ntohl(reinterpret_cast<const sockaddr_in*>(it->ifa_netmask)->sin_addr.s_addr);
        adapter.broadcast = adapter.address | ~adapter.mask;
        if ((it->ifa_flags & IFF_BROADCAST) != 0 && it->ifa_broadaddr != nullptr &&
            it->ifa_broadaddr->sa_family == AF_INET)
            adapter.broadcast = ntohl(reinterpret_cast<const sockaddr_in*>(it->ifa_broadaddr)->sin_addr.s_addr);
        out.push_back(adapter);
    }
    freeifaddrs(list);
    return out;
}
