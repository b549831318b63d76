// The host application's log: one line per event on standard error.
#pragma once

#include <string>
#include <string_view>

void ServeLog(const std::string& strLine);
// Text from a guest made safe for one log line: control characters become '?', at most 64 bytes.
std::string LogSafe(std::string_view str);
