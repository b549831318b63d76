#include "TextShortening.h"

#include <QStringList>

namespace {

const QString kEllipsis = QStringLiteral("...");

// Keeps a cut from splitting a surrogate pair.
qsizetype WholeCharacters(const QString& text, qsizetype count)
{
    if (count > 0 && count < text.size() && text.at(count - 1).isHighSurrogate())
        --count;
    return count;
}

QString ShortenName(const QString& text, int width, const TTextMeasure& measure)
{
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (measure(text.left(middle)) <= width)
            low = middle;
        else
            high = middle - 1;
    }
    if (low < 1)
        return text.left(WholeCharacters(text, text.at(0).isHighSurrogate() ? 2 : 1));
    if (low < 4)
        return text.left(WholeCharacters(text, low));
    return text.left(WholeCharacters(text, low - 3)) + kEllipsis;
}

QString ShortenPath(const QString& text, int width, const TTextMeasure& measure)
{
    const QStringList parts = text.split(QLatin1Char('\\'));
    const qsizetype middleCount = parts.size() - 2;
    QString candidate = text;
    // Widen the removed run of folders around the middle until the path fits.
    for (qsizetype removed = 1; removed <= middleCount; ++removed) {
        const qsizetype first = 1 + (middleCount - removed) / 2;
        const qsizetype last = first + removed;
        candidate = parts.mid(0, first).join(QLatin1Char('\\')) + QStringLiteral("\\...\\")
                    + parts.mid(last).join(QLatin1Char('\\'));
        if (measure(candidate) <= width)
            return candidate;
    }
    return ShortenName(candidate, width, measure);
}

}  // namespace

QString ShortenToWidth(const QString& text, int width, const TTextMeasure& measure)
{
    if (text.isEmpty() || measure(text) <= width)
        return text;
    if (text.contains(QLatin1Char('\\')))
        return ShortenPath(text, width, measure);
    return ShortenName(text, width, measure);
}

QString ShortenStatusPath(const QString& path, int controlWidth, const TTextMeasure& measure)
{
    if (measure(path) < controlWidth - 6)
        return path;

    const QString marker = QStringLiteral("\\...");
    const int room = controlWidth - measure(marker) - 6;
    QString shown = path;
    const qsizetype firstSlash = shown.indexOf(QLatin1Char('\\'));
    if (firstSlash >= 0) {
        while (measure(shown) > room) {
            const qsizetype next = shown.indexOf(QLatin1Char('\\'), firstSlash + 1);
            if (next < 0)
                break;
            shown.remove(firstSlash + 1, next - firstSlash);
        }
        if (measure(shown) <= room)
            return shown.insert(firstSlash, marker);
    }

    // No folder left to remove: cut the name at character 11 and trim after the "...".
    constexpr qsizetype kCut = 11;
    constexpr qsizetype kKeepEnd = kCut + 3;
    if (shown.size() < kKeepEnd)
        return shown;
    shown.replace(kCut, 3, kEllipsis);
    while (measure(shown) > room && shown.size() > kKeepEnd)
        shown.remove(kKeepEnd, 1);
    return shown;
}
