// The host application's log: one line per event on standard error.
#pragma once

#include <string>
#include <string_view>

// From the most to the least severe; a line is written when it is at least as severe as the
// level set.
enum class ELogLevel { Error, Warning, Info };

void SetServeLogLevel(ELogLevel eLevel);
void ServeLog(const std::string& strLine, ELogLevel eLevel = ELogLevel::Info);
// Text from a guest made safe for one log line: control characters become '?', at most nMax
// bytes.
std::string LogSafe(std::string_view str, std::size_t nMax = 64);
