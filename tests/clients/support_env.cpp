#include "support_env.h"

#include "app/program.h"

bool ClientEnv::open()
{
    if (!p_.openFixture())
        return false;
    gp::app::registerAllForms(p_.ctx);
    return true;
}
