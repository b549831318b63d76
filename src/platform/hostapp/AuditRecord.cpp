#include "AuditRecord.h"

#include <cstdio>

namespace {
bool NeedsQuotes(std::string_view strValue)
{
    if (strValue.empty())
        return true;
    for (const char c : strValue) {
        const auto n = static_cast<unsigned char>(c);
        if (n <= 0x20 || n >= 0x7F || c == '=' || c == '"')
            return true;
    }
    return false;
}

const char* OperationName(EHostOperation eOperation)
{
    switch (eOperation) {
    case EHostOperation::List: return "list";
    case EHostOperation::Download: return "download";
    case EHostOperation::Upload: return "upload";
    case EHostOperation::Remove: return "remove";
    case EHostOperation::MakeFolder: return "mkdir";
    case EHostOperation::SetInfo: return "setinfo";
    }
    return "unknown";
}

const char* OutcomeName(EHostOutcome eOutcome)
{
    switch (eOutcome) {
    case EHostOutcome::Done: return "done";
    case EHostOutcome::Refused: return "refused";
    case EHostOutcome::Failed: return "failed";
    case EHostOutcome::Aborted: return "aborted";
    }
    return "unknown";
}
} // namespace

std::string AuditValue(std::string_view strValue)
{
    if (!NeedsQuotes(strValue))
        return std::string(strValue);
    std::string strQuoted = "\"";
    for (const char c : strValue) {
        switch (c) {
        case '"': strQuoted += "\\\""; break;
        case '\\': strQuoted += "\\\\"; break;
        case '\n': strQuoted += "\\n"; break;
        case '\r': strQuoted += "\\r"; break;
        case '\t': strQuoted += "\\t"; break;
        default:
            if (const auto n = static_cast<unsigned char>(c); n < 0x20 || n >= 0x7F) {
                char szEscape[5];
                std::snprintf(szEscape, sizeof szEscape, "\\x%02X", n);
                strQuoted += szEscape;
            } else {
                strQuoted += c;
            }
        }
    }
    return strQuoted + '"';
}

TAuditRecord::TAuditRecord(std::string_view strEvent) : m_strText("event=" + AuditValue(strEvent)) {}

TAuditRecord& TAuditRecord::Add(std::string_view strKey, std::string_view strValue)
{
    m_strText += ' ';
    m_strText += strKey;
    m_strText += '=';
    m_strText += AuditValue(strValue);
    return *this;
}

TAuditRecord& TAuditRecord::Add(std::string_view strKey, std::uint64_t nValue) { return Add(strKey, std::to_string(nValue)); }
TAuditRecord& TAuditRecord::Add(std::string_view strKey, std::int64_t nValue) { return Add(strKey, std::to_string(nValue)); }
TAuditRecord& TAuditRecord::AddYesNo(std::string_view strKey, bool bValue) { return Add(strKey, std::string_view(bValue ? "yes" : "no")); }

std::string OperationRecord(const THostOperation& operation, const TAuditGuest& guest)
{
    TAuditRecord record(OperationName(operation.eOperation));
    record.Add("outcome", OutcomeName(operation.eOutcome))
        .Add("guest", guest.strAddress)
        .Add("user", guest.strUser)
        .Add("session", std::uint64_t{guest.nSession})
        .Add("path", operation.strPath);
    switch (operation.eOperation) {
    case EHostOperation::Download:
        record.Add("bytes", operation.nBytes);
        break;
    case EHostOperation::Upload:
        record.Add("bytes", operation.nBytes).AddYesNo("replaced", operation.bReplaced);
        break;
    case EHostOperation::Remove:
        // A refusal may come before the host looked at what the name is.
        if (operation.eOutcome == EHostOutcome::Done || operation.bTree)
            record.Add("kind", operation.bTree ? "tree" : "file");
        break;
    default:
        break;
    }
    if (operation.eOutcome == EHostOutcome::Done)
        return record.Text();
    // Listings and downloads are answered by the end of their stream, not by a result.
    if (operation.eOperation != EHostOperation::List && operation.eOperation != EHostOperation::Download)
        record.Add("result", std::int64_t{operation.nResult});
    record.Add("cause", operation.strCause);
    return record.Text();
}
