#include "ui/dialog_model.h"

#include <algorithm>
#include <cmath>

#include "ui/dialog_resources.h"

namespace rf::ui {

namespace {

constexpr DialogPage G = DialogPage::Geometry;
constexpr DialogPage M = DialogPage::Material;

}  // namespace

const FieldSpec kFields[kFieldCount] = {
    {RF_ID_RANDOM_SEED, "RandomSeed", G, true, "Another seed grows another pattern from the same values"},
    {RF_ID_MIN_INTERVAL, "MinInterval", G, true, "Minimal interval between ice elements"},
    {RF_ID_MAX_ITERATIONS, "MaxIterations", G, true, "How many times the branches split"},
    {RF_ID_MAX_TRIANGLES, "MaxTriangles", G, true, "Maximal number of triangles in each branch"},
    {RF_ID_WIDTH, "Width", G, true, "Average width of triangles"},
    {RF_ID_LENGHT, "Lenght", G, true, "Average length of triangles"},
    {RF_ID_COMPLETANCE, "Completance", G, true, "How the pattern covers the given path"},
    {RF_ID_COMPLETANCE_DIST, "CompletanceDist", G, true, "How the pattern grows along the path"},
    {RF_ID_DISPERS, "Dispers", G, true, "Dispersion of the other parameters"},
    {RF_ID_LOSE_INIT_DIR, "LoseInitDir", G, true, "Random loss of the initial direction"},
    {RF_ID_PWIDTH, "PWidth", G, true, "Change of triangle width during growth"},
    {RF_ID_PLENGHT, "PLenght", G, true, "Change of triangle length during growth"},
    {RF_ID_INTERV_DEPEND, "IntervDepend", G, true, "Dependence of triangles on the intervals between branches"},
    {RF_ID_SCALE, "Scale", G, true, "Scale of the whole scene"},
    {RF_ID_MAX_TRIANGLES1, "MaxTriangles1", G, true, "Maximal number of triangles in each sub-branch"},
    {RF_ID_TURN, "Turn", G, true, "Declination of a branch, in degrees"},
    {RF_ID_TURN1, "Turn1", G, true, "Second declination of a branch, in degrees"},
    {RF_ID_SHININESS, "Shininess", M, false, "Shininess of the material: small values give broad highlights"},
    {RF_ID_SHINSTRENGTH, "Shinstrength", M, false, "Strength of the highlights"},
    {RF_ID_SELF_ILLUMINATION, "SelfIllumination", M, false, "Light the material gives by itself"},
    {RF_ID_TRANSPARANCY, "Transparancy", M, false, "Transparency of the material"},
    {RF_ID_BUMP_PERCENT, "BumpPercent", M, false, "Relief on the material surface"},
    {RF_ID_REFRACTION, "Refraction", M, false, "How far the glass shifts the image behind it"},
    {RF_ID_KOEFFICIENT, "Koefficient", M, false, "Optical coefficient of the glass"},
    {RF_ID_ABERRATION, "Aberration", M, false, "Chromatic aberration: colour fringes of the glass"},
    {RF_ID_LIGHT_MULTIPLAY, "LightMultiplay", M, false, "Light strength"},
};

const FieldSpec* FindField(int32_t id) {
  for (const FieldSpec& f : kFields)
    if (f.id == id) return &f;
  return nullptr;
}

FieldSetup SetupOf(const FieldSpec& field) {
  FieldSetup s{};
  const ParameterRange* range = FindParameterRange(field.name);
  const ScriptedParameter* p = FindParameterByName(field.name);
  if (!range || !p) return s;
  ParameterRecord defaults{};
  ResetToDefaults(defaults, true);
  s.caption = range->caption;
  s.min = range->min;
  s.max = range->max;
  s.widestMin = range->fixed ? range->min : range->widestMin;
  s.widestMax = range->fixed ? range->max : range->widestMax;
  s.integer = range->integer;
  s.rangeEditable = !range->fixed;
  s.defaultValue = float(GetFloatValue(defaults, *p));
  return s;
}

float FieldValue(const ParameterRecord& record, const FieldSpec& field) {
  const ScriptedParameter* p = FindParameterByName(field.name);
  return p ? float(GetFloatValue(record, *p)) : 0.0f;
}

void StoreFieldValue(ParameterRecord& record, const FieldSpec& field, float value) {
  const ScriptedParameter* p = FindParameterByName(field.name);
  if (!p || !std::isfinite(value)) return;
  if (p->type == ScriptType::Integer) {
    // Whole-number fields take the control's value toward zero; a negative
    // value cannot reach an unsigned field as a huge number.
    const double whole = std::trunc(std::clamp(double(value), 0.0, 4294967295.0));
    SetIntegerValue(record, *p, int64_t(whole));
  } else {
    SetFloatValue(record, *p, value);
  }
  if (field.geometry) record.SceneDirty = 1;
}

bool IsGeometryControl(int32_t id) {
  if (const FieldSpec* f = FindField(id)) return f->geometry;
  switch (id) {
    case RF_ID_EMITTER_PATHS:
    case RF_ID_EMITTER_CONTOURS:
    case RF_ID_EMITTER_FIXED:
    case RF_ID_EFFECT:
    case RF_ID_MASK_KIND:
    case RF_ID_GROW_DIRECT:
    case RF_ID_POSITION:
    case RF_ID_CENTER_X:
    case RF_ID_CENTER_Y:
    case RF_ID_ROTATE_X:
    case RF_ID_PREVIEW:  // the crosshair moves the centre
      return true;
    default:
      return false;
  }
}

void MarkChanged(ParameterRecord& record, int32_t id) {
  if (IsGeometryControl(id)) record.SceneDirty = 1;
}

int EffectListIndex(const ParameterRecord& record) {
  return std::clamp(PatternListIndex(record.EffectKind, record.PatternKind), 0, 9);
}

void StoreEffectListIndex(ParameterRecord& record, int index) {
  index = std::clamp(index, 0, 9);
  if (index < 3) {
    record.EffectKind = kFamilyGeometric;
    record.PatternKind = uint8_t(index + 1);
  } else if (index < 6) {
    record.EffectKind = kFamilyFloral;
    record.PatternKind = uint8_t(index - 2);
  } else {
    record.EffectKind = kFamilySingle;
    record.PatternKind = uint8_t(index - 5);
  }
  record.SceneDirty = 1;
}

namespace {

uint8_t* ListField(ParameterRecord& record, int32_t listId) {
  switch (listId) {
    case RF_ID_RENDER_MODE: return &record.RenderMode;
    case RF_ID_MASK_KIND: return &record.MaskKind;
    case RF_ID_GROW_DIRECT: return &record.GrowDirect;
    default: return nullptr;
  }
}

}  // namespace

std::vector<std::string> ListEntries(int32_t listId) {
  switch (listId) {
    case RF_ID_RENDER_MODE: return {"Rough", "Line", "Wire", "Flat", "Phong"};
    case RF_ID_MASK_KIND: return {"Bottom", "Top", "Top and bottom", "Perimeter", "U-like", "Window"};
    case RF_ID_GROW_DIRECT: {
      std::vector<std::string> entries;
      for (int i = 1; i <= 7; ++i) entries.push_back("Direction " + std::to_string(i));
      entries.push_back("All directions");
      return entries;
    }
    case RF_ID_EFFECT: return std::vector<std::string>(kPatternNames, kPatternNames + 10);
    default: return {};
  }
}

int ListIndexOf(const ParameterRecord& record, int32_t listId) {
  if (listId == RF_ID_EFFECT) return EffectListIndex(record);
  const uint8_t* field = ListField(const_cast<ParameterRecord&>(record), listId);
  if (!field) return 0;
  const int count = int(ListEntries(listId).size());
  return std::clamp(int(*field) - 1, 0, count - 1);
}

void StoreListIndex(ParameterRecord& record, int32_t listId, int index) {
  if (listId == RF_ID_EFFECT) return StoreEffectListIndex(record, index);
  uint8_t* field = ListField(record, listId);
  if (!field) return;
  const int count = int(ListEntries(listId).size());
  *field = uint8_t(std::clamp(index, 0, count - 1) + 1);
  MarkChanged(record, listId);
}

int FamilyRow(int effectIndex) {
  if (effectIndex < 3) return 0;
  if (effectIndex == 3) return 1;
  if (effectIndex < 6) return 2;
  if (effectIndex < 8) return 3;
  return 4;
}

std::vector<ControlState> Enabling(const EnablingInput& in) {
  const int row = FamilyRow(std::clamp(in.effectIndex, 0, 9));
  const bool single = in.effectIndex >= 6;
  std::vector<ControlState> out;
  out.push_back({RF_ID_EMITTER_PATHS, !single && in.documentHasPaths});
  out.push_back({RF_ID_EMITTER_CONTOURS, !single});
  out.push_back({RF_ID_EMITTER_FIXED, !single});
  out.push_back({RF_ID_BACKGROUND, in.alphaCut && !in.imageHasTransparency});
  for (int32_t id : {RF_ID_POSITION, RF_ID_CENTER_X, RF_ID_CENTER_Y, RF_ID_PREVIEW}) out.push_back({id, single});

  // Rows 0 to 4 of the table; one bit per row, row 0 the lowest.
  struct Row {
    int32_t id;
    uint8_t rows;
  };
  constexpr Row kTable[] = {
      {RF_ID_MASK_KIND, 0b00111},        {RF_ID_GROW_DIRECT, 0b00111},   {RF_ID_RANDOM_SEED, 0b01111},
      {RF_ID_MIN_INTERVAL, 0b00111},     {RF_ID_MAX_ITERATIONS, 0b01111}, {RF_ID_COMPLETANCE, 0b00111},
      {RF_ID_COMPLETANCE_DIST, 0b00111}, {RF_ID_DISPERS, 0b00111},       {RF_ID_LOSE_INIT_DIR, 0b00001},
      {RF_ID_PLENGHT, 0b00001},          {RF_ID_PWIDTH, 0b00101},        {RF_ID_INTERV_DEPEND, 0b00111},
      {RF_ID_TURN, 0b11110},             {RF_ID_TURN1, 0b10000},         {RF_ID_MAX_TRIANGLES1, 0b10000},
  };
  for (const Row& r : kTable) {
    bool on = (r.rows >> row) & 1;
    // The lists follow the table only for the fixed layouts; other emitters
    // have no layout to choose but still a direction to grow in.
    if (in.emitterType != kEmitterFixed) {
      if (r.id == RF_ID_MASK_KIND) on = false;
      if (r.id == RF_ID_GROW_DIRECT) on = true;
    }
    out.push_back({r.id, on});
  }
  return out;
}

KeyOutcome OnEnter(bool editHasFocus) { return editHasFocus ? KeyOutcome::NextControl : KeyOutcome::Apply; }
KeyOutcome OnEscape(bool editHasFocus) { return editHasFocus ? KeyOutcome::EndEditing : KeyOutcome::Cancel; }

const char* HelpPageFor(DialogPage page) {
  return page == DialogPage::Material ? "rimeflowerdoc_material.html" : "rimeflowerdoc_geometry.html";
}

}  // namespace rf::ui
