// The verbs of the vantry command. Each verb lives in its own file and is listed once in
// main.cpp's verb table; it receives the arguments after its own name.
#pragma once

#include <string>
#include <vector>

using TVerbArguments = std::vector<std::string>;

struct TVerb {
    const char* pszName;
    const char* pszSummary; // one line for `vantry --help`
    int (*pfnRun)(int argc, char** argv, const TVerbArguments& args);
};

// argc/argv are the process's own (for the Qt application object); args follow the verb.
int RunServeVerb(int argc, char** argv, const TVerbArguments& args);
// The guest verbs (one file each).
int RunLsVerb(int argc, char** argv, const TVerbArguments& args);
int RunRmVerb(int argc, char** argv, const TVerbArguments& args);
int RunMkdirVerb(int argc, char** argv, const TVerbArguments& args);
int RunGetVerb(int argc, char** argv, const TVerbArguments& args);
int RunPutVerb(int argc, char** argv, const TVerbArguments& args);
// The Vantry window (the one verb that needs a display).
int RunConnectVerb(int argc, char** argv, const TVerbArguments& args);
