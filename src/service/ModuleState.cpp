#include "ModuleState.h"

TModuleState& Module()
{
    static TModuleState s_state;
    return s_state;
}
