#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::server {

// The answer to one DNS query datagram: an A record (TTL 60) for hostName
// (any case), NOERROR without answers for other types of that name, NXDOMAIN
// for any other name, NOTIMP for opcodes other than QUERY. nullopt for
// datagrams that are not a well-formed single-question query.
std::optional<std::string> DnsAnswer(std::string_view query, const std::string& hostName,
                                     std::uint32_t addressHostOrder);

} // namespace tarn::server
