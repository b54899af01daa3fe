#pragma once
// A small DNS client for one question: the A record of the lobby host. The
// codec builds the query and walks the answer with bounds-checked reads (a
// hostile or truncated answer yields "no address", never a fault); the
// resolver sends the query over UDP and waits for the matching answer.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace tarn {

// A standard query (recursion desired) for the A record of `host`, or empty
// when the name cannot be encoded (empty label, label above 63 bytes, name
// above 253 bytes).
QByteArray EncodeDnsQuery(std::uint16_t id, const QString& host);

struct DnsAnswer {
    bool valid = false;             // a well-formed response to query `id`
    std::uint8_t rcode = 0;         // response code of the header
    std::optional<QString> address; // first A record of the answer section
};

// Parses a response; `valid` false for anything that is not a response to
// `id` or cannot be read up to the answer records that it needs.
DnsAnswer ParseDnsResponse(const QByteArray& bytes, std::uint16_t id);

struct DnsResult {
    enum Status { Answered, TimedOut, Failed } status = Failed;
    std::optional<QString> address; // first A record when Answered
    QString error;                  // reason when TimedOut or Failed
};

// Asks `server`:`port` (numeric IPv4) for the A record of `host` and waits up
// to `timeoutMs` for the answer with the query's id; other datagrams are
// ignored. Blocks the calling thread for at most `timeoutMs`.
DnsResult ResolveARecord(const QString& server, quint16 port, const QString& host, int timeoutMs);

} // namespace tarn
