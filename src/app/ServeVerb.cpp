// `vantry serve`: the host service.
#include "Verbs.h"

#include "ServeConfig.h"
#include "ServeHost.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>

int RunServeVerb(int argc, char** argv, const TVerbArguments& args)
{
    TServeArguments parsed = ParseServeArguments(args);
    if (parsed.bHelp) {
        std::fputs(kServeUsage, stdout);
        std::fputs("\n"
                   "Exit status:\n"
                   "  0  stopped by Ctrl-C or SIGTERM, or the --stdio guest left\n"
                   "  1  the service could not start or listen\n"
                   "  2  usage error, or a share or setting that cannot be served\n",
                   stdout);
        return 0;
    }
    if (!parsed.strError.empty()) {
        std::fprintf(stderr, "vantry serve: %s\nTry 'vantry serve --help'.\n", parsed.strError.c_str());
        return 2;
    }
    // The protocol is binary: on a terminal it would only garble the screen and read keystrokes.
    if (parsed.config.bStdio && (::isatty(STDIN_FILENO) || ::isatty(STDOUT_FILENO))) {
        std::fputs("vantry serve: --stdio speaks the binary protocol on standard input and output, which\n"
                   "must not be a terminal; a guest runs it, e.g. through `vantry ls --ssh vantry://HOST`.\n",
                   stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    return RunServe(std::move(parsed.config));
}
