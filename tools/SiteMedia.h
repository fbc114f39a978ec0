#pragma once

// The files of a program folder beside the settings and the database: the prompt sounds in wav/
// (1 place your finger, 2 remove it, 5 matched, 6 not matched, 11 enrolment stored) and the
// finger bitmap FpImage.bmp that the user screen shows on enrolled fingers.

#include <QString>

namespace orvel {

// Writes wav/*.wav and FpImage.bmp into dir (replacing them). False with error set on failure.
bool WriteSiteMedia(const QString &dir, QString *error);

// The sounds' file names under wav/.
QStringList SiteSoundNames();

} // namespace orvel
