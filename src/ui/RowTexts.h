// The Size and Modified column texts of a row.
#pragma once

#include <QDateTime>
#include <QFontMetrics>
#include <QString>

#include <cstdint>

// Kilobytes rounded down, at least 1, followed by two blanks: "2 KB  ".
QString SizeText(qint64 bytes);

// A platform file time (100 ns units since 1601, UTC) as a local date and time.
QDateTime FileTimeToLocal(std::uint64_t fileTime);

// The short date (after two blanks) and the time of a file time, in the user's locale.
QString ModifiedDateText(std::uint64_t fileTime);
QString ModifiedTimeText(std::uint64_t fileTime);
// The width of the widest date text, so that the times line up in a column.
int WidestDateWidth(const QFontMetrics& metrics);
