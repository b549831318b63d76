#include "TextShortening.h"
#include "TreeListFlags.h"
#include "TreeListModel.h"
#include "TreeRowOrder.h"

#include <gtest/gtest.h>

namespace {

// Every character is 1 unit wide, so widths are lengths.
int Chars(const QString& text) { return static_cast<int>(text.size()); }

TTreeRow Row(const char* text, int type, qint64 size = -1, std::uint64_t time = 0)
{
    TTreeRow row;
    row.text = QString::fromUtf8(text);
    row.type = type;
    row.size = size;
    row.SetTime(time);
    return row;
}

TEST(TreeRow, EncodesShortestSuffixKeepingNonDefaultFields)
{
    const QString m(kRowMarker);
    TTreeRow file;
    file.text = "a.txt";
    EXPECT_EQ(EncodeRow(file), "a.txt");
    TTreeRow folder = file;
    folder.type = 0;
    EXPECT_EQ(EncodeRow(folder), "a.txt" + m + "0");
    TTreeRow level = file;
    level.level = 2;
    EXPECT_EQ(EncodeRow(level), "a.txt" + m + "1,2");
    TTreeRow icon = file;
    icon.icon = 20101;
    EXPECT_EQ(EncodeRow(icon), "a.txt" + m + "1,0,20101");
    TTreeRow sized = icon;
    sized.size = 0;
    EXPECT_EQ(EncodeRow(sized), "a.txt" + m + "1,0,20101,0");
    TTreeRow timed = file;
    timed.timeLow = 4000000000u;
    timed.timeHigh = 30000000;
    EXPECT_EQ(EncodeRow(timed), "a.txt" + m + "1,0,0,-1,4000000000,30000000");
}

TEST(TreeRow, RoundTripsAndReadsDefaults)
{
    const TTreeRow rows[] = {
        Row("plain.txt", kRowFile),
        Row("Folder", kRowFolder),
        Row("big.iso", kRowFile, 6000000000LL, 0x01D5A1B2C3D4E5F6ull),
        Row("zero", kRowFile, 0),
        Row("caf\xC3\xA9 \xE2\x82\xAC\xC2\x80x", kRowFile, 12),  // U+0080 inside a name is kept
    };
    for (const TTreeRow& row : rows) {
        TTreeRow expected = row;
        if (row.text.contains(kRowMarker))
            expected.text = row.text.left(row.text.indexOf(kRowMarker));
        EXPECT_EQ(DecodeRow(EncodeRow(row)), expected) << row.text.toStdString();
    }
    const TTreeRow plain = DecodeRow("name.doc");
    EXPECT_EQ(plain.type, 1);
    EXPECT_EQ(plain.level, 0);
    EXPECT_EQ(plain.icon, 0);
    EXPECT_EQ(plain.size, -1);
    EXPECT_EQ(plain.Time(), 0u);
    // A lone time half is not taken.
    const TTreeRow half = DecodeRow("x" + QString(kRowMarker) + "1,0,0,5,77");
    EXPECT_EQ(half.size, 5);
    EXPECT_EQ(half.Time(), 0u);
}

TEST(TreeRow, RewritingRemovesOldSuffix)
{
    TTreeRow row = DecodeRow(EncodeRow(Row("doc", kRowFolder, -1)));
    row.text = EncodeRow(Row("doc", kRowFile, 10));  // text still carrying a suffix
    row.type = 0;
    row.size = -1;
    EXPECT_EQ(EncodeRow(row), "doc" + QString(kRowMarker) + "0");
}

TEST(TreeListModel, RowAccessorsGiveDefaultsOutsideTheListAndKeepItemData)
{
    TTreeListModel model;
    model.AddRow(Row("one", kRowFile, 3), 77);
    EXPECT_EQ(model.RowType(5), -1);
    EXPECT_EQ(model.RowType(-1), -1);
    EXPECT_EQ(model.RowSize(5), -1);
    EXPECT_EQ(model.RowText(5), QString());
    model.SetRow(0, Row("renamed", kRowFolder));
    EXPECT_EQ(model.RowItemData(0), 77u);
    EXPECT_EQ(model.RowText(0), "renamed");
    EXPECT_EQ(model.RowType(0), kRowFolder);
}

TEST(TreeListModel, FullPathInListAndTreeMode)
{
    TTreeListModel model;
    model.SetBaseFolder("C:\\Work");
    model.AddRow(Row("a.txt", kRowFile));
    EXPECT_EQ(model.RowFullPath(0), "C:\\Work\\a.txt");
    model.SetBaseFolder("C:\\");
    EXPECT_EQ(model.RowFullPath(0), "C:\\a.txt");

    TTreeListModel tree;
    tree.SetFlags(kTreeModeFlag);
    const struct {
        const char* name;
        int level;
    } rows[] = {{"c:", 0}, {"Users", 1}, {"bob", 2}, {"Temp", 1}, {"d:", 0}};
    for (const auto& r : rows) {
        TTreeRow row = Row(r.name, kRowOther);
        row.level = r.level;
        tree.AddRow(row);
    }
    EXPECT_EQ(tree.RowFullPath(2), "c:\\Users\\bob");
    EXPECT_EQ(tree.RowFullPath(3), "c:\\Temp");
    EXPECT_EQ(tree.RowFullPath(4), "d:");
}

QStringList Names(const TTreeListModel& model)
{
    QStringList names;
    for (int i = 0; i < model.rowCount(); ++i)
        names << model.RowText(i);
    return names;
}

// Rows inserted one by one in a scrambled order.
void Fill(TTreeListModel& model, unsigned flags)
{
    const TTreeRow rows[] = {
        Row("b.txt", kRowFile, 300, 1000), Row("Zeta", kRowFolder),
        Row("a.doc", kRowFile, 300, 3000), Row("C.txt", kRowFile, 100, 2000),
        Row("alpha", kRowFolder),          Row("d.bin", kRowFile, 5000000000LL, 500),
    };
    for (const TTreeRow& row : rows)
        model.InsertSorted(row, flags);
}

TEST(TreeListModel, SortedInsertionPutsFoldersFirstInEveryOrder)
{
    const struct {
        unsigned flags;
        QStringList expected;
    } cases[] = {
        {kTreeSortName, {"alpha", "Zeta", "a.doc", "b.txt", "C.txt", "d.bin"}},
        {kTreeSortName | kTreeDescending, {"Zeta", "alpha", "d.bin", "C.txt", "b.txt", "a.doc"}},
        // Equal sizes fall back to names; sizes beyond 32 bits still sort by value.
        {kTreeSortSize, {"alpha", "Zeta", "C.txt", "a.doc", "b.txt", "d.bin"}},
        {kTreeSortSize | kTreeDescending, {"Zeta", "alpha", "d.bin", "b.txt", "a.doc", "C.txt"}},
        {kTreeSortTime, {"alpha", "Zeta", "d.bin", "b.txt", "C.txt", "a.doc"}},
        {kTreeSortTime | kTreeDescending, {"Zeta", "alpha", "a.doc", "C.txt", "b.txt", "d.bin"}},
        {kTreeSortExtension, {"alpha", "Zeta", "d.bin", "a.doc", "b.txt", "C.txt"}},
    };
    for (const auto& c : cases) {
        TTreeListModel model;
        Fill(model, c.flags);
        EXPECT_EQ(Names(model), c.expected) << std::hex << c.flags;
    }
}

TEST(TreeListModel, EqualRowsKeepInsertionOrder)
{
    TTreeListModel model;
    model.InsertSorted(Row("same", kRowFile, 1), kTreeSortName, 1);
    model.InsertSorted(Row("SAME", kRowFile, 1), kTreeSortName, 2);
    model.InsertSorted(Row("Same", kRowFile, 1), kTreeSortName, 3);
    EXPECT_EQ(model.RowItemData(0), 1u);
    EXPECT_EQ(model.RowItemData(1), 2u);
    EXPECT_EQ(model.RowItemData(2), 3u);
}

TEST(Shortening, NamesEndInEllipsisAndKeepAtLeastOneCharacter)
{
    const struct {
        const char* text;
        int width;
        const char* shown;
    } cases[] = {
        {"short.txt", 20, "short.txt"},
        {"a rather long file name.txt", 10, "a rathe..."},
        {"abcdef", 3, "abc"},
        {"abcdef", 0, "a"},
        {"abcdef", 4, "a..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortenToWidth(c.text, c.width, Chars), c.shown) << c.text << " " << c.width;
}

TEST(Shortening, PathsLoseMiddleFoldersFirst)
{
    const QString path = "C:\\one\\two\\three\\four\\file.txt";
    EXPECT_EQ(ShortenToWidth(path, 30, Chars), path);
    EXPECT_EQ(ShortenToWidth(path, 29, Chars), "C:\\one\\...\\four\\file.txt");
    EXPECT_EQ(ShortenToWidth(path, 22, Chars), "C:\\...\\four\\file.txt");
    EXPECT_EQ(ShortenToWidth(path, 18, Chars), "C:\\...\\file.txt");
    // Nothing left to remove: the result is still made to fit.
    EXPECT_LE(ShortenToWidth(path, 10, Chars).size(), 10);
}

TEST(Shortening, StatusPathDropsFoldersAfterTheDriveThenCutsTheName)
{
    const QString path = "C:\\one\\two\\three\\file.txt";  // 25 characters
    const struct {
        int width;
        const char* shown;
    } cases[] = {
        {40, "C:\\one\\two\\three\\file.txt"},
        {31, "C:\\...\\two\\three\\file.txt"},  // room 21: "C:\two\three\file.txt"
        {27, "C:\\...\\three\\file.txt"},
        {21, "C:\\...\\file.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortenStatusPath(path, c.width, Chars), c.shown) << c.width;

    // Still too wide without folders: "..." over characters 11 to 13, trimmed after them.
    const QString longName = "C:\\averyveryverylongname.txt";
    EXPECT_EQ(ShortenStatusPath(longName, 30, Chars), "C:\\averyver...me.txt");
}

}  // namespace
