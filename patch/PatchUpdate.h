#pragma once

// One update run: the update list, the log, and each file copied in or left, in list order.
// Shared by the progress window and the unattended mode; it shows nothing itself.

#include "Public.h"

namespace patch {

class UpdateObserver
{
public:
    virtual ~UpdateObserver() = default;
    virtual void Guide(const QString &text) = 0;
    // Before each file: its installed path followed by "（更新）" or "(更新しない)".
    virtual void FileShown(int index, int count, const QString &text) = 0;
    // A copy failed (reason says which file and why); the run ends as failed after this.
    virtual void CopyFailed(const QString &reason) = 0;
};

struct UpdateOutcome
{
    bool completed = false;
    bool logComplete = true; // every line of the run reached Patch_Log.txt
};

// Runs the update of installDir from patchDir/PatchFile. The caller holds the installation's
// InstallLock. A failed copy stops the run; the files copied before it stay copied.
UpdateOutcome RunUpdate(const PatchData &data, const QString &patchDir, const QString &installDir,
                        UpdateObserver &observer);

// Replaces dst by a copy of src without ever leaving a partial dst: the copy goes to a
// temporary file in dst's folder, is synced, and is renamed over dst. The result keeps dst's
// mode and owner (src's mode for a new file) and takes src's modification time.
bool ReplaceFile(const QString &src, const QString &dst, QString *error);

// Removes the temporary copies (".NAME.patch-XXXXXX") that a run killed while copying left in
// installDir. Only under the installation's InstallLock: then no other run is copying there.
void RemoveLeftoverCopies(const QString &installDir);

} // namespace patch
