// Rimeflower: the entry point's state and the selector dispatch.
#pragma once

#include <cstdint>
#include <string>

#include "host/interface/host_interface.h"
#include "host/record/parameters.h"

namespace rf::host {

// The block the host keeps for the plug-in in its data slot.
struct PluginState {
  int16_t previewTop, previewLeft, previewBottom, previewRight;
  uint8_t ShowDialog;  // 1: show the dialog at the next start
  uint8_t reserved[11];
};
constexpr int32_t kPluginStateSize = 20;
static_assert(sizeof(PluginState) == kPluginStateSize);

// What the module keeps while the host calls it. The record pointers are
// valid for one call; the folders live as long as the module is loaded.
struct Globals {
  FilterRecord* filterRecord = nullptr;  // null on the about selector
  AboutRecord* aboutRecord = nullptr;
  intptr_t* data = nullptr;
  int16_t* result = nullptr;
  SPBasicSuite* basicSuite = nullptr;
  ParameterRecord* record = nullptr;  // while the parameters handle is locked
  PluginState* state = nullptr;       // while the state handle is locked

  std::string moduleFolder;
  std::string dataFolder;
  std::string helpFolder;
  std::string presetsFolder;
  std::string settingsFile;
};
Globals& G();

// The file name the folders are cut from: the module must carry this name.
constexpr const char* kModuleFileName = "Rimeflower64.8bf";

void SetResult(int16_t code);
int16_t Result();

// Derives the folders from the module's own path.
void DeriveFolders();

// The whole entry point; never lets an exception reach the host.
void PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result);

}  // namespace rf::host
