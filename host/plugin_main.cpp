#include "host/plugin_main.h"

#include <cstring>
#include <exception>
#include <new>

#include "host/colour_services.h"
#include "host/descriptors.h"
#include "host/filter_run.h"
#include "host/interface/result_codes.h"
#include "host/preview.h"
#include "host/record/parameters.h"
#include "host/record/run_state.h"
#include "platform/platform.h"
#include "pattern/scene_cache.h"
#include "presets/preset_library.h"
#include "presets/settings_file.h"
#include "ui/main_dialog.h"

namespace rf::host {

namespace {

// What the module keeps while the host calls it. The host's pointers are
// valid for one call; the rest lives as long as the module is loaded.
struct Globals {
  FilterRecord* filterRecord = nullptr;  // null on the about selector
  intptr_t* data = nullptr;
  int16_t* result = nullptr;
  SPBasicSuite* basicSuite = nullptr;
  ParameterRecord* record = nullptr;  // while the parameters handle is locked
  PluginState* state = nullptr;       // while the state handle is locked

  ModuleFolders folders;
  presets::PresetLibraries presetLibraries;
  RunState run;
  pattern::SceneCache sceneCache;
};

Globals& G() {
  static Globals globals;
  return globals;
}

void SetResult(int16_t code) {
  if (G().result) *G().result = code;
}

int16_t Result() { return G().result ? *G().result : kNoErr; }

FilterRecord* FR() { return G().filterRecord; }

HostCall Call() { return HostCall{G().filterRecord, G().basicSuite, G().state}; }

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
  if (!g.record || !g.state) {
    SetResult(kMemFullErr);
    return false;
  }
  g.sceneCache.ForgetForeignPointers(*g.record);
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
void LimitBufferMemory(FilterRecord& fr) {
  fr.bufferSpace = 0;
  int64_t w, h;
  if (fr.bigDocumentData) {
    const VRect& r = fr.bigDocumentData->filterRect32;
    w = int64_t(r.right) - r.left;
    h = int64_t(r.bottom) - r.top;
  } else {
    w = int64_t(fr.filterRect.right) - fr.filterRect.left;
    h = int64_t(fr.filterRect.bottom) - fr.filterRect.top;
  }
  w = w < 0 ? 0 : (w > 256 ? 256 : w);
  h = h < 0 ? 0 : (h > 256 ? 256 : h);
  const int64_t planes = int64_t(fr.planes) + (fr.maskData ? 1 : 0);
  const int64_t limit = 2 * planes * w * h;
  if (fr.maxSpace > limit) fr.maxSpace = int32_t(limit);
}

void DoPrepare() {
  Globals& g = G();
  g.folders = DeriveFolders(platform::ModulePath());
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
  if (locked) presets::ReadSettingsFile(g.folders.settingsFile, g.record->windowPlacement);
  LimitBufferMemory(*FR());
}

// The dialog's way to the host while it is open: the record, the module's
// folders and presets, and a preview session over the run state and the
// scene cache, which keeps what the preview reads (the overview's source,
// the layers, the working buffers of the view) until the dialog closes.
class FilterDialogHost final : public ui::DialogHost {
 public:
  FilterDialogHost(const HostCall& call, RunState& run, ParameterRecord& record, pattern::SceneCache& cache,
                   const ModuleFolders& folders, presets::PresetLibraries& presetLibraries)
      : call_(call), record_(record), folders_(folders), presets_(presetLibraries), session_(call, run, record, cache) {}

  ParameterRecord& Record() override { return record_; }
  const ModuleFolders& Folders() const override { return folders_; }
  presets::PresetLibraries& Presets() override { return presets_; }
  intptr_t OwnerWindow() const override {
    const auto* platform = static_cast<const PlatformData*>(call_.filter->platformData);
    return platform ? platform->hwnd : 0;
  }
  void BeginPreview() override { session_.Begin(); }
  void EndPreview() override { session_.End(); }
  ui::DocumentInfo Document() const override { return session_.Document(); }
  int16_t LoadPreviewSource() override { return session_.LoadOverviewSource(); }
  const uint8_t* PreviewSource() const override { return session_.OverviewSource(); }
  int16_t ReadLayers() override { return session_.ReadLayers(); }
  int16_t RenderPreview(const ui::PreviewView& view, bool reloadSource, ui::PreviewPicture& picture) override {
    return session_.Render(view, reloadSource, picture);
  }
  void SetProgressSink(ui::ProgressSink sink, void* context) override { session_.SetProgressSink(sink, context); }
  void ReleaseScene() override { session_.ReleaseScene(); }
  int16_t PickColour(const char* prompt, uint16_t rgb16[3]) override {
    return PickHostColour(*call_.filter, prompt, rgb16);
  }

 private:
  HostCall call_;
  ParameterRecord& record_;
  const ModuleFolders& folders_;
  presets::PresetLibraries& presets_;
  PreviewSession session_;
};

void DoStart() {
  Globals& g = G();
  if (!Lock()) return;
  const HostCall call = Call();
  ReadLastUsed(call, *g.record);
  bool showDialog = g.state->ShowDialog != 0;
  const bool read = ReadScriptingDescriptor(call, *g.record, showDialog);
  g.folders = DeriveFolders(platform::ModulePath());
  g.presetLibraries.SetPresetsFolder(g.folders.presetsFolder);
  ui::DialogResult answer = ui::DialogResult::Apply;
  if (read && showDialog) {
    FilterDialogHost dialogHost(call, g.run, *g.record, g.sceneCache, g.folders, g.presetLibraries);
    answer = ui::RunMainDialog(dialogHost);
    dialogHost.EndPreview();
  }
  g.state->ShowDialog = 0;
  if (answer == ui::DialogResult::Cancel) {
    SetResult(kUserCanceledErr);
    return;
  }
  SetResult(RunFilter(call, g.run, *g.record, g.sceneCache));
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
  const HostCall call = Call();
  if (const int16_t written = WriteScriptingDescriptor(call, *G().record)) SetResult(written);
  if (const int16_t stored = StoreLastUsed(call, *G().record)) SetResult(stored);
}

void Dispatch(int16_t selector, void* record) {
  Globals& g = G();
  if (selector == kSelectorAbout) {
    g.filterRecord = nullptr;
    auto* about = static_cast<AboutRecord*>(record);
    g.basicSuite = about ? about->sSPBasic : nullptr;
    ui::RunAboutBox(about && about->platformData ? static_cast<PlatformData*>(about->platformData)->hwnd : 0);
    return;
  }
  if (selector < kSelectorParameters || selector > kSelectorFinish) return;
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

ModuleFolders DeriveFolders(const std::string& modulePath) {
  ModuleFolders f;
  const size_t cut = std::strlen(kModuleFileName);
  f.moduleFolder = modulePath.size() > cut ? modulePath.substr(0, modulePath.size() - cut) : std::string();
  const char sep = platform::PathSeparator();
  f.settingsFile = f.moduleFolder + presets::kSettingsFileName;
  f.dataFolder = f.moduleFolder + "Rimeflower" + sep;
  f.helpFolder = f.dataFolder + "Help" + sep;
  f.presetsFolder = f.dataFolder + "Presets" + sep;
  return f;
}

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
