#pragma once
// Network adapters of the machine and the adapter MAC text from which the
// machine identifier is computed.

#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tarn::platform {

struct NetworkAdapter {
    QString name;                      // interface name, e.g. enp3s0
    int index = 0;                     // interface index
    std::array<std::uint8_t, 6> mac{}; // all zero when the adapter has no 6-byte address
    bool loopback = false;
    bool hasDevice = false; // backed by a device (not virtual: bridges, tunnels, veth, ...)
};

// The adapters listed under sysClassNet, in interface index order.
std::vector<NetworkAdapter>
ListNetworkAdapters(const QString& sysClassNet = QStringLiteral("/sys/class/net"));

// One "AA:BB:CC:DD:EE:FF" + CR LF per adapter, in interface index order: the
// adapters backed by a device, or, when there is none, every non-loopback
// adapter. Adapters whose MAC is all zero are left out. Empty when none
// qualifies.
QString AdapterMacText(std::span<const NetworkAdapter> adapters);

// AdapterMacText over the machine's adapters.
QString AdapterMacText();

} // namespace tarn::platform
