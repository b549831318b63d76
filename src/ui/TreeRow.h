// One tree list row: its visible text followed by the marker U+0080 and its fields in decimal.
#pragma once

#include <QString>

#include <cstdint>

inline constexpr QChar kRowMarker = QChar(0x80);

struct TTreeRow {
    QString text;
    int type = 1;       // 0 folder, 1 file, 2 drive or other
    int level = 0;      // tree indent level
    int icon = 0;       // icon resource id, 0 for none
    qint64 size = -1;   // bytes, -1 for none
    std::uint32_t timeLow = 0;   // modification time as a platform file time, in two halves
    std::uint32_t timeHigh = 0;

    std::uint64_t Time() const { return (std::uint64_t{timeHigh} << 32) | timeLow; }
    void SetTime(std::uint64_t fileTime)
    {
        timeLow = static_cast<std::uint32_t>(fileTime);
        timeHigh = static_cast<std::uint32_t>(fileTime >> 32);
    }
    bool operator==(const TTreeRow&) const = default;
};

// The row string: text (any suffix it carried removed) and the shortest suffix keeping every
// field that differs from its default.
QString EncodeRow(const TTreeRow& row);

// Parses a row string; fields missing from the suffix keep their defaults.
TTreeRow DecodeRow(const QString& encoded);

// The visible text of a row string.
QString RowVisibleText(const QString& encoded);
