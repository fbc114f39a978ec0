#pragma once

#include <QString>

namespace orvel {

// The site folder holds Orvel.ini, errorlog.txt, the gate lock file, the template file and the
// site's own odbc.ini. It is $ORVEL_HOME when set, else the folder of the running executable.
QString SiteFolder();

// A file name as the settings give it: used as written when it names a folder, otherwise
// relative to the site folder.
QString SitePath(const QString &fileName);

// When the site folder carries odbc.ini (and odbcinst.ini) and the environment does not name
// its own, points unixODBC at them so that a site needs no system-wide ODBC set-up.
// Call before the first connection.
void UseSiteOdbcIni();

// Whether this PC runs the site's services ([SITE] SERVICES of Orvel.ini; true when missing, as
// on a site of one PC).
bool SiteRunsServices();

} // namespace orvel
