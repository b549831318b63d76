// `vantry serve`: the host service.
#include "Verbs.h"

#include "ServeConfig.h"
#include "ServeHost.h"

#include <QCoreApplication>

#include <cstdio>

int RunServeVerb(int argc, char** argv, const TVerbArguments& args)
{
    TServeArguments parsed = ParseServeArguments(args);
    if (parsed.bHelp) {
        std::fputs(kServeUsage, stdout);
        return 0;
    }
    if (!parsed.strError.empty()) {
        std::fprintf(stderr, "vantry serve: %s\nTry 'vantry serve --help'.\n", parsed.strError.c_str());
        return 2;
    }
    QCoreApplication app(argc, argv);
    return RunServe(std::move(parsed.config));
}
