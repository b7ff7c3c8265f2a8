// Rimeflower: the line reading shared by the preset and settings files.
//
// Bytes are read one at a time: a tab reads as a blank, a line ends at the
// first byte below 14 (line feed, carriage return and the other control
// bytes), and a last line without its end is not used. A carriage return
// followed by a line feed therefore yields an extra empty line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rf::presets {

// Longest line kept; the rest of a longer line is read and dropped, so a
// runaway line cannot exhaust memory. Every meaningful line is short.
constexpr size_t kMaxLineLength = 4096;

std::vector<std::string> SplitLines(const uint8_t* data, size_t size);
// Reads a whole file (up to maxBytes) and splits it; false when it cannot be opened.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines,
                   size_t maxBytes = 16u << 20);

// A keyed line: "KEY value ..." with the key as its first four characters
// (after leading blanks when skipLeadingBlanks is set). Lines shorter than
// four characters or beginning with ';' hold no key.
struct KeyedValue {
  char key[4];
  std::string valueRun;  // the run of ",-.0123456789Ee" after the key, at most 63 characters
};
bool ParseKeyedLine(const std::string& line, bool skipLeadingBlanks, KeyedValue& out);

// The value run read as a decimal number, as the C library would read it
// (an empty or unreadable run reads as 0).
double ValueRunAsDouble(const std::string& run);
// Its integer part, as a 64-bit integer (saturated for absurd values).
int64_t ValueRunAsInteger(const std::string& run);

// A 32-bit key as it is written in the text files: its four characters in
// memory order, that is reversed ('BkCl' is written "lCkB").
std::string KeyAsWritten(uint32_t key);
uint32_t KeyFromWritten(const char written[4]);

}  // namespace rf::presets
