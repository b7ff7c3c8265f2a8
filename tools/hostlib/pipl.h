// Rimeflower host: a filter module's PiPL and scripting terminology.
//
// A host learns what a filter module is before it calls it: it opens the
// module's resources, reads the PiPL (what kind of plug-in, which entry
// point, which image modes and filter cases) and, for scripting, the AETE
// the PiPL names. This is that step for the `rimeflower` host:
//
//   rf::tools::PiPLInfo info;
//   std::string error;
//   if (!rf::tools::ReadModulePiPL(path, info, error)) refuse(error);
//   std::string why = rf::tools::CheckFilterPiPL(info, imageMode, filterCase);
//   if (!why.empty()) refuse(why);
//   call FindModuleSymbol(module, info.entryPoint.c_str());
//
// Where the bytes come from:
// - a PE file (Windows DLL): its resource section, type "PIPL" (language
//   1033 preferred) and the "AETE" of the ID the PiPL names. On Windows they
//   are read through the system's resource calls, elsewhere from the file's
//   bytes;
// - an ELF file (the Linux module): it has no resource section; the module
//   carries the same bytes compiled in, and they are accepted when the file
//   holds exactly the PiPL compiled into this program.
// Every length and offset is checked: a truncated or malformed resource is
// refused with a message, never read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rf::tools {

// ---- Decoded resources ----------------------------------------------------

struct PiPLProperty {
  uint32_t vendor = 0;  // '8BIM' for every property a filter uses
  uint32_t key = 0;
  int32_t id = 0;
  uint32_t length = 0;        // as stored (the data's own length)
  std::vector<uint8_t> data;  // `length` bytes, without the padding
};

struct FilterCaseInfo {
  uint8_t inputHandling = 0;  // 0: the case cannot be filtered
  uint8_t outputHandling = 0;
  uint8_t flags1 = 0;  // 0x02 blank data, 0x04 layer masks, 0x08 outside the selection
  uint8_t flags2 = 0;
};

struct AeteParameter {
  std::string name;
  uint32_t key = 0;
  uint32_t type = 0;  // 'long', 'doub', ...
  std::string description;
  uint16_t flags = 0;
};

struct AeteInfo {
  uint8_t majorVersion = 0, minorVersion = 0;
  int16_t language = 0, script = 0;
  std::string suiteName, suiteDescription;
  uint32_t suiteId = 0;
  int16_t suiteLevel = 0, suiteVersion = 0;
  std::string eventName, eventDescription;
  uint32_t eventClass = 0, eventId = 0;
  uint32_t replyType = 0;
  uint16_t replyFlags = 0;
  uint32_t directParameterType = 0;
  uint16_t directParameterFlags = 0;
  std::vector<AeteParameter> parameters;
};

struct PiPLInfo {
  int32_t listVersion = 0;
  std::vector<PiPLProperty> properties;  // in stored order

  // The properties a filter uses, decoded; a `has...` flag tells whether the
  // property was there.
  uint32_t kind = 0;
  std::string name, category;
  bool hasInterfaceVersion = false;
  int32_t interfaceVersion = 0;  // major << 16 | minor
  bool hasComponent = false;
  int32_t componentVersion = 0;
  std::string componentName;
  std::string entryPoint;  // 'x64' code: '8664'
  std::vector<uint8_t> modeFlags;  // 'mode': bit 0x80 of byte 0 is mode 0 ...
  std::string enableExpression;
  bool hasMaxSize = false;
  int32_t maxHeight = 0, maxWidth = 0;
  bool hasFilterLayers = false;
  bool filterLayers = false;
  std::vector<FilterCaseInfo> filterCases;  // 'fici', in filter case order 1..7
  bool hasTerminology = false;
  int32_t terminologyVersion = 0;
  uint32_t terminologyClass = 0, terminologyEvent = 0;
  int16_t terminologyId = 0;
  std::string scope;

  // The AETE the terminology names, when the module carries one.
  bool hasAete = false;
  AeteInfo aete;
  std::string aeteError;  // why it could not be read (a module without one can still be called)
};

// ---- Decoding -------------------------------------------------------------

// Decodes PiPL bytes as stored in a Windows resource. False with a message
// on malformed data (bad header, a property running past the end, a
// string without its terminator, a 'fici' of the wrong length ...).
bool DecodePiPL(const uint8_t* data, size_t size, PiPLInfo& info, std::string& error);
bool DecodeAete(const uint8_t* data, size_t size, AeteInfo& aete, std::string& error);

// A resource of a PE image held in memory. `type` is a name ("PIPL") or
// "#N" for a numeric type ("#2" bitmaps); id < 0 takes the first of the
// type. The language 1033 copy is preferred, else the first. False with a
// message when the file is not a PE image, is malformed, or lacks it.
bool FindPEResource(const std::vector<uint8_t>& file, const std::string& type, int id,
                    std::vector<uint8_t>& out, std::string& error);

// ---- Reading a module -----------------------------------------------------

// Reads and decodes the PiPL of the module file at `modulePath` and the AETE
// it names. False with a message when there is no usable PiPL.
bool ReadModulePiPL(const std::string& modulePath, PiPLInfo& info, std::string& error);
// The PiPL and AETE compiled into this program (the Linux module's copy).
bool ReadEmbeddedPiPL(PiPLInfo& info, std::string& error);

// ---- Checking before a call -----------------------------------------------

// Empty when a host may call the module's info.entryPoint to filter an
// image of `imageMode` (the host's mode number, 3 RGB, 4 CMYK, 11 RGB48 ...)
// in `filterCase` (1..7; 0 skips the case check); otherwise the reason, one
// line. Checks the kind, the interface version (4.0 at most), the x64 entry
// point, the mode flags and the 'enbl' mode list, and the case's handling.
std::string CheckFilterPiPL(const PiPLInfo& info, int16_t imageMode, int16_t filterCase);

// ---- Printing -------------------------------------------------------------

// "8BFM" for 'kind' codes; non-printable bytes as \xNN.
std::string FourCCText(uint32_t code);
// The decoded PiPL and AETE, one field per line, for `rimeflower info`.
std::string FormatPiPL(const PiPLInfo& info);

}  // namespace rf::tools
