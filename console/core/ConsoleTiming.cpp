#include "ConsoleTiming.h"

ConsoleTiming &Timing()
{
    static ConsoleTiming timing;
    return timing;
}
