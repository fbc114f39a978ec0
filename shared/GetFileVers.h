#pragma once

// The four-part file version of a program or library. Every file the build makes carries the
// what-string "@(#)ORVEL_VERSION a.b.c.d" (cmake/OrvelTargets.cmake); the first well-formed one
// in a file is its version. Only Qt Core: the patch installer compiles this module in.

#include <QString>

#include <array>

namespace orvel {

using FileVers = std::array<quint16, 4>;

// Reads the version of a file without running it. False (and 0.0.0.0) when the file carries
// none or cannot be read.
bool ReadFileVers(const QString &path, FileVers *version);

// "a.b.c.d"; "0.0.0.0" for a file without a version.
QString GetFileVers(const QString &path);
QString FileVersText(const FileVers &version);

} // namespace orvel
