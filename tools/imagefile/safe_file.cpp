#include "tools/imagefile/safe_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "tools/imagefile/safe_file_os.h"

namespace rf::tools {

namespace fs = std::filesystem;

namespace {

std::string Folder(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return std::string();
  return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::string LastComponent(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

const char* KindOf(const fs::file_status& status) {
  switch (status.type()) {
    case fs::file_type::directory: return "a folder";
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::character: return "a character device";
    case fs::file_type::block: return "a block device";
    case fs::file_type::socket: return "a socket";
    default: return "not a regular file";
  }
}

}  // namespace

void TempFile::CloseStream() {
  if (!stream_) return;
  if (std::fclose(stream_) != 0) closeFailed_ = true;
  stream_ = nullptr;
}

bool IsDeviceFileName(const std::string& path) {
  std::string base = LastComponent(path);
  // A device name stays a device with any extension and trailing blanks
  // or dots: "nul.png" and "COM1 .txt" are devices.
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

bool CheckOutputTarget(const std::string& path, std::string& error) {
  if (path.empty() || LastComponent(path).empty()) {
    error = "'" + path + "' names no file";
    return false;
  }
  if (IsDeviceFileName(path)) {
    error = "'" + path + "' is the name of a device on Windows and cannot name a file";
    return false;
  }
  std::error_code failed;
  const fs::file_status status = fs::status(path, failed);  // through a link, to what it names
  if (status.type() == fs::file_type::not_found) return true;
  if (failed) {
    error = "cannot check '" + path + "': " + failed.message();
    return false;
  }
  if (status.type() != fs::file_type::regular) {
    error = "'" + path + "' is " + KindOf(status) + "; only a regular file is replaced";
    return false;
  }
  return true;
}

bool CheckInputFile(const std::string& path, uint64_t& bytes, std::string& error) {
  bytes = 0;
  std::error_code failed;
  const fs::file_status status = fs::status(path, failed);
  if (status.type() == fs::file_type::not_found) {
    error = "cannot open '" + path + "': " + std::strerror(ENOENT);
    return false;
  }
  if (failed) {
    error = "cannot open '" + path + "': " + failed.message();
    return false;
  }
  if (status.type() != fs::file_type::regular) {
    error = "'" + path + "' is " + KindOf(status) + ", not a file to read";
    return false;
  }
  bytes = fs::file_size(path, failed);
  if (failed) {
    error = "cannot open '" + path + "': " + failed.message();
    return false;
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code failed;
  return fs::equivalent(a, b, failed) && !failed;
}

bool WriteFileSafely(const std::string& path, const FileWriter& write, std::string& error) {
  error.clear();
  if (!CheckOutputTarget(path, error)) return false;
  TempFile temp;
  temp.stream_ = os::CreateExclusive(Folder(path), temp.path_, error);
  if (!temp.stream_) return false;
  os::WatchTemporary(temp.path_);
  bool ok = write(temp, error);
  if (ok && temp.stream_ && (std::ferror(temp.stream_) || !os::Sync(temp.stream_))) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    ok = false;
  }
  if (ok && temp.stream_) os::KeepPermissions(path, temp.stream_);
  // The target is checked again just before it is replaced: something may
  // have been put there while the data was made.
  std::string refused;
  if (ok && !CheckOutputTarget(path, refused)) {
    error = refused;
    ok = false;
  }
  if (ok && !platform::RenameReplacing(temp.path_, path)) {
    error = "cannot replace '" + path + "': " + std::strerror(errno);
    ok = false;
  }
  if (ok && temp.stream_ && !os::IsOpenFile(temp.stream_, path)) {
    // Our file is in place no longer: another run renamed its own over it.
    error = "another run replaced '" + path + "' while this one wrote it; the file is not this run's";
    ok = false;
  }
  const bool renamed = ok || !platform::FileExists(temp.path_);
  temp.CloseStream();
  if (ok && temp.closeFailed_) {
    error = "cannot write '" + path + "'";
    ok = false;
  }
  if (!renamed) platform::RemoveFile(temp.path_);
  os::UnwatchTemporary(temp.path_);
  if (!ok && error.empty()) error = "cannot write '" + path + "'";
  return ok;
}

}  // namespace rf::tools
