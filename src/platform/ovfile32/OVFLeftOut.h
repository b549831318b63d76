// What a folder holds that cannot be copied as a file or a folder of the Windows-style
// namespace, so that a copy can say what it leaves out instead of passing over it in silence.
#pragma once

#include <string>
#include <vector>

enum class OVFLeftOutKind {
    link,    // a symbolic link: never followed, and no search shows it
    name,    // a name the namespace cannot hold (a '\', ':' or a character of no code page)
    special, // a pipe, socket or device: searches show it as a file, but it holds no file's data
};

struct TOVFLeftOut {
    std::string strName; // ANSI where it can be expressed, else as on disk
    OVFLeftOutKind kind;
};

// The entries of pszFolder (a Windows-style path) of the three kinds, in no particular order.
// False when the folder cannot be read.
bool OVF_ListLeftOut(const char* pszFolder, std::vector<TOVFLeftOut>& entries);
