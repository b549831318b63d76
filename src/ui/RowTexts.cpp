#include "RowTexts.h"

#include <QLocale>

#include <algorithm>

namespace {
// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kFileTimeToUnixEpoch = 116444736000000000ull;

QString DateText(const QDate& date) { return QStringLiteral("  ") + QLocale().toString(date, QLocale::ShortFormat); }
}  // namespace

QString SizeText(qint64 bytes)
{
    const qint64 kilobytes = std::max<qint64>(1, bytes / 1024);
    return QStringLiteral("%1 KB  ").arg(kilobytes);
}

QDateTime FileTimeToLocal(std::uint64_t fileTime)
{
    const qint64 msecs = fileTime >= kFileTimeToUnixEpoch
                             ? static_cast<qint64>((fileTime - kFileTimeToUnixEpoch) / 10000)
                             : -static_cast<qint64>((kFileTimeToUnixEpoch - fileTime) / 10000);
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime);
}

QString ModifiedDateText(std::uint64_t fileTime) { return DateText(FileTimeToLocal(fileTime).date()); }

int WidestDateWidth(const QFontMetrics& metrics)
{
    // Two-digit days of every month (and so every month name) cover what the locale writes.
    int widest = 0;
    for (int month = 1; month <= 12; ++month)
        widest = std::max(widest, metrics.horizontalAdvance(DateText(QDate(2000, month, 28))));
    return widest;
}

QString ModifiedTimeText(std::uint64_t fileTime)
{
    return QLocale().toString(FileTimeToLocal(fileTime).time(), QLocale::ShortFormat);
}
