#pragma once
// A file that processes change in turn: opened and locked (flock) before it
// is read or changed, with the folders it lives in made on the way.  The
// settings store's lock and the list of recovery copies use it.

#include <string>
#include <sys/types.h>

namespace sys {

// Makes the folder and every missing folder above it (new ones get mode);
// 0, or the errno value (ENOTDIR when something else stands in its place).
int MakeFolders(const std::string& folder, mode_t mode = 0777);
// Makes the folder that holds path, as MakeFolders.
int MakeParentFolders(const std::string& path, mode_t mode = 0777);

// Opens path with flags (as open(2) takes them; close-on-exec is added,
// new files get mode) and locks it, exclusively or shared, waiting at most
// waitMs milliseconds for another process to let it go (negative: as long
// as it takes).  A file that was removed or replaced while this waited is
// opened anew when flags hold O_CREAT (else: ENOENT).  The descriptor
// (closing it ends the lock), or -1 with errno: the open's cause, or
// EWOULDBLOCK when another process still held the lock after waitMs.
int OpenLocked(const std::string& path, int flags, bool exclusive, int waitMs = -1,
               mode_t mode = 0666);

} // namespace sys
