#include "platform/NetworkAdapters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace tarn::platform {
namespace {

constexpr unsigned kIffLoopback = 0x8;

QByteArray readAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(256).trimmed();
}

// "aa:bb:cc:dd:ee:ff" -> six bytes; anything else (other address lengths,
// garbage) -> false.
bool parseMac(const QByteArray& text, std::array<std::uint8_t, 6>& mac) {
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() != 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        if (!ok || parts[i].size() != 2 || value > 0xFF)
            return false;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool isZero(const std::array<std::uint8_t, 6>& mac) {
    return std::all_of(mac.begin(), mac.end(), [](std::uint8_t b) { return b == 0; });
}

void appendMacLine(QString& text, const std::array<std::uint8_t, 6>& mac) {
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text += QLatin1Char(':');
        text += QLatin1Char(digits[mac[i] >> 4]);
        text += QLatin1Char(digits[mac[i] & 0xF]);
    }
    text += QStringLiteral("\r\n");
}

} // namespace

std::vector<NetworkAdapter> ListNetworkAdapters(const QString& sysClassNet) {
    std::vector<NetworkAdapter> adapters;
    const QStringList names = QDir(sysClassNet).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString dir = sysClassNet + QLatin1Char('/') + name;
        NetworkAdapter adapter;
        adapter.name = name;
        bool ok = false;
        adapter.index = readAttribute(dir + QStringLiteral("/ifindex")).toInt(&ok);
        if (!ok)
            continue; // not an interface folder
        if (!parseMac(readAttribute(dir + QStringLiteral("/address")), adapter.mac))
            adapter.mac.fill(0);
        const uint flags = readAttribute(dir + QStringLiteral("/flags")).toUInt(&ok, 0);
        adapter.loopback = ok && (flags & kIffLoopback) != 0;
        adapter.hasDevice = QFileInfo::exists(dir + QStringLiteral("/device"));
        adapters.push_back(adapter);
    }
    std::stable_sort(
        adapters.begin(), adapters.end(),
        [](const NetworkAdapter& a, const NetworkAdapter& b) { return a.index < b.index; });
    return adapters;
}

QString AdapterMacText(std::span<const NetworkAdapter> adapters) {
    std::vector<NetworkAdapter> sorted(adapters.begin(), adapters.end());
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const NetworkAdapter& a, const NetworkAdapter& b) { return a.index < b.index; });
    const auto counts = [](const NetworkAdapter& a) { return !a.loopback && !isZero(a.mac); };
    const bool anyDevice = std::any_of(sorted.begin(), sorted.end(), [&](const NetworkAdapter& a) {
        return a.hasDevice && counts(a);
    });
    QString text;
    for (const NetworkAdapter& adapter : sorted) {
        if (counts(adapter) && (adapter.hasDevice || !anyDevice))
            appendMacLine(text, adapter.mac);
    }
    return text;
}

QString AdapterMacText() {
    const std::vector<NetworkAdapter> adapters = ListNetworkAdapters();
    return AdapterMacText(adapters);
}

} // namespace tarn::platform
