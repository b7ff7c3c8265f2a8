// Rimeflower host: the system's side of safe_file, one implementation per
// system (safe_file_posix.cpp, safe_file_win32.cpp).
#pragma once

#include <cstdio>
#include <string>

namespace rf::tools::os {

// Creates a new file in `folder` (empty: the current folder) under an
// unpredictable name, failing rather than opening anything already there,
// links included. Null with a message when it cannot.
FILE* CreateExclusive(const std::string& folder, std::string& path, std::string& error);

// Gives the open file the permission bits `target` has, when it exists.
void KeepPermissions(const std::string& target, FILE* file);

// Pushes the file's data to the disk, so that a rename never publishes a
// file whose contents a crash could still lose.
bool Sync(FILE* file);

// Whether `path` is now the very file `file` has open (false when another
// run renamed its own file over it in the meantime). True where the system
// cannot tell.
bool IsOpenFile(FILE* file, const std::string& path);

// Removes `path` when the process is interrupted (Ctrl-C, SIGTERM, a closed
// terminal) while it is watched; a few files can be watched at once.
void WatchTemporary(const std::string& path);
void UnwatchTemporary(const std::string& path);

}  // namespace rf::tools::os
