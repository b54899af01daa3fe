#include "lobby/Endpoints.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace tarn {
namespace {

// The endpoint file is tiny; a larger one is not ours.
constexpr qint64 kMaxFileSize = 64 * 1024;

// "host" or "host:port" with port 1..65535.
bool parseDnsServer(const QString& value, QString& host, quint16& port) {
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        host = value;
        port = 53;
        return !host.isEmpty();
    }
    bool ok = false;
    const uint p = value.mid(colon + 1).toUInt(&ok);
    host = value.left(colon).trimmed();
    if (!ok || p == 0 || p > 65535 || host.isEmpty() || host.contains(QLatin1Char(':')))
        return false;
    port = static_cast<quint16>(p);
    return true;
}

} // namespace

TEndpoints& Endpoints() {
    static TEndpoints table;
    return table;
}

void ApplyEndpointsText(TEndpoints& table, const QString& text) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const qsizetype eq = raw.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = raw.left(eq).trimmed();
        const QString value = raw.mid(eq + 1).trimmed();
        if (value.isEmpty())
            continue;
        if (key == QLatin1String("WebHost")) {
            table.WebHost = value;
        } else if (key == QLatin1String("MainWebHost")) {
            table.MainWebHost = value;
        } else if (key == QLatin1String("LobbyHost")) {
            table.LobbyHost = value;
        } else if (key == QLatin1String("DnsServer")) {
            QString host;
            quint16 port = 53;
            if (parseDnsServer(value, host, port)) {
                table.DnsServer = host;
                table.DnsPort = port;
            }
        } else if (key == QLatin1String("SupportEmail")) {
            table.SupportEmail = value;
        } else if (key == QLatin1String("UsbMapsMd5")) {
            table.UsbMapsMd5 = value;
        }
    }
}

bool LoadEndpoints(const QString& dataFolder) {
    QFile file(QDir(dataFolder).filePath(QStringLiteral("Endpoints.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(kMaxFileSize);
    ApplyEndpointsText(Endpoints(), QString::fromUtf8(bytes));
    return true;
}

} // namespace tarn
