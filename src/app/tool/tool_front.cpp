// mervo-tool: the measurement logic from the command line, for batch work and scripts. The commands live in two
// programs beside this one: the printing commands (table, report, assess -o), which load the GUI, font and
// printing libraries, and all the others, which need only QtCore and the serial port. This one loads no library
// of either and starts the right one in its place, with the same arguments and process.
#include "app/tool/tool_dispatch.h"

int main(int argc, char** argv) {
    using namespace mervo::tool;
    return runInstead(printingCommand(argc, argv) ? kPrintingProgram : kCommandsProgram, argv);
}
