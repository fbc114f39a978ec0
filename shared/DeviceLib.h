#pragma once

// Opens a device library by name at run time, the way the programs find their own libraries:
// the program's ../lib first, then its own folder, then the dynamic loader's search path. Used
// for the gate libraries and the card reader libraries, which are loaded by name rather than
// linked so that a missing one can be reported by name.

#include <QString>

namespace orvel {

// The dlopen handle, or nullptr with the loader's own text in *loadError.
void *OpenDeviceLibrary(const QString &fileName, QString *loadError);

} // namespace orvel
