// gestione-pratiche: the program. Everything is in the gp_forms library so
// that the tests can start the same program in-process.
#include "app/program.h"
#include "app/termination.h"

int main(int argc, char** argv)
{
    // Before any workbook or password is in memory.
    gp::app::protectProcessMemory();
    return gp::app::run(argc, argv);
}
