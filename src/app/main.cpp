// The vantry command: one executable for the host service and the guest's verbs. main only
// picks the verb; each verb's code lives in its own file (Verbs.h).
#include "Verbs.h"

#include "ServiceExports.h"

#include <cstdio>
#include <string_view>

namespace {
constexpr TVerb kVerbs[] = {
    {"serve", "serve this machine's folders to guests (vantry serve --help)", RunServeVerb},
    {"ls", "list a host's volumes or a remote folder", RunLsVerb},
    {"get", "copy remote files and folders here", RunGetVerb},
    {"put", "copy local files and folders to a host", RunPutVerb},
    {"rm", "remove remote files and folders", RunRmVerb},
    {"mkdir", "make a remote folder", RunMkdirVerb},
    {"connect", "open the Vantry window on a host (needs a display)", RunConnectVerb},
};

int Usage(std::FILE* pOut, int nStatus)
{
    std::fputs("Usage: vantry COMMAND [OPTIONS]\n"
               "\n"
               "Vantry moves files between machines: a host serves its drives and folders,\n"
               "a guest lists, copies, removes and creates them within the privileges granted.\n"
               "\n"
               "Commands:\n",
               pOut);
    for (const TVerb& verb : kVerbs)
        std::fprintf(pOut, "  %-12s %s\n", verb.pszName, verb.pszSummary);
    std::fputs("  --help, -h   show this help and exit\n"
               "  --version    show the program's version and protocol version and exit\n"
               "\n"
               "'vantry COMMAND --help' describes each command's options and exit statuses;\n"
               "'man vantry' describes them all.\n",
               pOut);
    return nStatus;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage(stderr, 2);
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help")
        return Usage(stdout, 0);
    if (command == "--version") {
        std::printf("vantry %s, protocol version %d\n", VANTRY_VERSION, GetGuestServiceVersion());
        return 0;
    }
    for (const TVerb& verb : kVerbs) {
        if (command == verb.pszName)
            return verb.pfnRun(argc, argv, TVerbArguments(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "vantry: unknown command '%s'\n\n", argv[1]);
    return Usage(stderr, 2);
}
