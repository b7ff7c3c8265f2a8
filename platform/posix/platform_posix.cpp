// POSIX side of the platform layer (Linux).
#include "platform/platform.h"

#include <dirent.h>
#include <sched.h>
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "resources/embedded_resources.h"

namespace rf::platform {

namespace {

// mmap needs the length again at munmap; it is kept in a header in front of
// the block, which also keeps the returned pointer 16-byte aligned.
constexpr size_t kBlockHeader = 16;

void ModuleAnchor() {}

}  // namespace

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0 || info.dli_fname == nullptr)
    return std::string();
  char resolved[4096];
  if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
  return info.dli_fname;
}

std::string ExecutablePath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, size_t(n));
}

void* LoadModule(const std::string& path, std::string& error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* reason = dlerror();
    error = reason ? reason : "cannot load " + path;
  }
  return module;
}

void* FindModuleSymbol(void* module, const char* name) { return module ? dlsym(module, name) : nullptr; }

void UnloadModule(void* module) {
  if (module) dlclose(module);
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

char PathSeparator() { return '/'; }

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

uint64_t PhysicalMemoryBytes() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

int32_t UsableProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? int32_t(online) : 1;
}

bool LimitProcessors(int32_t count) {
  cpu_set_t set, kept;
  CPU_ZERO(&set);
  CPU_ZERO(&kept);
  if (count < 1 || sched_getaffinity(0, sizeof(set), &set) != 0) return false;
  for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < count; ++cpu)
    if (CPU_ISSET(cpu, &set)) {
      CPU_SET(cpu, &kept);
      ++taken;
    }
  return sched_setaffinity(0, sizeof(kept), &kept) == 0;
}

void* AllocPages(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX - kBlockHeader) return nullptr;
  // Linux overcommits: a mapping far beyond the machine's memory "succeeds"
  // and the process dies later. Refuse what could never be backed.
  uint64_t physical = PhysicalMemoryBytes();
  if (physical != 0 && bytes > physical / 4 * 3) return nullptr;
  size_t total = bytes + kBlockHeader;
  // Image buffers, the pattern's triangle blocks and the scene's arrays are
  // written soon after they are made: large pages spare a fault per 4 KB (a
  // third of a plain run's time went there, and most of the growth of the
  // default pattern and of its copy into the scene). They only back whole
  // aligned 2 MB stretches, so a block of 1 MB or more is mapped as such,
  // the slack of a larger mapping given back: never more than one large
  // page beyond what was asked. Only a hint; where the system has none to
  // give, small pages serve.
  constexpr size_t kLarge = size_t(2) << 20;
  const bool large = total >= kLarge / 2 && total <= SIZE_MAX - 2 * kLarge;
  if (large) total = (total + kLarge - 1) / kLarge * kLarge;
  const size_t mapped = large ? total + kLarge : total;
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  if (large) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kLarge - 1) & ~uintptr_t(kLarge - 1);
    if (aligned > start) munmap(p, aligned - start);
    const uintptr_t end = aligned + total;
    if (start + mapped > end) munmap(reinterpret_cast<void*>(end), start + mapped - end);
    p = reinterpret_cast<void*>(aligned);
    madvise(p, total, MADV_HUGEPAGE);
  }
  std::memcpy(p, &total, sizeof(total));
  return static_cast<uint8_t*>(p) + kBlockHeader;
}

void FreePages(void* block) {
  if (block == nullptr) return;
  uint8_t* base = static_cast<uint8_t*>(block) - kBlockHeader;
  size_t total = 0;
  std::memcpy(&total, base, sizeof(total));
  munmap(base, total);
}

void PluginAlert(const char* text) {
  std::fprintf(stderr, "Plugin Alert: %s\n", text != nullptr ? text : "");
  std::fflush(stderr);
}

ResourceBytes FindModuleResource(const char* type, int id) {
  size_t count = 0;
  const resources::EmbeddedResource* table = resources::EmbeddedResources(&count);
  for (size_t i = 0; i < count; ++i) {
    if (table[i].id == id && std::strcmp(table[i].type, type) == 0)
      return ResourceBytes{table[i].data, table[i].size};
  }
  return ResourceBytes{};
}

std::vector<DirectoryEntry> ListDirectory(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return entries;
  std::string base = folder;
  if (!base.empty() && !IsPathSeparator(base.back())) base += '/';
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0) continue;
    DirectoryEntry entry;
    entry.name = e->d_name;
    struct stat st {};
    if (stat((base + entry.name).c_str(), &st) == 0) {
      entry.isFolder = S_ISDIR(st.st_mode);
      entry.isListedFile = S_ISREG(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return entries;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0) return true;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace rf::platform
