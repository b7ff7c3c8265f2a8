// Rimeflower: the line reading shared by the preset and settings files.
//
// Bytes are read one at a time: a tab reads as a blank, a line ends at the
// first byte below 14 (line feed, carriage return and the other control
// bytes), and a last line without its end is not used. A carriage return
// followed by a line feed therefore yields an extra empty line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rf::presets {

// ---- Lines ------------------------------------------------------------------

// Longest line kept; the rest of a longer line is read and dropped, so a
// runaway line cannot exhaust memory. Runs of blanks are kept to at most
// kMaxBlankRun, which changes nothing a reader of these files can see (the
// readers skip blank runs, and the header check needs 18 characters) but
// keeps a key or value that follows a megabyte of blanks within the line.
constexpr size_t kMaxLineLength = 4096;
constexpr size_t kMaxBlankRun = 64;

// Receives each complete line; answers false to stop the reading.
using LineVisitor = std::function<bool(const std::string& line)>;

// Splits bytes that arrive in pieces (a file read in chunks) into lines.
class LineSplitter {
 public:
  // False once the visitor has asked to stop; later calls then do nothing.
  bool Feed(const uint8_t* data, size_t size, const LineVisitor& visit);

 private:
  std::string current_;
  size_t blankRun_ = 0;
  bool stopped_ = false;
};

// Visits the lines of a buffer.
void ForEachLine(const uint8_t* data, size_t size, const LineVisitor& visit);
// Visits the lines of a file, read in chunks with constant memory whatever
// its size; false when it cannot be opened.
bool ForEachFileLine(const std::string& path, const LineVisitor& visit);

std::vector<std::string> SplitLines(const uint8_t* data, size_t size);
// Reads a whole file (up to maxBytes) and splits it; false when it cannot be opened.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines,
                   size_t maxBytes = 16u << 20);

// ---- Keyed lines --------------------------------------------------------------

// A keyed line: "KEY value ..." with the key as its first four characters
// (after leading blanks when skipLeadingBlanks is set). Lines shorter than
// four characters or beginning with ';' hold no key.
struct KeyedValue {
  char key[4];
  std::string valueRun;  // the run of ",-.0123456789Ee" after the key, at most 63 characters
};
constexpr size_t kMaxValueRun = 63;
bool ParseKeyedLine(const std::string& line, bool skipLeadingBlanks, KeyedValue& out);

// The value run read as a decimal number, as the C library would read it
// in the "C" locale (an empty or unreadable run reads as 0). A magnitude
// beyond a double saturates instead of becoming infinite.
double ValueRunAsDouble(const std::string& run);
// Its integer part, as a 64-bit integer (saturated for absurd values).
int64_t ValueRunAsInteger(const std::string& run);

// A 32-bit key as it is written in the text files: its four characters in
// memory order, that is reversed ('BkCl' is written "lCkB").
std::string KeyAsWritten(uint32_t key);
uint32_t KeyFromWritten(const char written[4]);

// ---- Numbers as text ----------------------------------------------------------

// "%d" and "%.2f" without the process locale: a host that sets a locale with
// a decimal comma must not change what the files say.
std::string FormatInteger(int32_t value);
std::string FormatFixed2(double value);

}  // namespace rf::presets
