// Entry point of both console programs; ORVEL_EDITION (1 FeliCa, 2 Mifare) is set per program.
// The file version is the what-string the build stamps into every program.
#include "OrvStart.h"

int main(int argc, char **argv)
{
    return OrvStartMain(argc, argv, ORVEL_EDITION);
}
