// Which of mervo-tool's two programs runs a command line, and starting it in this process's place. Plain C++ with
// no Qt: mervo-tool itself is only this, so a command starts after loading the libraries its own program needs
// and none that the other one needs.
#pragma once

namespace mervo::tool {

// The program beside this one that does the printing commands (table, report, assess -o); the other commands'.
inline constexpr const char kPrintingProgram[] = "mervo-tool-print";
inline constexpr const char kCommandsProgram[] = "mervo-tool-core";

// Whether the arguments ask for a printing command: table, report, and assess with -o; not when help is asked
// for, which the other program gives.
bool printingCommand(int argc, char** argv);

// Starts `program`, from this program's folder, in this process's place with the same arguments. Returns only
// when it cannot: then with exit status 1, the reason said on stderr in the tool's words.
int runInstead(const char* program, char** argv);

}  // namespace mervo::tool
