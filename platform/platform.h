// Rimeflower: the thin operating-system layer.
//
// Everything the plug-in asks of the operating system goes through here, so
// that the algorithms never see an #ifdef. One implementation per platform:
// platform/posix (Linux) and platform/win32 (Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rf::platform {

// ---- Module -------------------------------------------------------------

// Full path of the loaded plug-in module file (not of the host executable).
std::string ModulePath();
// Full path of the running program (the host), for tools that look for the
// module beside themselves.
std::string ExecutablePath();

// The separator this platform writes between folders ('\\' on Windows, '/'
// elsewhere). Readers accept both on Linux.
char PathSeparator();
bool IsPathSeparator(char c);

// ---- Committed pages ----------------------------------------------------

// Large buffers come straight from the operating system as committed,
// zero-filled, read-write pages. Returns null on failure and also when the
// request is larger than this machine could ever back with memory, so that
// a runaway size fails cleanly instead of swapping the host to death.
void* AllocPages(size_t bytes);
// Releases a block from AllocPages; null is ignored.
void FreePages(void* block);
// Physical memory of the machine in bytes (0 when unknown).
uint64_t PhysicalMemoryBytes();

// ---- Processors ---------------------------------------------------------

// How many processors this process may run on: its affinity, which a host,
// a container or the user (taskset, start /affinity) may have narrowed. At
// least 1. The module renders on that many threads.
int32_t UsableProcessorCount();
// Narrows the calling process to its first `count` usable processors, for
// hosts that limit the module's threads (threads started later inherit it).
// False when the system refuses.
bool LimitProcessors(int32_t count);

// ---- Messages -----------------------------------------------------------

// Modal message box without owner, title "Plugin Alert", OK button only.
// On Linux the text goes to standard error, prefixed with the title.
void PluginAlert(const char* text);

// ---- Resources ----------------------------------------------------------

struct ResourceBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
  explicit operator bool() const { return data != nullptr; }
};

// A resource of the module, by type name ("PIPL", "AETE") or by the Windows
// bitmap type (kBitmapResource), with language 1033. On Linux the resources
// are compiled into the module.
constexpr const char* kBitmapResource = "#2";
ResourceBytes FindModuleResource(const char* type, int id);

// ---- Loading a module (hosts and tests) --------------------------------

// Loads a shared library / DLL by path; null on failure with a one-line
// reason in `error`.
void* LoadModule(const std::string& path, std::string& error);
void* FindModuleSymbol(void* module, const char* name);
void UnloadModule(void* module);

// ---- Files --------------------------------------------------------------

struct DirectoryEntry {
  std::string name;
  bool isFolder = false;
  // A plain file a user would see as a document: a regular file on Linux,
  // a file with the archive attribute on Windows.
  bool isListedFile = false;
};

// Entries of a folder (without "." but with ".." when the system reports it),
// in the order the system reports them. Empty when the folder cannot be read.
std::vector<DirectoryEntry> ListDirectory(const std::string& folder);
bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
// Renames `from` to `to`, replacing an existing `to` in one step where the
// system allows it.
bool RenameReplacing(const std::string& from, const std::string& to);
bool MakeDirectory(const std::string& path);

}  // namespace rf::platform
