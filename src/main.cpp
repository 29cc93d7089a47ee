// gestione-pratiche: the program. Everything is in the gp_forms library so
// that the tests can start the same program in-process.
#include "app/program.h"

int main(int argc, char** argv)
{
    return gp::app::run(argc, argv);
}
