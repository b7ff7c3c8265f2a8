#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>

#include "tools/imagefile/safe_file_os.h"

namespace rf::tools::os {

namespace {

std::string RandomHex(size_t digits) {
  static std::random_device device;
  // Mixed with the clock and the process: some runtimes' random_device is
  // predictable.
  static std::mt19937_64 mix(device() ^ GetTickCount64() ^ (uint64_t(GetCurrentProcessId()) << 40));
  std::string out;
  while (out.size() < digits) {
    char part[17];
    std::snprintf(part, sizeof part, "%016llx", static_cast<unsigned long long>(mix()));
    out += part;
  }
  out.resize(digits);
  return out;
}

constexpr int kSlots = 4;
constexpr size_t kSlotBytes = MAX_PATH + 1;
char g_watched[kSlots][kSlotBytes];
volatile std::sig_atomic_t g_handlersSet = 0;

void RemoveWatchedAndStop(int signal) {
  for (int i = 0; i < kSlots; ++i)
    if (g_watched[i][0]) DeleteFileA(g_watched[i]);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

FILE* CreateExclusive(const std::string& folder, std::string& path, std::string& error) {
  const char last = folder.empty() ? '\\' : folder.back();
  const std::string prefix = folder.empty() ? std::string() : folder + (last == '\\' || last == '/' ? "" : "\\");
  for (int attempt = 0; attempt < 16; ++attempt) {
    path = prefix + ".rimeflower-" + RandomHex(16) + ".tmp";
    // CREATE_NEW fails on anything already there, a link included.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      error = "cannot create a file in '" + (folder.empty() ? std::string(".") : folder) + "'";
      return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    FILE* f = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (!f) {
      if (fd >= 0)
        _close(fd);
      else
        CloseHandle(h);
      DeleteFileA(path.c_str());
      error = "cannot create a file in '" + folder + "'";
      return nullptr;
    }
    return f;
  }
  error = "cannot create a file in '" + folder + "': every name tried was taken";
  return nullptr;
}

// Windows files carry no permission bits; a read-only target refuses the
// rename, which is reported.
void KeepPermissions(const std::string&, FILE*) {}

bool Sync(FILE* file) {
  if (std::fflush(file) != 0) return false;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

// Which file a name reaches after a rename cannot be told reliably here
// (Wine reports other file indexes than Windows); the unpredictable
// temporary names still keep every file whole.
bool IsOpenFile(FILE*, const std::string&) { return true; }

void WatchTemporary(const std::string& path) {
  if (path.size() >= kSlotBytes) return;
  if (!g_handlersSet) {
    g_handlersSet = 1;
    std::signal(SIGINT, RemoveWatchedAndStop);
    std::signal(SIGTERM, RemoveWatchedAndStop);
    std::signal(SIGBREAK, RemoveWatchedAndStop);
  }
  for (int i = 0; i < kSlots; ++i)
    if (!g_watched[i][0]) {
      std::memcpy(g_watched[i], path.c_str(), path.size() + 1);
      return;
    }
}

void UnwatchTemporary(const std::string& path) {
  for (int i = 0; i < kSlots; ++i)
    if (g_watched[i][0] && path == g_watched[i]) g_watched[i][0] = 0;
}

}  // namespace rf::tools::os
