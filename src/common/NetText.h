#pragma once
// Text forms of MAC and IPv4 addresses and the IPv4 header checksum, shared
// by the LAN bridge, the options dialog and the lobby channel.

#include "common/WireHeaders.h"

#include <QString>
#include <cstdint>
#include <span>

namespace tarn {

// Twelve upper-case hexadecimal digits with "-" after the third byte:
// 00:04:1F:12:AB:34 -> "00041F-12AB34".
QString MacToStr(std::span<const std::uint8_t, 6> mac);

// Reads six bytes, each from two hexadecimal digits (either case) at the
// current position; after each pair every following "-" or ":" is skipped.
// So "00041F-12AB34", "00:04:1F:12:AB:34" and "00041F12AB34" give the same
// bytes. Reading stops at the first byte whose two digits are not both there
// and hexadecimal (text too short, or another character); that byte and all
// after it are 0. `complete`, when given, says whether all six bytes were
// read. Characters after the sixth byte are ignored.
SNOOPMACADDRESS StrToMac(const QString& text, bool* complete = nullptr);

// Four decimal numbers, each ended by one non-digit character or the end of
// the text -> (first << 24) + (second << 16) + (third << 8) + fourth, in
// 32-bit unsigned arithmetic: "1.0.253.10" -> 0x0100FD0A. A number with no
// digits counts as 0, as do numbers missing at the end of the text; a number
// above 255 adds into the higher bits exactly as the formula says (modulo
// 2^32). Anything after the fourth number is ignored.
std::uint32_t StrToIP(const QString& text);

// Header checksum of a 20-byte IPv4 header (options are not considered) as a
// host-order value; the header's own Checksum field is left out of the sum.
// Store it with HostToNet16.
std::uint16_t IPChecksum(const IP_HDR& header);

// A valid dotted IPv4 address: exactly four fields separated by ".", each a
// decimal number of one to three ASCII digits with a value from 0 to 255,
// and nothing after the fourth field (no blanks, signs or host names).
bool IsValidIPv4(const QString& text);

// The MAC text normalisation of the options dialog: the text is upper-cased,
// its first 17 characters are walked, every character other than 0-9 and A-F
// is skipped, and the first twelve hexadecimal digits are collected with "-"
// after the sixth. Returns the 13-character form ("AABBCC-DDEEFF") when
// twelve digits were found, otherwise an empty text.
QString NormaliseMacText(const QString& text);

} // namespace tarn
