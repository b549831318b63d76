// The file layer's path resolution on any path text, by openat2 and by the element-by-element
// walk (the first byte chooses). The drive holds files, folders, names that differ only in case
// and symbolic links that lead out of it. Stops on a crash, or when a resolved folder is not
// beneath the drive's folder or a resolved name is not one element.
#include "FuzzSeeds.h"
#include "OVFCodePages.h"
#include "OVFDrives.h"
#include "OVFile32.h"
#include "OVFTesting.h"
#include "Resolver.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
namespace stdfs = std::filesystem;

stdfs::path g_base;

void RemoveBase()
{
    stdfs::remove_all(g_base);
}

// The drive's real folder, made once per process.
const std::string& DriveFolder()
{
    static const std::string strDrive = [] {
        char szTemplate[] = "/tmp/vantry-fuzz-resolver-XXXXXX";
        if (!mkdtemp(szTemplate))
            std::abort();
        g_base = szTemplate;
        std::atexit(RemoveBase);
        const stdfs::path drive = g_base / "drive";
        stdfs::create_directories(drive / "Folder" / "Sub");
        stdfs::create_directories(g_base / "outside");
        std::ofstream(g_base / "outside" / "secret.txt") << "secret";
        std::ofstream(drive / "Report.txt") << "report";
        std::ofstream(drive / "REPORT.TXT") << "other case";
        std::ofstream(drive / "Folder" / "Inner.dat") << "inner";
        std::ofstream(drive / "Folder" / "caf\xC3\xA9 menu.txt") << "menu";
        stdfs::create_directory_symlink("../outside", drive / "Out");
        stdfs::create_directory_symlink("..", drive / "Folder" / "Up");
        stdfs::create_symlink("/etc/passwd", drive / "Folder" / "passwd");
        OVF_SetAnsiCodePage("UTF-8");
        OVF_SetOemCodePage("CP437");
        if (OVF_SetDrive('C', drive.c_str(), OVFDriveKind::fixed, "Fuzz") != 0)
            std::abort();
        return stdfs::canonical(drive).string();
    }();
    return strDrive;
}

bool Beneath(const std::string& strPath, const std::string& strRoot)
{
    return strPath == strRoot || strPath.starts_with(strRoot + "/");
}

[[noreturn]] void Fail(const char* pszWhy, const std::string& strPath)
{
    std::fprintf(stderr, "%s: \"%s\"\n", pszWhy, strPath.c_str());
    std::abort();
}
// The first byte: the walk when odd. Then paths the resolution tests use.
TSeeds MakeSeeds()
{
    TSeeds seeds;
    for (const char* pszPath : {"C:\\Report.txt", "c:\\report.txt", "C:\\Folder\\Inner.dat", "C:\\FOLDER\\SUB\\",
                                "C:\\Folder\\caf\xC3\xA9 menu.txt", "C:\\Out\\secret.txt", "C:\\Folder\\Up\\Report.txt",
                                "C:\\Folder\\..\\..\\outside", "C:\\Folder\\passwd", "C:\\a\\.\\b\\..\\Folder",
                                "C:", "C:\\", "\\\\server\\share", "C:Folder", "C:\\FOLDE~1\\INNER.DAT"})
        for (const std::uint8_t nWalk : {0, 1}) {
            seeds.push_back({nWalk});
            seeds.back().insert(seeds.back().end(), pszPath, pszPath + std::char_traits<char>::length(pszPath));
        }
    return seeds;
}
} // namespace

VANTRY_FUZZ_SEEDS(MakeSeeds)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::string& strDrive = DriveFolder();
    OVF_ForceResolveFallback((pData[0] & 1) != 0);
    // The path text ends at the first NUL, as it does for every caller.
    const std::string strPath(reinterpret_cast<const char*>(pData + 1), nSize - 1);
    const std::string strText = strPath.c_str();
    ovf::TTarget target;
    if (ovf::Resolve(strText.c_str(), target) != 0)
        return 0;
    std::error_code error;
    const stdfs::path folder = stdfs::read_symlink("/proc/self/fd/" + std::to_string(target.dir.Get()), error);
    if (error || !Beneath(folder.string(), strDrive))
        Fail("resolved a folder outside the drive", strText);
    if (!target.bRoot && (target.strReal.empty() || target.strReal == "." || target.strReal == ".." ||
                          target.strReal.find('/') != std::string::npos))
        Fail("resolved a last element that is not one name", strText);
    if (target.bExists && S_ISLNK(target.st.st_mode))
        Fail("resolved to a symbolic link", strText);
    return 0;
}
