#pragma once

// Reads the console's file names from Orvel.ini (section FILE). Both names are required: a
// missing or empty one is reported and the console ends.
// Returns false after showing the message; F_TEMPLATE is not looked at when F_GATELOCK fails.
bool ReadIni();
