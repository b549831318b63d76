// 8.3 short names (internal).
//
// A name that is not already a legal 8.3 name gets an alias built from the name alone:
//   up to 4 characters of the name part, '~', 3 base-36 digits of a hash, '.', up to 3
//   characters of the extension            ("Long File Name.html" -> "LONG~4QZ.HTM")
// The name part is the name without leading dots, up to its last dot; spaces and dots are
// dropped, letters upper-cased, characters that 8.3 names cannot hold become '_'. The hash is
// 32-bit FNV-1a of the name's UTF-8 bytes. Where aliases collide within one folder, the
// folder index picks further candidates (attempt 1, 2 ... with the attempt number mixed into
// the hash; from attempt 8 on, 2 name characters and 5 digits). Peers keep these names:
// the scheme must never change.
#pragma once

#include <cstdint>
#include <string>

namespace ovf {

// True for a legal 8.3 name in any letter case: 1-8 characters, optionally a dot and 1-3 more,
// all ASCII letters, digits or ! # $ % & ' ( ) - @ ^ _ ` { } ~.
bool IsLegalShortName(const std::string& strName);
std::string UpperAscii(std::string str);
std::uint32_t NameHash(const std::string& strName, unsigned nAttempt);
// The alias candidate of a name for one attempt (0 first).
std::string AliasCandidate(const std::string& strName, unsigned nAttempt);

} // namespace ovf
