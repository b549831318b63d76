// Resource ids of the window's icons, cursors and animation frames.
#pragma once

#include <array>

inline constexpr int kIconFolder = 20100;
inline constexpr int kIconDocument = 20101;
inline constexpr int kIconOpenFolder = 20102;
inline constexpr int kIconParentFolder = 20103;
inline constexpr int kIconFixedDrive = 20104;
inline constexpr int kIconRemovableDrive = 20105;
inline constexpr int kIconRemoteDrive = 20106;
inline constexpr int kCursorDrag = 20107;
inline constexpr int kCursorNoDrop = 20108;
inline constexpr int kCursorDrop = 20109;
inline constexpr int kIconProgram = 20110;
inline constexpr int kIconCdRomDrive = 20111;
inline constexpr int kIconRamDrive = 20112;
inline constexpr int kIconSettings = 20113;
inline constexpr int kIconLibrary = 20114;
inline constexpr int kIconText = 20115;
inline constexpr int kIconGroup = 20116;
inline constexpr int kIconBatch = 20117;
inline constexpr int kIconBitmap = 20118;
inline constexpr int kIconGif = 20119;
inline constexpr int kIconWrite = 20120;
inline constexpr int kIconHelp = 20121;
inline constexpr int kIconSound = 20122;
inline constexpr int kIconWebPage = 20123;
inline constexpr int kIconTrueType = 20124;
inline constexpr int kIconFont = 20125;
inline constexpr int kIconRegistry = 20126;
inline constexpr int kIconDesktop = 20128;

// Every icon the tree lists can show.
inline constexpr std::array kTreeIconIds = {
    kIconFolder, kIconDocument, kIconOpenFolder, kIconParentFolder, kIconFixedDrive,
    kIconRemovableDrive, kIconRemoteDrive, kIconProgram, kIconCdRomDrive, kIconRamDrive,
    kIconSettings, kIconLibrary, kIconText, kIconGroup, kIconBatch, kIconBitmap, kIconGif,
    kIconWrite, kIconHelp, kIconSound, kIconWebPage, kIconTrueType, kIconFont, kIconRegistry,
    kIconDesktop};

inline constexpr std::array kDragCursorIds = {kCursorDrag, kCursorNoDrop, kCursorDrop};

// The status window's animation frames, in playing order.
inline constexpr std::array kAnimationFrameIds = {
    10012, 10013, 10014, 10015, 10016, 10017, 10018, 10019, 10036, 10037,
    10038, 10039, 10040, 10041, 10042, 10043, 10044, 10045, 10046};

// Resource paths: ":/vantry/icons/<id>.png", ":/vantry/bitmaps/<id>.png".
