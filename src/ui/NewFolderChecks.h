// The checks a new folder's name passes before the folder is made, locally or on the remote side.
#pragma once

#include <QString>
#include <QStringList>

inline constexpr int kNewFolderNameMax = 247;   // characters the name field accepts
inline constexpr int kNewFolderPathMax = 246;   // longest folder path plus name

struct TFolderNameVerdict {
    int messageId = 0;     // 0 when the name is accepted
    QString message;       // the text to show
    bool closesDialog = false;
};

// Local checks in order: empty, short-name rules (without long names), path length, characters.
TFolderNameVerdict CheckLocalFolderName(const QString& name, const QString& folder, bool longNames);

// Remote checks: the last failing check decides; naming kind 0 has short names, kind 2 at most
// 31 characters; a name already in `entries` (ignoring case) is refused.
TFolderNameVerdict CheckRemoteFolderName(const QString& name, int namingKind, const QStringList& entries);

// `folder` and `name` joined with one "\".
QString JoinFolder(const QString& folder, const QString& name);
