// The pane's rules without widgets: listing flags, sorting, folder paths, column limits, layout
// and the confirmation texts.
#include "PaneRules.h"

#include <gtest/gtest.h>

TEST(PaneView, ListingFlagsFollowViewKeyAndDirection)
{
    struct {
        EViewMode mode;
        int key;
        bool ascending;
        unsigned flags;
    } const cases[] = {
        {EViewMode::List, 2, false, 0x101},  {EViewMode::Details, 0, true, 0x101},
        {EViewMode::Details, 1, true, 0x201}, {EViewMode::Details, 2, true, 0x401},
        {EViewMode::Details, 0, false, 0x1101}, {EViewMode::Details, 2, false, 0x1401},
    };
    for (const auto& c : cases) {
        TPaneView view{c.mode, c.key, c.ascending};
        EXPECT_EQ(view.ListingFlags(), c.flags) << c.key;
    }
}

TEST(PaneView, SameKeyFlipsAnotherKeyStartsAscending)
{
    TPaneView view;
    view.mode = EViewMode::Details;
    view.Sort(0);
    EXPECT_FALSE(view.ascending);
    EXPECT_EQ(view.HeaderState(0), 2);
    view.Sort(1);
    EXPECT_TRUE(view.ascending);
    EXPECT_EQ(view.HeaderState(1), 1);
    EXPECT_EQ(view.HeaderState(0), 0);
    view.Sort(1);
    EXPECT_EQ(view.HeaderState(1), 2);
}

TEST(PanePaths, ParentAndRoot)
{
    struct {
        const char* path;
        const char* parent;
        bool root;
    } const cases[] = {
        {"C:\\", "C:\\", true},       {"C:\\dir", "C:\\", false},   {"C:\\dir\\sub", "C:\\dir", false},
        {"Desktop", "Desktop", true}, {"Desktop\\a", "Desktop", false}, {"c:", "c:", true},
        {"Desktop:\\", "Desktop:\\", true}, {"Desktop:\\a\\b", "Desktop:\\a", false}, {"Desktop:\\a", "Desktop:\\", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParentFolder(QString::fromUtf8(c.path)), QString::fromUtf8(c.parent)) << c.path;
        EXPECT_EQ(IsFolderRoot(QString::fromUtf8(c.path)), c.root) << c.path;
    }
}

TEST(ColumnBounds, LimitsAndPushingTheOtherBoundary)
{
    const int width = 400;
    TColumnBounds bounds{200, 300};
    EXPECT_FALSE(bounds.MoveNameSize(19, width));
    EXPECT_FALSE(bounds.MoveNameSize(390, width));
    EXPECT_EQ(bounds.nameSize, 200);
    EXPECT_TRUE(bounds.MoveNameSize(350, width));
    EXPECT_EQ(bounds.sizeModified, (width + 350) / 2);
    EXPECT_FALSE(bounds.MoveSizeModified(49, width));
    EXPECT_FALSE(bounds.MoveSizeModified(380, width));
    EXPECT_TRUE(bounds.MoveSizeModified(100, width));
    EXPECT_EQ(bounds.nameSize, 50);
    EXPECT_EQ(bounds.sizeModified, 100);
}

TEST(PaneLayout, HalvesTheClientBelowTheMargins)
{
    const TPaneLayout layout = LayOutPanes(QSize(500, 414), 6, 400);
    EXPECT_EQ(layout.local, QRect(6, 6, 488, (414 - 14 - 30) / 2));
    EXPECT_EQ(layout.remote.top(), 12 + (414 - 14 - 30) / 2);
    EXPECT_TRUE(LayOutPanes(QSize(300, 414), 6, 400).local.isEmpty());
}

TEST(ConfirmTexts, AtMostTwentyFiveNamesThenAnEllipsis)
{
    QStringList names;
    for (int i = 0; i < 30; ++i)
        names << QStringLiteral("n%1").arg(i);
    const QString text = ConfirmNames(names, QStringLiteral(" "));
    EXPECT_TRUE(text.endsWith(QStringLiteral("n24  ...")) ) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("n25")));
    EXPECT_EQ(ConfirmNames({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("  ")), QStringLiteral("a  b  "));

    EXPECT_EQ(CopyConfirmText(true, {QStringLiteral("f.txt")}, QStringLiteral("c:\\in")),
              QStringLiteral("Are you sure you want to copy the following files and folders?\n\nFROM Local: f.txt "
                             "\n\nTO Remote folder:  c:\\in"));
    EXPECT_EQ(CopyConfirmCaption(false), QStringLiteral("Confirm Remote to Local Copy"));
    EXPECT_TRUE(RemoveConfirmText(false, {QStringLiteral("x")}).endsWith(QStringLiteral("Remote files and folders?\n\nx  ")));
    EXPECT_EQ(RemoveConfirmCaption(true), QStringLiteral("Confirm Local Remove"));
}
