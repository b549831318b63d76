// Display and sort flags of a tree list listing, and its row kinds.
#pragma once

inline constexpr unsigned kTreeKeepParentRow = 0x01;
inline constexpr unsigned kTreeModeFlag = 0x02;       // indented drive and folder tree
inline constexpr unsigned kTreePathMode = 0x04;       // rows for each component of the base path
inline constexpr unsigned kTreeShowModified = 0x10;
inline constexpr unsigned kTreeShowSize = 0x20;
inline constexpr unsigned kTreeSortName = 0x100;
inline constexpr unsigned kTreeSortSize = 0x200;
inline constexpr unsigned kTreeSortTime = 0x400;
inline constexpr unsigned kTreeSortExtension = 0x800;
inline constexpr unsigned kTreeDescending = 0x1000;
inline constexpr unsigned kTreeOwnEnumeration = 0x4000;

inline constexpr int kRowFolder = 0;
inline constexpr int kRowFile = 1;
inline constexpr int kRowOther = 2;  // drive or special row
