// Rimeflower host: a host of the filter plug-in interface.
//
// `PluginHost` loads a filter module, finds its entry point, and drives it
// the way an image editor does: it builds a `FilterRecord` for a document,
// keeps the module's parameters handle and data slot between runs, answers
// the procedure tables (handles, advanceState, progress, abort, descriptors,
// properties, channel ports, colour services) and the suites (basic, action
// descriptor and reference, basic action control, Unicode strings,
// descriptor registry, colour space, channel ports, properties), describes
// the document and its layers, and commits the module's output to the
// document when the filter succeeds.
//
// Editors differ in what they offer; the options below make this host
// behave like each of them, so that a module can be run against all.
//
// The callbacks of the interface carry no context, so one host is current at
// a time (the interface is single-threaded anyway).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/interface/host_interface.h"
#include "tools/hostlib/descriptor_store.h"
#include "tools/hostlib/host_document.h"

namespace rf::tools {

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

  // ---- What the host offers (everything: a current editor) ----
  // Version 3 of the action descriptor suite; false: version 2 only.
  bool descriptorSuiteVersion3 = true;
  // The property suite by name, and the record's property procedures.
  bool propertySuite = true;
  bool propertyProcs = true;
  // The layer list in the document description; false: a description
  // without layers (version 0).
  bool layerList = true;
  // The channel-ports suite (the record's channel-port procedure is always
  // there).
  bool channelPortsSuite = true;
  // The action reference and basic action control suites, through which a
  // module asks for the target layer's name and a layer's visibility.
  bool layerQueries = true;
  // The Unicode string suite; without it text is read as C strings.
  bool unicodeStrings = true;
  // Input and mask areas always as copies with rows longer than their
  // pixels, even where the module could read the document in place.
  bool paddedRows = false;
  // The channel ports of this layer (index from the bottom; a flat document
  // is layer 0) cannot be read; -1: all can.
  int32_t unreadableLayer = -1;
  // Names the target layer with this instead of its own name (empty: its
  // own), as a host whose names disagree with its layer list would.
  std::string targetNameAnswer;
  // The colour picker of the colour services: what the user does with it.
  bool colourServices = true;
  bool pickerCancels = false;
  uint8_t pickedColour[3] = {0, 0, 0};
};

struct RunReport {
  int16_t result = 0;
  std::string refusal;  // why the host did not call the module at all
  int32_t lastProgressDone = 0;
  int32_t lastProgressTotal = 0;
  int64_t abortPolls = 0;
  bool descriptorWritten = false;
  HostDescriptor descriptor;  // what the module recorded at finish
  // The reads each layer's channel ports answered (index from the bottom).
  std::vector<int64_t> layerReads;
  // The prompt of the last colour picker the module opened.
  std::string pickerPrompt;
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

  // Serves `doc` as for a run, but calls `visit` with the record instead of
  // the module's selectors: tests drive the module's own functions against
  // this host with it. Nothing is committed to the document. Needs no module.
  RunReport Serve(HostDocument& doc, const RunOptions& options,
                  const std::function<void(host::FilterRecord&)>& visit);

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
  RunReport Session(HostDocument& doc, const RunOptions& options,
                    const std::function<void(host::FilterRecord&)>* visit);

  std::unique_ptr<Impl> impl_;
  std::string modulePath_;
};

// Whether the filter modules of this platform can show their dialog: the
// Windows module can; the Linux module has no window system to show one on.
bool ModulesHaveDialogs();

// Result codes as words for messages.
std::string DescribeResult(int16_t result);

}  // namespace rf::tools
