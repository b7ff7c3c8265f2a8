#include "host/record/parameters.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace rf {

namespace {

#define RF_INT(name, key, field, width) \
  ScriptedParameter{name, FourCC(key), ScriptType::Integer, FieldWidth::width, offsetof(ParameterRecord, field)}
#define RF_FLT(name, key, field) \
  ScriptedParameter{name, FourCC(key), ScriptType::Float, FieldWidth::F32, offsetof(ParameterRecord, field)}

}  // namespace

const ScriptedParameter kScriptedParameters[kScriptedParameterCount] = {
    RF_INT("Background Color", "BkCl", BackgroundColor, U32),
    RF_INT("Emitter Type", "EmTp", EmitterType, U8),
    RF_FLT("Center X", "CtnX", CenterX),
    RF_FLT("Center Y", "CtnY", CenterY),
    RF_INT("RenderMode", "RndM", RenderMode, U8),
    RF_INT("MaskKind", "MskK", MaskKind, U8),
    RF_INT("PatternKind", "PtrK", PatternKind, U8),
    RF_INT("GrowDirect", "GrwD", GrowDirect, U8),
    RF_INT("RandomSeed", "RndS", RandomSeed, U32),
    RF_FLT("MinInterval", "MnIn", MinInterval),
    RF_INT("MaxIterations", "MxIt", MaxIterations, U32),
    RF_INT("MaxTriangles", "MxTr", MaxTriangles, U32),
    RF_FLT("Width", "Wdth", Width),
    RF_FLT("Lenght", "Lngh", Lenght),
    RF_FLT("Completance", "Comp", Completance),
    RF_FLT("CompletanceDist", "CmDs", CompletanceDist),
    RF_FLT("Dispers", "Dspr", Dispers),
    RF_FLT("LoseInitDir", "LsID", LoseInitDir),
    RF_FLT("PLenght", "PLen", PLenght),
    RF_FLT("PWidth", "PWid", PWidth),
    RF_FLT("IntervDepend", "InDp", IntervDepend),
    RF_FLT("Scale", "Scle", Scale),
    RF_INT("Diffuse", "Diff", Diffuse, U32),
    RF_INT("Speculare", "Spec", Speculare, U32),
    RF_FLT("Shininess", "Shin", Shininess),
    RF_FLT("Shinstrength", "ShSt", Shinstrength),
    RF_FLT("SelfIllumination", "SlIl", SelfIllumination),
    RF_FLT("Transparancy", "Trns", Transparancy),
    RF_FLT("BumpPercent", "BmpP", BumpPercent),
    RF_FLT("Refraction", "Rfrc", Refraction),
    RF_FLT("Koefficient", "Keff", Koefficient),
    RF_FLT("Aberration", "Abbr", Aberration),
    RF_INT("LightColor", "LgCl", LightColor, U32),
    RF_FLT("LightAlpha", "LgAl", LightAlpha),
    RF_FLT("LightBeta", "LgBt", LightBeta),
    RF_FLT("LightMultiplay", "LgMt", LightMultiplay),
    RF_INT("UseBackLight", "UsBk", UseBackLight, U8),
    RF_INT("AlphaCut", "AlpC", AlphaCut, U8),
    RF_INT("UseGlass", "UsGl", UseGlass, U8),
    RF_INT("EffectKind", "EfKn", EffectKind, U8),
    RF_FLT("Turn", "Turn", Turn),
    RF_FLT("Turn1", "Trn1", Turn1),
    RF_INT("MaxTriangles1", "MxT1", MaxTriangles1, U32),
    RF_FLT("RotateX", "RttX", RotateX),
    RF_FLT("Alpha", "Alph", Alpha),
    RF_FLT("Beta", "Beta", Beta),
    RF_INT("Color", "Colr", Color, U32),
};

#undef RF_INT
#undef RF_FLT

const ParameterRange kParameterRanges[kParameterRangeCount] = {
    {"RandomSeed", "Random Seed", 0, 100, 0, 300, false, false},
    {"MinInterval", "Density", 1, 100, 1, 300, false, false},
    {"MaxIterations", "Max Iterations", 2, 6, 2, 10, false, true},
    {"MaxTriangles", "Max Triangles", 1, 15, 1, 30, false, true},
    {"Width", "Width", 1, 150, 1, 300, false, false},
    {"Lenght", "Length", 0, 35, 0, 70, false, false},
    {"Completance", "Completeness", 0, 100, 0, 100, true, false},
    {"CompletanceDist", "Complet Dist", 0, 100, 0, 100, true, false},
    {"Dispers", "Dispersion", 0, 100, 0, 200, false, false},
    {"LoseInitDir", "Lose Direct", 0, 100, 0, 200, false, false},
    {"PWidth", "Prop. Width", -100, 100, -200, 200, false, false},
    {"PLenght", "Prop. Length", -100, 100, -200, 200, false, false},
    {"IntervDepend", "Interv Depend", -100, 100, -200, 200, false, false},
    {"Scale", "Scale", 10, 150, 5, 200, false, false},
    {"MaxTriangles1", "Max Triangles 2", 10, 40, 10, 40, true, true},
    {"Turn", "Turn 1", -360, 360, -360, 360, true, false},
    {"Turn1", "Turn 2", -360, 360, -360, 360, true, false},
    {"Shininess", "Material Shininess", 0, 150, 0, 300, false, false},
    {"Shinstrength", "Shine Strength", 0, 500, 0, 999, false, false},
    {"SelfIllumination", "Self Illumination", 0, 150, 0, 300, false, false},
    {"Transparancy", "Transparency", 0, 100, 0, 100, true, false},
    {"BumpPercent", "Material Bump", -200, 200, -300, 300, false, false},
    {"Refraction", "Refraction", -100, 100, -200, 200, false, false},
    {"Koefficient", "Optical Coefficient", -100, 100, -200, 200, false, false},
    {"Aberration", "Aberration", 0, 100, 0, 200, false, false},
    {"LightMultiplay", "Light Strength", 0, 150, 0, 300, false, false},
};

const char* const kPatternNames[10] = {
    "Geometric 1", "Geometric 2", "Geometric 3", "Floral 1", "Floral 2",
    "Floral 3",    "Single 1",    "Single 2",    "Single 3", "Single 4",
};

void ResetToDefaults(ParameterRecord& r, bool includeWindowPlacement) {
  if (includeWindowPlacement) r.windowPlacement = kDefaultWindowPlacement;
  r.EmitterType = kEmitterFixed;
  r.BackgroundColor = 0;
  r.TextureCache = nullptr;
  r.RenderMode = kRenderPhong;
  r.MaskKind = kMaskULike;
  r.PatternKind = 3;
  r.GrowDirect = 1;
  r.RandomSeed = 0;
  r.MinInterval = 25.0f;
  r.MaxIterations = 3;
  r.MaxTriangles = 3;
  r.Width = 80.0f;
  r.Lenght = 12.0f;
  r.Completance = 100.0f;
  r.CompletanceDist = 100.0f;
  r.Dispers = 12.5f;
  r.LoseInitDir = 15.0f;
  r.PLenght = 10.0f;
  r.PWidth = 10.0f;
  r.IntervDepend = 0.0f;
  r.Scale = 100.0f;
  r.SceneDirty = 1;
  r.CachedTriangleCount = 0;
  r.CachedPointCount = 0;
  r.CachedTriangles = nullptr;
  r.CachedPoints = nullptr;
  r.Diffuse = 0xC0C0C0;
  r.Speculare = 0xFFFFFF;
  r.Shininess = 15.0f;
  r.Shinstrength = 100.0f;
  r.SelfIllumination = 10.0f;
  r.Transparancy = 0.0f;
  r.BumpPercent = 20.0f;
  r.Refraction = -50.0f;
  r.Koefficient = 75.0f;
  r.Aberration = 20.0f;
  r.LightColor = 0xFFFFFF;
  r.LightAlpha = 0.0f;
  r.LightBeta = 45.0f;
  r.LightMultiplay = 100.0f;
  r.UseBackLight = 1;
  r.AlphaCut = 0;
  r.UseGlass = 1;
  r.EffectKind = kFamilyFloral;
  r.Turn = 270.0f;
  r.Turn1 = 180.0f;
  r.MaxTriangles1 = 15;
  r.CenterX = 0.0f;
  r.CenterY = 0.0f;
  r.RotateX = 0.0f;
  r.Alpha = 0.0f;
  r.Beta = 45.0f;
  r.Color = 0x00FFFF;
}

const ScriptedParameter* FindParameterByKey(uint32_t key) {
  for (const ScriptedParameter& p : kScriptedParameters)
    if (p.key == key) return &p;
  return nullptr;
}

namespace {

// Lower case with blanks and underscores dropped.
bool LooseEqual(const char* a, const char* b) {
  auto skip = [](const char*& s) {
    while (*s == ' ' || *s == '_') ++s;
  };
  for (;;) {
    skip(a);
    skip(b);
    if (*a == '\0' || *b == '\0') return *a == *b;
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
    ++a;
    ++b;
  }
}

}  // namespace

const ScriptedParameter* FindParameterByName(const char* name) {
  if (name == nullptr) return nullptr;
  for (const ScriptedParameter& p : kScriptedParameters)
    if (std::strcmp(p.name, name) == 0) return &p;
  for (const ScriptedParameter& p : kScriptedParameters)
    if (LooseEqual(p.name, name)) return &p;
  return nullptr;
}

const ParameterRange* FindParameterRange(const char* name) {
  for (const ParameterRange& r : kParameterRanges)
    if (std::strcmp(r.name, name) == 0) return &r;
  return nullptr;
}

namespace {

const uint8_t* FieldAt(const ParameterRecord& r, const ScriptedParameter& p) {
  return reinterpret_cast<const uint8_t*>(&r) + p.offset;
}
uint8_t* FieldAt(ParameterRecord& r, const ScriptedParameter& p) {
  return reinterpret_cast<uint8_t*>(&r) + p.offset;
}

}  // namespace

int64_t GetIntegerValue(const ParameterRecord& r, const ScriptedParameter& p) {
  const uint8_t* f = FieldAt(r, p);
  switch (p.width) {
    case FieldWidth::U8:
      return *f;
    case FieldWidth::U32: {
      uint32_t v;
      std::memcpy(&v, f, sizeof v);
      return v;
    }
    case FieldWidth::F32: {
      float v;
      std::memcpy(&v, f, sizeof v);
      if (!std::isfinite(v) || std::fabs(v) > 9.0e18f) return 0;
      return static_cast<int64_t>(v);
    }
  }
  return 0;
}

double GetFloatValue(const ParameterRecord& r, const ScriptedParameter& p) {
  if (p.width == FieldWidth::F32) {
    float v;
    std::memcpy(&v, FieldAt(r, p), sizeof v);
    return v;
  }
  return static_cast<double>(GetIntegerValue(r, p));
}

void SetIntegerValue(ParameterRecord& r, const ScriptedParameter& p, int64_t value) {
  uint8_t* f = FieldAt(r, p);
  switch (p.width) {
    case FieldWidth::U8:
      *f = static_cast<uint8_t>(value & 0xFF);
      break;
    case FieldWidth::U32: {
      uint32_t v = static_cast<uint32_t>(static_cast<uint64_t>(value) & 0xFFFFFFFFu);
      std::memcpy(f, &v, sizeof v);
      break;
    }
    case FieldWidth::F32: {
      float v = static_cast<float>(value);
      std::memcpy(f, &v, sizeof v);
      break;
    }
  }
}

void SetFloatValue(ParameterRecord& r, const ScriptedParameter& p, double value) {
  if (p.width == FieldWidth::F32) {
    // Narrowing saturates instead of producing an infinity, and a NaN reads
    // as 0: no consumer of the record should ever meet a non-finite value.
    float v = 0.0f;
    if (value > std::numeric_limits<float>::max())
      v = std::numeric_limits<float>::max();
    else if (value < -std::numeric_limits<float>::max())
      v = -std::numeric_limits<float>::max();
    else if (value == value)
      v = static_cast<float>(value);
    std::memcpy(FieldAt(r, p), &v, sizeof v);
    return;
  }
  // Integer fields take the integer part; out-of-range doubles would be
  // undefined to convert, so they are treated as 0.
  int64_t i = 0;
  if (std::isfinite(value) && std::fabs(value) < 9.0e18) i = static_cast<int64_t>(value);
  SetIntegerValue(r, p, i);
}

int PatternListIndex(uint8_t effectKind, uint8_t patternKind) {
  // A pattern number outside its family (a damaged preset or action) shows
  // the family's nearest entry rather than reading past the list.
  auto within = [](int first, int count, uint8_t kind) {
    const int k = kind < 1 ? 1 : (kind > count ? count : kind);
    return first + k - 1;
  };
  switch (effectKind) {
    case kFamilyGeometric:
      return within(0, 3, patternKind);
    case kFamilyFloral:
      return within(3, 3, patternKind);
    case kFamilySingle:
      return within(6, 4, patternKind);
    default:
      return 0;
  }
}

}  // namespace rf
