#pragma once

// The fingerprint scanner's settings in Orvel.ini (section FINGERPRINT), with their defaults
// applied: read by the console when it loads the scanner library, and by the scanner simulator
// fpsim to find its socket.

#include <QString>

namespace orvel {

class IniFile;

struct FpScannerSettings
{
    QString backend;    // "SIM" or "NONE" (upper case); another value is passed on as written
    QString socketPath; // absolute
};

FpScannerSettings ReadFpScannerSettings(const IniFile &ini);
// The same from the site's Orvel.ini.
FpScannerSettings ReadFpScannerSettings();

} // namespace orvel
