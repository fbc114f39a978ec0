// Harvester1 (FeliCa edition) and HarvesterMF1 (Mifare edition): the same program, built with
// its edition.
#include "HarvesterApp.h"

int main(int argc, char **argv)
{
    return harvester::RunHarvester(argc, argv, ORVEL_EDITION);
}
