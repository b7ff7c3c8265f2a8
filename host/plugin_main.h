// Rimeflower: the entry point's state and the selector dispatch.
//
// The entry point is the one place that keeps state between the host's
// calls: the host's pointers for the current call, the module's folders,
// the run state and the scene cache. Everything below it receives what it
// reads as arguments (a HostCall, the record, the run state, the cache).
#pragma once

#include <cstdint>
#include <string>

#include "host/interface/host_interface.h"
#include "host/record/module_folders.h"

namespace rf::host {

// The block the host keeps for the plug-in in its data slot.
struct PluginState {
  int16_t previewTop, previewLeft, previewBottom, previewRight;
  uint8_t ShowDialog;  // 1: show the dialog at the next start
  uint8_t reserved[11];
};
constexpr int32_t kPluginStateSize = 20;
static_assert(sizeof(PluginState) == kPluginStateSize);

// What one call of the entry point passes down: the host's record and
// basic suite, and the state block while it is locked.
struct HostCall {
  FilterRecord* filter = nullptr;
  const SPBasicSuite* basicSuite = nullptr;
  PluginState* state = nullptr;
};

// The file name the folders are cut from: the module must carry this name.
constexpr const char* kModuleFileName = "Rimeflower64.8bf";

// The folders beside the module at `modulePath`. A module renamed to a name
// of another length finds no help or presets, which is why the name is
// fixed.
ModuleFolders DeriveFolders(const std::string& modulePath);

// The whole entry point; never lets an exception reach the host.
void PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result);

}  // namespace rf::host
