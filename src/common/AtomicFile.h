#pragma once

#include <QByteArray>
#include <QString>

namespace acw {

// Replaces the file at `path` with `bytes`, all or nothing: the bytes go to a temporary file
// beside the target, written unbuffered in a loop so that a short write (a disk that fills up,
// a file size limit) is seen at once, then synced and renamed over the target. Whatever fails on
// the way (no folder, no permission, a full disk, a kill), the target is either the old file,
// untouched, or the complete new one, and no temporary file is left behind.
//
// Refused before anything is written: an empty path; a target that exists but is a folder or
// any other non-regular file; an existing file that the process may not write (a read-only
// file is left as the user made it, even where the folder would allow replacing it). The folder
// must exist; it is not created here.
//
// Returns true on success. On failure returns false and, when `reason` is given, stores a short
// reason in the system's words ("Permission denied", "No space left on device", "it is a
// folder, not a file", "the folder /proc cannot be written (...)" when nothing can be created in
// the folder), without a closing full stop, fit to follow "Could not save ... :".
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

}  // namespace acw
