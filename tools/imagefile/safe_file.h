// Rimeflower host: files the commands read and write, handled the careful way.
//
// Every command writes its output through WriteFileSafely:
//
//   std::string error;
//   if (!CheckOutputTarget(path, error)) return Fail(error);   // before the work
//   ... the work ...
//   if (!WriteFileSafely(path, [&](TempFile& temp, std::string& why) {
//         return std::fputs(text.c_str(), temp.Stream()) >= 0;
//       }, error)) return Fail(error);
//
// The data goes to a new file beside the target, created exclusively under
// an unpredictable name (so a link or file planted there is never written
// through, and two runs never share one), and only a complete file is
// renamed over the target. The target keeps its permission bits. A run
// stopped by Ctrl-C or SIGTERM removes its temporary file first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace rf::tools {

// The temporary file a writer fills. Stream() is open for binary writing;
// a writer that can only write by name (a system codec) calls CloseStream()
// first and then writes to Path().
class TempFile {
 public:
  FILE* Stream() const { return stream_; }
  const std::string& Path() const { return path_; }
  void CloseStream();

 private:
  friend bool WriteFileSafely(const std::string&, const std::function<bool(TempFile&, std::string&)>&,
                              std::string&);
  FILE* stream_ = nullptr;
  std::string path_;
  bool closeFailed_ = false;
};

using FileWriter = std::function<bool(TempFile& temp, std::string& error)>;

// Writes `path` through `write`. False with a one-line message when the
// target is refused (see CheckOutputTarget), the temporary file cannot be
// made, the writer fails, or the file cannot be put in place; the old
// target is then untouched and no temporary file is left.
bool WriteFileSafely(const std::string& path, const FileWriter& write, std::string& error);

// Whether `path` may be written: not empty, not a name Windows keeps for a
// device (CON, NUL, COM1 ... with any extension; refused on every system so
// that commands behave alike everywhere), and, when something is there
// already, a regular file (or a link to one) rather than a device, a FIFO
// or a folder. False with the reason.
bool CheckOutputTarget(const std::string& path, std::string& error);

// Whether `path` names a regular file that can be read, checked before it
// is opened so that a FIFO or a device never blocks or floods a reader.
// Answers its size in `bytes`. False with a message naming the file.
bool CheckInputFile(const std::string& path, uint64_t& bytes, std::string& error);

// Whether the last component of `path` is a Windows device name.
bool IsDeviceFileName(const std::string& path);

// Whether `a` and `b` name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace rf::tools
