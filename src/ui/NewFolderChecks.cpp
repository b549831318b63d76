#include "NewFolderChecks.h"

#include "StringTable.h"

#include "MessageBoxes.h"

namespace {

// The platform's 0x99 in the ANSI code page: names are UTF-8 here, where that byte also occurs
// inside ordinary characters, so the character itself is refused.
constexpr char16_t kTradeMark = 0x2122;

bool IsForbidden(QChar c)
{
    return QStringLiteral("\"*/:<>?\\|").contains(c) || c.unicode() == kTradeMark;
}

// Short names: at most 8 characters, or 8 + "." + extension within 12, without blanks.
int ShortNameMessage(const QString& name)
{
    if (name.size() > 12)
        return IDS_FOLDER_NAME_TOO_LONG;
    const bool dotNinth = name.size() >= 10 && name.at(8) == QLatin1Char('.');
    if (name.size() > 8 && !dotNinth)
        return IDS_ILLEGAL_FOLDER_NAME;
    if (name.contains(QLatin1Char(' ')))
        return IDS_ILLEGAL_FOLDER_NAME;
    return 0;
}

TFolderNameVerdict Verdict(int id)
{
    return {id, id ? TableString(id) : QString(), false};
}

}  // namespace

QString JoinFolder(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('\\') + name;
}

TFolderNameVerdict CheckLocalFolderName(const QString& name, const QString& folder, bool longNames)
{
    if (name.isEmpty())
        return Verdict(IDS_FOLDER_NAME_EMPTY);
    if (!longNames)
        if (const int id = ShortNameMessage(name))
            return Verdict(id);
    if (!folder.isEmpty()) {
        // The separator counts against the room left, so the length offered is one that works.
        const int separator = folder.endsWith(QLatin1Char('\\')) ? 0 : 1;
        const int folderLength = static_cast<int>(folder.size()) + separator;
        if (folderLength + name.size() > kNewFolderPathMax) {
            const int room = kNewFolderPathMax - folderLength;
            if (room < 1)
                return {IDS_WORKING_FOLDER_TOO_LONG, TableString(IDS_WORKING_FOLDER_TOO_LONG), true};
            return {IDS_FOLDER_NAME_LENGTH_1,
                    TableString(IDS_FOLDER_NAME_LENGTH_1) + name + TableString(IDS_FOLDER_NAME_LENGTH_2)
                        + QString::number(room) + TableString(IDS_FOLDER_NAME_LENGTH_3),
                    false};
        }
    }
    for (const QChar c : name)
        if (IsForbidden(c))
            return Verdict(IDS_FOLDER_NAME_CHARACTERS);
    return {};
}

TFolderNameVerdict CheckRemoteFolderName(const QString& name, int namingKind, const QStringList& entries)
{
    int id = 0;
    if (name.isEmpty())
        id = IDS_FOLDER_NAME_EMPTY;
    if (namingKind == 0) {
        // Each later check overrides the earlier ones, so a blank decides over the length.
        if (name.size() > 12)
            id = IDS_FOLDER_NAME_TOO_LONG;
        else if (name.size() > 8 && !(name.size() >= 10 && name.at(8) == QLatin1Char('.')))
            id = IDS_ILLEGAL_FOLDER_NAME;
        if (name.contains(QLatin1Char(' ')))
            id = IDS_ILLEGAL_FOLDER_NAME;
    } else if (namingKind == 2 && name.size() > 31) {
        id = IDS_FOLDER_NAME_TOO_LONG;
    }
    for (const QChar c : name) {
        if (IsForbidden(c)) {
            id = IDS_FOLDER_NAME_CHARACTERS;
            if (c.unicode() == kTradeMark)
                break;
        }
    }
    if (entries.contains(name, Qt::CaseInsensitive))
        id = IDS_FOLDER_NOT_CREATED;
    return Verdict(id);
}
