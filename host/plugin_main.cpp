#include "host/plugin_main.h"

#include <cstring>
#include <exception>
#include <new>

#include "host/descriptors.h"
#include "host/filter_run.h"
#include "host/interface/result_codes.h"
#include "host/record/run_state.h"
#include "platform/platform.h"
#include "pattern/scene_assembly.h"
#include "presets/settings_file.h"
#include "ui/main_dialog.h"

namespace rf::host {

Globals& G() {
  static Globals globals;
  return globals;
}

void SetResult(int16_t code) {
  if (G().result) *G().result = code;
}

int16_t Result() { return G().result ? *G().result : kNoErr; }

void DeriveFolders() {
  Globals& g = G();
  std::string path = platform::ModulePath();
  const size_t cut = std::strlen(kModuleFileName);
  // The folder is what remains once the module's file name is cut off; a
  // module renamed to a name of another length finds no help or presets,
  // which is why the file name is fixed.
  g.moduleFolder = path.size() > cut ? path.substr(0, path.size() - cut) : std::string();
  const char sep = platform::PathSeparator();
  g.settingsFile = g.moduleFolder + presets::kSettingsFileName;
  g.dataFolder = g.moduleFolder + "Rimeflower" + sep;
  g.helpFolder = g.dataFolder + "Help" + sep;
  g.presetsFolder = g.dataFolder + "Presets" + sep;
}

namespace {

FilterRecord* FR() { return G().filterRecord; }

Handle NewHandle(int32_t size) {
  HandleProcs* procs = FR()->handleProcs;
  if (!procs || !procs->newProc) return nullptr;
  return procs->newProc(size);
}

// Creates the parameters handle when the host holds none. False on failure
// (the result is then -108).
bool EnsureParametersHandle() {
  if (FR()->parameters) return true;
  FR()->parameters = NewHandle(int32_t(kParametersHandleSize));
  if (!FR()->parameters) {
    SetResult(kMemFullErr);
    return false;
  }
  return true;
}

bool EnsureStateHandle() {
  if (*G().data) return true;
  Handle h = NewHandle(kPluginStateSize);
  if (!h) {
    SetResult(kMemFullErr);
    return false;
  }
  *G().data = reinterpret_cast<intptr_t>(h);
  return true;
}

// Locks both handles and publishes their pointers.
bool Lock() {
  Globals& g = G();
  if (!FR()->parameters || !*g.data) {
    SetResult(kFilterBadParameters);
    return false;
  }
  HandleProcs* procs = FR()->handleProcs;
  if (!procs || !procs->lockProc) {
    SetResult(kMemFullErr);
    return false;
  }
  g.record = reinterpret_cast<ParameterRecord*>(procs->lockProc(FR()->parameters, 1));
  g.state = reinterpret_cast<PluginState*>(procs->lockProc(reinterpret_cast<Handle>(*g.data), 1));
  Run().record = g.record;
  if (!g.record || !g.state) {
    SetResult(kMemFullErr);
    return false;
  }
  pattern::ForgetForeignPointers(*g.record);
  return true;
}

void Unlock() {
  Globals& g = G();
  HandleProcs* procs = FR()->handleProcs;
  if (procs && procs->unlockProc) {
    if (*g.data) procs->unlockProc(reinterpret_cast<Handle>(*g.data));
    if (FR()->parameters) procs->unlockProc(FR()->parameters);
  }
  g.record = nullptr;
  g.state = nullptr;
  Run().record = nullptr;
}

void ResetRecord() {
  ResetToDefaults(*G().record, true);
  G().state->ShowDialog = 1;
}

void DoParameters() {
  if (!EnsureParametersHandle()) return;
  if (!EnsureStateHandle()) return;
  if (Result() == kNoErr && Lock()) ResetRecord();
}

// The most the module asks the host to hold in its buffers: the filter
// rectangle, at most 256 x 256, twice, with a mask plane when there is one.
void LimitBufferMemory() {
  FilterRecord* fr = FR();
  fr->bufferSpace = 0;
  int64_t w, h;
  if (fr->bigDocumentData) {
    const VRect& r = fr->bigDocumentData->filterRect32;
    w = int64_t(r.right) - r.left;
    h = int64_t(r.bottom) - r.top;
  } else {
    w = int64_t(fr->filterRect.right) - fr->filterRect.left;
    h = int64_t(fr->filterRect.bottom) - fr->filterRect.top;
  }
  w = w < 0 ? 0 : (w > 256 ? 256 : w);
  h = h < 0 ? 0 : (h > 256 ? 256 : h);
  const int64_t planes = int64_t(fr->planes) + (fr->maskData ? 1 : 0);
  const int64_t limit = 2 * planes * w * h;
  if (fr->maxSpace > limit) fr->maxSpace = int32_t(limit);
}

void DoPrepare() {
  Globals& g = G();
  DeriveFolders();
  bool locked = false;
  if (!FR()->parameters) {
    if (EnsureParametersHandle() && EnsureStateHandle() && Result() == kNoErr && Lock()) {
      ResetRecord();
      locked = true;
    }
  } else if (!*g.data) {
    if (EnsureStateHandle() && Result() == kNoErr && Lock()) {
      ResetRecord();
      locked = true;
    }
  } else {
    locked = Lock();
  }
  if (locked) presets::ReadSettingsFile(g.settingsFile, g.record->windowPlacement);
  LimitBufferMemory();
}

void DoStart() {
  Globals& g = G();
  if (!Lock()) return;
  ReadLastUsed(*g.record);
  bool showDialog = g.state->ShowDialog != 0;
  const bool read = ReadScriptingDescriptor(*g.record, showDialog);
  ui::DialogResult answer = ui::DialogResult::Apply;
  if (read && showDialog) answer = ui::RunMainDialog();
  g.state->ShowDialog = 0;
  if (answer == ui::DialogResult::Cancel) {
    SetResult(kUserCanceledErr);
    return;
  }
  RunFilter();
}

void DoContinue() {
  FilterRecord* fr = FR();
  fr->inRect = fr->outRect = fr->maskRect = PIRect{0, 0, 0, 0};
  if (fr->bigDocumentData) {
    BigDocumentStruct* big = fr->bigDocumentData;
    big->inRect32 = big->outRect32 = big->maskRect32 = VRect{0, 0, 0, 0};
  }
}

void DoFinish() {
  if (!Lock()) return;
  WriteScriptingDescriptor(*G().record);
  StoreLastUsed(*G().record);
}

void Dispatch(int16_t selector, void* record) {
  Globals& g = G();
  if (selector == kSelectorAbout) {
    g.filterRecord = nullptr;
    g.aboutRecord = static_cast<AboutRecord*>(record);
    g.basicSuite = g.aboutRecord ? g.aboutRecord->sSPBasic : nullptr;
    ui::RunAboutBox(g.aboutRecord && g.aboutRecord->platformData
                        ? static_cast<PlatformData*>(g.aboutRecord->platformData)->hwnd
                        : 0);
    return;
  }
  if (selector < kSelectorParameters || selector > kSelectorFinish) return;
  g.aboutRecord = nullptr;
  g.filterRecord = static_cast<FilterRecord*>(record);
  if (!g.filterRecord || !g.data) {
    SetResult(kFilterBadParameters);
    return;
  }
  g.basicSuite = g.filterRecord->sSPBasic;
  if (g.filterRecord->bigDocumentData) g.filterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;

  switch (selector) {
    case kSelectorParameters: DoParameters(); break;
    case kSelectorPrepare: DoPrepare(); break;
    case kSelectorStart: DoStart(); break;
    case kSelectorContinue: DoContinue(); break;
    case kSelectorFinish: DoFinish(); break;
    default: break;
  }
  Unlock();
}

}  // namespace

void PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
  Globals& g = G();
  g.data = data;
  g.result = result;
  try {
    Dispatch(selector, record);
  } catch (const std::bad_alloc&) {
    SetResult(kMemFullErr);
  } catch (...) {
    // Nothing may escape into the host; a fault we did not foresee is
    // reported as a failed filter, not as a crashed host.
    SetResult(kFilterBadParameters);
  }
}

}  // namespace rf::host
