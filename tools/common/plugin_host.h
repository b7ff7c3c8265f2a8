// Rimeflower host: a host of the filter plug-in interface.
//
// `PluginHost` loads a filter module, finds its entry point, and drives it
// the way an image editor does: it builds a `FilterRecord` for a document,
// keeps the module's parameters handle and data slot between runs, answers
// the procedure tables (handles, advanceState, progress, abort, descriptors,
// properties) and the suites (basic, action descriptor, descriptor registry,
// colour space), and commits the module's output to the document when the
// filter succeeds.
//
// The callbacks of the interface carry no context, so one host is current at
// a time (the interface is single-threaded anyway).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/interface/host_interface.h"
#include "tools/common/host_descriptors.h"

namespace rf::tools {

// A document as the host keeps it: planes interleaved, 8-bit samples or
// 16-bit samples in the interface's 0..32768 range. CMYK samples count ink
// (0 = none).
struct HostDocument {
  int32_t width = 0;
  int32_t height = 0;
  int16_t mode = host::kModeRGBColor;  // RGB, CMYK, RGB48 or CMYK64 (others are refused by the module)
  int32_t depth = 8;
  int16_t planes = 3;           // colour planes plus the transparency plane when present
  bool hasTransparency = false;
  std::vector<uint8_t> pixels;  // height rows of width x planes samples

  // The selection: width x height bytes, non-zero inside; empty when the
  // whole image is selected.
  std::vector<uint8_t> selection;

  // Vector paths, each in the published path-resource layout (26-byte
  // big-endian records), and which of them is the work path (-1: none).
  std::vector<std::vector<uint8_t>> paths;
  int32_t workPathIndex = -1;
  double resolution = 72.0;  // pixels per inch

  size_t BytesPerSample() const { return depth == 16 ? 2 : 1; }
  size_t RowBytes() const { return size_t(width) * size_t(planes) * BytesPerSample(); }
};

struct RunOptions {
  // Like "repeat the last filter": skip the parameters selector.
  bool skipParameters = false;
  // The scripting descriptor of a recorded action, and how it is played.
  const HostDescriptor* script = nullptr;
  int16_t playInfo = host::kPlugInDialogDontDisplay;
  // The abort procedure answers "cancel" from this poll on (-1: never).
  int64_t abortAfterPolls = -1;
  // Offer 32-bit coordinates (BigDocumentStruct) like a current host.
  bool bigDocument = true;
  // Offer the suites through the basic suite (a minimal host offers none).
  bool offerSuites = true;
  // Check the module's PiPL (modes, filter case) before calling it, as an
  // editor does; tests of the module's own refusals turn it off.
  bool checkPiPL = true;
  // Called with every progress report of the module (may be null).
  void (*onProgress)(int32_t done, int32_t total) = nullptr;
};

struct RunReport {
  int16_t result = 0;
  std::string refusal;  // why the host did not call the module at all
  int32_t lastProgressDone = 0;
  int32_t lastProgressTotal = 0;
  int64_t abortPolls = 0;
  bool descriptorWritten = false;
  HostDescriptor descriptor;  // what the module recorded at finish
};

class PluginHost {
 public:
  PluginHost();
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the module after reading its PiPL, and finds the entry point the
  // PiPL names. False with a reason (no usable PiPL, not a filter, no entry).
  bool Load(const std::string& modulePath, std::string& error);
  bool Loaded() const;
  const std::string& modulePath() const { return modulePath_; }

  // Runs the filter over `doc`: parameters (unless skipped), prepare, start,
  // continue while the module asks for data, finish. On success the output
  // replaces the document's pixels (inside the selection).
  RunReport Run(HostDocument& doc, const RunOptions& options);

  // The about selector.
  int16_t About();

  // The registry the module's last-used values go to. By default the file
  // of RegistryFilePath(); tests give their own or none ("").
  void UseRegistryFile(const std::string& path);
  DescriptorRegistry& registry();

  // The module's parameters as they sit in the handle the host keeps
  // (null before the first run).
  const ParameterRecord* ParametersForInspection() const;

  // Handles the module created and did not dispose (the parameters handle
  // and the state handle are expected to stay).
  size_t LiveHandleCount() const;
  // Suites acquired and not released during the last run.
  int OutstandingSuites() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  std::string modulePath_;
};

// Converts between image files and host documents. The module declares
// 8-bit modes only, so 16-bit files are handed over at 8 bits; on the way
// back every sample the filter left as it was keeps its full 16-bit value.
struct Image;
bool DocumentFromImage(const Image& image, HostDocument& doc, std::string& error);
void ImageFromDocument(const HostDocument& doc, const Image& original, Image& out);

// Actions: the descriptor a run recorded, as a readable text file of one
// "KEY TYPE VALUE" line per value ('long' or 'doub'), and back.
bool WriteActionFile(const std::string& path, const HostDescriptor& descriptor, std::string& error);
bool ReadActionFile(const std::string& path, HostDescriptor& descriptor, std::string& error);

// Result codes as words for messages.
std::string DescribeResult(int16_t result);

}  // namespace rf::tools
