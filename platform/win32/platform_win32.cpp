// Windows side of the platform layer.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/module_instance.h"

namespace {

// Kept at DllMain: inside a host, GetModuleHandle(nullptr) names the host's
// executable, and the plug-in's path and resources are those of the DLL.
HINSTANCE gModuleInstance = nullptr;

// Paths may exceed MAX_PATH on long-path systems; this is the Win32 limit.
constexpr DWORD kLongPath = 32768;

std::string ModuleFileName(HMODULE module) {
  std::string buffer(kLongPath, '\0');
  const DWORD n = GetModuleFileNameA(module, &buffer[0], kLongPath);
  if (n == 0 || n >= kLongPath) return std::string();
  buffer.resize(n);
  return buffer;
}

std::string LastErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModuleInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

namespace rf::platform {

namespace win32 {

void* ModuleInstance() {
  if (gModuleInstance) return gModuleInstance;
  // Linked into an executable, DllMain is never called: ask for the module
  // that holds this very function instead.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
  return module;
}

}  // namespace win32

std::string ModulePath() { return ModuleFileName(static_cast<HMODULE>(win32::ModuleInstance())); }

std::string ExecutablePath() { return ModuleFileName(nullptr); }

char PathSeparator() { return '\\'; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

int32_t UsableProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    int32_t count = 0;
    for (DWORD_PTR m = process; m; m &= m - 1) ++count;
    return count;
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? int32_t(info.dwNumberOfProcessors) : 1;
}

bool LimitProcessors(int32_t count) {
  DWORD_PTR process = 0, system = 0;
  if (count < 1 || !GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return false;
  DWORD_PTR kept = 0;
  for (DWORD_PTR m = process; m && count > 0; m &= m - 1, --count) kept |= m & (~m + 1);
  return SetProcessAffinityMask(GetCurrentProcess(), kept) != 0;
}

void* AllocPages(size_t bytes) {
  if (bytes == 0) return nullptr;
  // Windows would commit against the page file and let the whole machine
  // crawl; a request beyond three quarters of the physical memory is refused
  // as on Linux.
  const uint64_t physical = PhysicalMemoryBytes();
  if (physical != 0 && bytes > physical / 4 * 3) return nullptr;
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreePages(void* block) {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}

void PluginAlert(const char* text) {
  MessageBoxA(nullptr, text ? text : "", "Plugin Alert", MB_OK);
}

ResourceBytes FindModuleResource(const char* type, int id) {
  if (type == nullptr || id <= 0 || id > 0xFFFF) return ResourceBytes{};
  // "#2" is the bitmap type written as a string; the Win32 calls want the
  // integer form for numeric types.
  LPCSTR typeName = type;
  if (std::strcmp(type, kBitmapResource) == 0) typeName = MAKEINTRESOURCEA(2);
  HMODULE module = static_cast<HMODULE>(win32::ModuleInstance());
  HRSRC info = FindResourceExA(module, typeName, MAKEINTRESOURCEA(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (!info) return ResourceBytes{};
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return ResourceBytes{};
  const void* data = LockResource(loaded);
  if (!data) return ResourceBytes{};
  return ResourceBytes{static_cast<const uint8_t*>(data), size_t(SizeofResource(module, info))};
}

void* LoadModule(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) error = "cannot load " + path + ": " + LastErrorText(GetLastError());
  return module;
}

void* FindModuleSymbol(void* module, const char* name) {
  if (!module || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(void* module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::vector<DirectoryEntry> ListDirectory(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  std::string pattern = folder.empty() ? std::string(".") : folder;
  if (!IsPathSeparator(pattern.back())) pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    if (std::strcmp(found.cFileName, ".") == 0) continue;
    DirectoryEntry entry;
    entry.name = found.cFileName;
    entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isListedFile = (found.dwFileAttributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
    entries.push_back(std::move(entry));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return entries;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool RenameReplacing(const std::string& from, const std::string& to) {
  // Through to the disk before answering, so that a finished write is never
  // left as the temporary name alone after a power cut.
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  // Callers report the failure through errno, as with rename() elsewhere.
  const DWORD code = GetLastError();
  errno = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND           ? ENOENT
          : code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? EACCES
                                                                            : EIO;
  return false;
}

bool MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace rf::platform
