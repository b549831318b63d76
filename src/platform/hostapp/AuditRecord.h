// The audit log's lines: `event=NAME key=value ...`, one record a line, in a form that log
// tools split without knowing our texts. A value with a blank, '=', a quote, a control or a
// non-ASCII byte is written in double quotes with C escapes (\" \\ \n \r \t, \xNN for the rest,
// always two hex digits); other values stand bare.
#pragma once

#include "HostOperation.h"

#include <cstdint>
#include <string>
#include <string_view>

class TAuditRecord {
public:
    explicit TAuditRecord(std::string_view strEvent);
    TAuditRecord& Add(std::string_view strKey, std::string_view strValue);
    TAuditRecord& Add(std::string_view strKey, std::uint64_t nValue);
    TAuditRecord& Add(std::string_view strKey, std::int64_t nValue);
    TAuditRecord& AddYesNo(std::string_view strKey, bool bValue);
    const std::string& Text() const { return m_strText; }

private:
    std::string m_strText;
};

// A value as it stands in a record: bare, or quoted with escapes.
std::string AuditValue(std::string_view strValue);

// Who asked: the guest's address, the user name it gave, the number of its session.
struct TAuditGuest {
    std::string_view strAddress;
    std::string_view strUser;
    unsigned nSession = 0;
};

// The record of one operation of a host session.
std::string OperationRecord(const THostOperation& operation, const TAuditGuest& guest);
