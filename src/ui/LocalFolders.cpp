#include "LocalFolders.h"

#include "LFN.h"
#include "OVFCodePages.h"
#include "OVFDrives.h"
#include "Volumes.h"

#include <QFile>

#include <string>

bool ToAnsi(const QString& text, std::string& ansi)
{
    const QByteArray utf8 = text.toUtf8();
    char buffer[MAX_PATH];
    std::size_t length = 0;
    if (!OVF_ConvertString(OVFCharSet::utf8, OVFCharSet::ansi, utf8.constData(), buffer, sizeof buffer, '_', &length))
        return false;
    ansi.assign(buffer, length);
    return true;
}

QString FromAnsi(const char* ansi)
{
    // A single-byte page takes up to three bytes a character in UTF-8.
    char buffer[3 * MAX_PATH + 1];
    std::size_t length = 0;
    OVF_ConvertString(OVFCharSet::ansi, OVFCharSet::utf8, ansi, buffer, sizeof buffer, '_', &length);
    return QString::fromUtf8(buffer, static_cast<qsizetype>(length));
}

namespace {

// "X:\" itself; a root lists no "." or "..", so finding nothing there is an empty drive.
bool IsRoot(const std::string& folder)
{
    return folder.size() == 3 && folder[1] == ':' && folder[2] == '\\';
}

TListingEntry EntryOf(const WIN32_FIND_DATA& data)
{
    TListingEntry entry;
    entry.name = FromAnsi(data.cFileName);
    entry.attributes = data.dwFileAttributes;
    entry.size = static_cast<qint64>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    entry.fileTime = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return entry;
}

}  // namespace

bool ReadLocalFolder(const QString& folder, std::vector<TListingEntry>& entries)
{
    std::string path;
    if (folder.isEmpty()) {
        char current[MAX_PATH] = {};
        if (!LFN_getcwd(current, sizeof current))
            return false;
        path = current;
    } else if (!ToAnsi(folder, path)) {
        return false;
    }
    const bool root = IsRoot(path);
    if (root && GetDriveKind(path[0] >= 'a' ? path[0] - 'a' : path[0] - 'A') == kDriveNone)
        return false;

    std::string pattern = path;
    if (pattern.empty() || pattern.back() != '\\')
        pattern += '\\';
    pattern += "*.*";
    WIN32_FIND_DATA data;
    const LFN_HANDLE find = LFN_FindFirstFile(pattern.c_str(), &data);
    if (find == 0)
        return root;
    do
        entries.push_back(EntryOf(data));
    while (LFN_FindNextFile(find, &data));
    LFN_FindClose(find);
    return true;
}

QString LocalPosixPath(const QString& path)
{
    std::string ansi;
    std::string posix;
    if (!ToAnsi(path, ansi) || !OVF_WindowsToPosixPath(ansi.c_str(), posix))
        return {};
    return QFile::decodeName(QByteArray::fromStdString(posix));
}
