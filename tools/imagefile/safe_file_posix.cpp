#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "tools/imagefile/safe_file_os.h"

namespace rf::tools::os {

namespace {

std::string RandomHex(size_t digits) {
  static std::random_device device;
  static std::mt19937_64 mix(device() ^ (uint64_t(getpid()) << 32));
  std::string out;
  while (out.size() < digits) {
    char part[17];
    std::snprintf(part, sizeof part, "%016llx", static_cast<unsigned long long>(mix() ^ device()));
    out += part;
  }
  out.resize(digits);
  return out;
}

// The paths to remove on an interrupt, in storage the handler can read
// without allocating. A slot is in use when its first byte is not 0.
constexpr int kSlots = 4;
constexpr size_t kSlotBytes = 4096;
char g_watched[kSlots][kSlotBytes];
volatile sig_atomic_t g_handlersSet = 0;

void RemoveWatchedAndStop(int signal) {
  for (int i = 0; i < kSlots; ++i)
    if (g_watched[i][0]) unlink(g_watched[i]);
  // Ends the process as the signal would have, so the caller sees why.
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  raise(signal);
}

void SetHandlers() {
  if (g_handlersSet) return;
  g_handlersSet = 1;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // e.g. started with nohup: stay ignored
    struct sigaction action {};
    action.sa_handler = RemoveWatchedAndStop;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

// Signals stay blocked while a slot changes, so the handler never reads
// half a path.
class BlockSignals {
 public:
  BlockSignals() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old_);
  }
  ~BlockSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

}  // namespace

FILE* CreateExclusive(const std::string& folder, std::string& path, std::string& error) {
  const std::string prefix = folder.empty() ? std::string() : folder + (folder.back() == '/' ? "" : "/");
  for (int attempt = 0; attempt < 16; ++attempt) {
    // A short fixed-length name: a target named up to the system's limit
    // still gets one.
    path = prefix + ".rimeflower-" + RandomHex(16) + ".tmp";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot create a file in '" + (folder.empty() ? std::string(".") : folder) + "': " + std::strerror(errno);
      return nullptr;
    }
    FILE* f = fdopen(fd, "wb");
    if (!f) {
      close(fd);
      unlink(path.c_str());
      error = "cannot create a file in '" + folder + "': out of memory";
      return nullptr;
    }
    return f;
  }
  error = "cannot create a file in '" + folder + "': every name tried was taken";
  return nullptr;
}

void KeepPermissions(const std::string& target, FILE* file) {
  struct stat st {};
  if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(fileno(file), st.st_mode & 07777);
}

bool Sync(FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

bool IsOpenFile(FILE* file, const std::string& path) {
  struct stat open {}, named {};
  if (fstat(fileno(file), &open) != 0 || stat(path.c_str(), &named) != 0) return false;
  return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void WatchTemporary(const std::string& path) {
  if (path.size() >= kSlotBytes) return;
  BlockSignals block;
  SetHandlers();
  for (int i = 0; i < kSlots; ++i)
    if (!g_watched[i][0]) {
      std::memcpy(g_watched[i], path.c_str(), path.size() + 1);
      return;
    }
}

void UnwatchTemporary(const std::string& path) {
  BlockSignals block;
  for (int i = 0; i < kSlots; ++i)
    if (g_watched[i][0] && path == g_watched[i]) g_watched[i][0] = 0;
}

}  // namespace rf::tools::os
