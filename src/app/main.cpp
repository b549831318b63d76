// The vantry command: one executable for the host service and the guest's verbs.
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {
constexpr char kUsage[] =
    "Usage: vantry COMMAND [OPTIONS]\n"
    "\n"
    "Vantry moves files between machines: a host serves its drives and folders,\n"
    "a guest lists, copies, removes and creates them within the privileges granted.\n"
    "\n"
    "Commands:\n"
    "  --help, -h     show this help and exit\n"
    "  --version      show the protocol version and exit\n"
    "\n"
    "This build carries the protocol engine only; the service and the guest\n"
    "commands are not part of it yet.\n";

int Usage(std::FILE* pOut, int nStatus)
{
    std::fputs(kUsage, pOut);
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
        std::puts("vantry, protocol version 9");
        return 0;
    }
    std::fprintf(stderr, "vantry: unknown command '%s'\n\n", argv[1]);
    return Usage(stderr, 2);
}
