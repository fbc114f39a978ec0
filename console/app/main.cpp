// Entry point of both console programs; ORVEL_EDITION (1 FeliCa, 2 Mifare) is set per program.
#include "OrvStart.h"

// The four-part version stays in the program file, where `strings` finds it without running it.
[[gnu::used]] static const char kFileVersion[] = "FileVersion=" ORVEL_VERSION;

int main(int argc, char **argv)
{
    return OrvStartMain(argc, argv, ORVEL_EDITION);
}
