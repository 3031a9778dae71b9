#pragma once
// SocketAddress to and from sockaddr_in and sockaddr_in6, which POSIX and
// Winsock declare field for field alike in headers of their own: each system
// file instantiates these with a `System` naming its types and family values
// (In, In6, inet, inet6). The caller's storage is a sockaddr_storage.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/sockets.h"

namespace dorvan::platform::os {

inline uint16_t portFromNetworkOrder(const void* field) {
    const auto* bytes = static_cast<const uint8_t*>(field);
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

inline void portToNetworkOrder(uint16_t port, void* field) {
    auto* bytes = static_cast<uint8_t*>(field);
    bytes[0] = static_cast<uint8_t>(port >> 8);
    bytes[1] = static_cast<uint8_t>(port);
}

// Empty for families other than IPv4 and IPv6.
template <typename System>
SocketAddress fromSockaddr(const void* raw) {
    SocketAddress address;
    const auto* in = static_cast<const typename System::In*>(raw);
    if (in->sin_family == System::inet) {
        address.family = SocketAddress::Family::ipv4;
        std::memcpy(address.host.data(), &in->sin_addr, 4);
        address.portNumber = portFromNetworkOrder(&in->sin_port);
    } else if (in->sin_family == System::inet6) {
        const auto* in6 = static_cast<const typename System::In6*>(raw);
        address.family = SocketAddress::Family::ipv6;
        std::memcpy(address.host.data(), &in6->sin6_addr, 16);
        address.portNumber = portFromNetworkOrder(&in6->sin6_port);
        address.scopeId = in6->sin6_scope_id;
    }
    return address;
}

// Fills `storage` (zeroed by the caller) and gives the length the system calls take.
template <typename System>
size_t toSockaddr(const SocketAddress& address, void* storage) {
    if (address.isIpv6()) {
        auto* in6 = static_cast<typename System::In6*>(storage);
        in6->sin6_family = System::inet6;
        std::memcpy(&in6->sin6_addr, address.host.data(), 16);
        portToNetworkOrder(address.portNumber, &in6->sin6_port);
        in6->sin6_scope_id = address.scopeId;
        return sizeof(typename System::In6);
    }
    auto* in = static_cast<typename System::In*>(storage);
    in->sin_family = System::inet;
    std::memcpy(&in->sin_addr, address.host.data(), 4);
    portToNetworkOrder(address.portNumber, &in->sin_port);
    return sizeof(typename System::In);
}

}  // namespace dorvan::platform::os
