// Rimeflower: what the dialog's controls mean, without a window.
//
// Which record field each control edits and how, which changes regrow the
// pattern (`SceneDirty`), which controls are enabled for an effect kind and
// emitter, what Enter and Escape do, and which manual page belongs to a tab.
// The Win32 pages only turn messages into these calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/record/parameters.h"

namespace rf::ui {

enum class DialogPage : uint8_t { Geometry = 0, Material = 1 };

// ---- Numeric fields ----------------------------------------------------------

struct FieldSpec {
  int32_t id;        // the field's identifier; its caption label is id + 100
  const char* name;  // scripting name of the record field it edits
  DialogPage page;
  bool geometry;     // a change regrows the pattern
  const char* tip;
};

constexpr int kFieldCount = 26;
// "Random Seed" to "Turn 2" on the Geometry page, "Material Shininess" to
// "Light Strength" on the Material page, in the order of the range table.
extern const FieldSpec kFields[kFieldCount];
const FieldSpec* FindField(int32_t id);

// What a field is created with: caption, range, widest range (the range
// itself when it cannot be changed), integer flag and the record default.
struct FieldSetup {
  const char* caption;
  float min, max, widestMin, widestMax;
  bool integer, rangeEditable;
  float defaultValue;
};
FieldSetup SetupOf(const FieldSpec& field);

float FieldValue(const ParameterRecord& record, const FieldSpec& field);
// Stores a field's value as the record takes it (integer fields truncated
// toward zero; non-finite values are ignored) and marks a geometry change.
void StoreFieldValue(ParameterRecord& record, const FieldSpec& field, float value);

// ---- The other controls --------------------------------------------------------

// True for every control whose change alters the pattern's geometry: the
// emitter, the effect, `MaskKind`, `GrowDirect`, the position, the rotation
// and the geometry fields. The render mode, the material, the light, the
// colours and `AlphaCut` only re-render.
bool IsGeometryControl(int32_t id);
// Sets `SceneDirty` when `id` is a geometry control.
void MarkChanged(ParameterRecord& record, int32_t id);

// The effect list of ten entries ("Geometric 1" .. "Single 4").
int EffectListIndex(const ParameterRecord& record);
void StoreEffectListIndex(ParameterRecord& record, int index);
// The list index of `RenderMode`, `MaskKind` and `GrowDirect` (value - 1,
// clamped to the list) and back.
int ListIndexOf(const ParameterRecord& record, int32_t listId);
void StoreListIndex(ParameterRecord& record, int32_t listId, int index);
// The entries of those lists.
std::vector<std::string> ListEntries(int32_t listId);

// ---- Enabling -------------------------------------------------------------------

struct EnablingInput {
  int effectIndex = 0;
  uint8_t emitterType = 2;
  bool alphaCut = false;
  bool documentHasPaths = false;
  bool imageHasTransparency = false;
};

struct ControlState {
  int32_t id;
  bool enabled;
};

// The effect family row of the enabling table: 0 geometric, 1 "Floral 1",
// 2 "Floral 2" and "Floral 3", 3 "Single 1" and "Single 2", 4 "Single 3"
// and "Single 4".
int FamilyRow(int effectIndex);
// The state of every control the rules decide: the emitter buttons, the
// background colour, the position control and its fields, the preview's
// crosshair (RF_ID_PREVIEW), the two lists and the fields of the table.
// Controls not listed stay enabled.
std::vector<ControlState> Enabling(const EnablingInput& in);

// ---- Keys -----------------------------------------------------------------------

enum class KeyOutcome {
  NextControl,  // the focus moves on; nothing is applied
  EndEditing,   // the field shows its value again; the focus goes to OK
  Apply,
  Cancel,
};
KeyOutcome OnEnter(bool editHasFocus);
KeyOutcome OnEscape(bool editHasFocus);

// The dialog's hot keys, as registered for its window.
enum class HotKey : int32_t { ZoomIn = 1, ZoomOut, WholeImage, ActualSize, Manual, ProductPage };

// ---- Manual pages ----------------------------------------------------------------

constexpr const char* kManualPage = "rimeflowerdoc.html";
constexpr const char* kParameterPage = "rimeflowerdoc_parameter.html";
constexpr int32_t kParameterTopic = 777;
constexpr const char* kProductPage = "https://kestrelworks.example/rimeflower/";
// The page F1 opens on a tab.
const char* HelpPageFor(DialogPage page);

}  // namespace rf::ui
