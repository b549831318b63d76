#include "TreeRow.h"

#include <QStringList>

QString RowVisibleText(const QString& encoded)
{
    const qsizetype marker = encoded.indexOf(kRowMarker);
    return marker < 0 ? encoded : encoded.left(marker);
}

QString EncodeRow(const TTreeRow& row)
{
    QString encoded = RowVisibleText(row.text);
    QStringList fields;
    if (row.Time() != 0)
        fields = {QString::number(row.type), QString::number(row.level), QString::number(row.icon),
                  QString::number(row.size), QString::number(row.timeLow),
                  QString::number(row.timeHigh)};
    else if (row.size >= 0)
        fields = {QString::number(row.type), QString::number(row.level), QString::number(row.icon),
                  QString::number(row.size)};
    else if (row.icon != 0)
        fields = {QString::number(row.type), QString::number(row.level), QString::number(row.icon)};
    else if (row.level != 0)
        fields = {QString::number(row.type), QString::number(row.level)};
    else if (row.type != 1)
        fields = {QString::number(row.type)};
    if (!fields.isEmpty())
        encoded += kRowMarker + fields.join(QLatin1Char(','));
    return encoded;
}

TTreeRow DecodeRow(const QString& encoded)
{
    TTreeRow row;
    const qsizetype marker = encoded.indexOf(kRowMarker);
    if (marker < 0) {
        row.text = encoded;
        return row;
    }
    row.text = encoded.left(marker);
    const QStringList fields = encoded.mid(marker + 1).split(QLatin1Char(','));
    // Fields are read in order up to the first one that is missing or not a number.
    qint64 values[6] = {};
    int count = 0;
    for (const QString& field : fields) {
        if (count == 6)
            break;
        bool ok = false;
        values[count] = field.toLongLong(&ok);
        if (!ok)
            break;
        ++count;
    }
    if (count > 0)
        row.type = static_cast<int>(values[0]);
    if (count > 1)
        row.level = static_cast<int>(values[1]);
    if (count > 2)
        row.icon = static_cast<int>(values[2]);
    if (count > 3)
        row.size = values[3];
    if (count > 5) {
        row.timeLow = static_cast<std::uint32_t>(values[4]);
        row.timeHigh = static_cast<std::uint32_t>(values[5]);
    }
    return row;
}
