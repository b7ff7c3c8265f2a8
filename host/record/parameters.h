// Rimeflower: the parameter record.
//
// All user parameters of the filter live in one 256-byte record that the
// host keeps for the plug-in in its parameters handle. The dialog edits it in
// place, presets and the settings file read and write parts of it, and the
// pattern and the renderer read it. Fields carry their scripting names, odd
// spellings included (`Lenght`, `Koefficient`, `Transparancy`), so that every
// field can be found by searching for its name.
//
// The layout uses fixed-width types only and natural alignment, which is the
// same on Linux x86-64 and Windows x64; the offsets are checked below.
#pragma once

#include <cstddef>
#include <cstdint>

struct __Triangle3ds;
struct __Point3ds;

namespace rf {

// ---- Enumerations ---------------------------------------------------------

// `Emitter Type`
enum EmitterTypeValue : uint8_t {
  kEmitterPaths = 0,     // "Build Rimeflower by vector path(s)"
  kEmitterContours = 1,  // selection or image contours
  kEmitterFixed = 2,     // fixed layout of `MaskKind`
  kEmitterAuto = 3,      // resolved to paths when the document has one, else contours
};

// `RenderMode` (dialog list index = value - 1)
enum RenderModeValue : uint8_t {
  kRenderRough = 1,
  kRenderLine = 2,
  kRenderWire = 3,
  kRenderFlat = 4,
  kRenderPhong = 5,
};

// `MaskKind` (dialog list index = value - 1)
enum MaskKindValue : uint8_t {
  kMaskBottom = 1,
  kMaskTop = 2,
  kMaskTopAndBottom = 3,
  kMaskPerimeter = 4,
  kMaskULike = 5,
  kMaskWindow = 6,
};

// `GrowDirect`: 1..7 "Direction 1".."Direction 7", 8 "All directions".
constexpr uint8_t kGrowAllDirections = 8;

// `EffectKind`: the pattern family; `PatternKind` numbers the pattern in it.
enum EffectKindValue : uint8_t {
  kFamilyGeometric = 1,  // PatternKind 1..3
  kFamilyFloral = 2,     // PatternKind 1..3
  kFamilySingle = 3,     // PatternKind 1..4
};

// ---- The record -----------------------------------------------------------

struct WindowPlacement {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  int32_t curveEditorLeft;
  int32_t curveEditorTop;
  int32_t curveEditorInteractive;
};

struct ParameterRecord {
  WindowPlacement windowPlacement;
  uint8_t EmitterType;
  uint32_t BackgroundColor;  // colours: red in the low byte, then green, blue
  uint8_t* TextureCache;     // 100 x 100 x 3 bump source; never stored or scripted
  uint8_t RenderMode;
  uint8_t MaskKind;
  uint8_t PatternKind;
  uint8_t GrowDirect;
  uint32_t RandomSeed;
  float MinInterval;  // shown as "Density"
  uint32_t MaxIterations;
  uint32_t MaxTriangles;
  float Width;
  float Lenght;
  float Completance;
  float CompletanceDist;
  float Dispers;
  float LoseInitDir;
  float PLenght;
  float PWidth;
  float IntervDepend;
  float Scale;
  uint8_t SceneDirty;  // geometry changed: the pattern must be regrown
  uint32_t CachedTriangleCount;
  uint32_t CachedPointCount;
  __Triangle3ds* CachedTriangles;
  __Point3ds* CachedPoints;
  uint32_t Diffuse;
  uint32_t Speculare;
  float Shininess;
  float Shinstrength;
  float SelfIllumination;
  float Transparancy;
  float BumpPercent;
  float Refraction;
  float Koefficient;
  float Aberration;
  uint32_t LightColor;
  float LightAlpha;
  float LightBeta;
  float LightMultiplay;
  uint8_t UseBackLight;
  uint8_t AlphaCut;
  uint8_t UseGlass;
  uint8_t EffectKind;
  float Turn;
  float Turn1;
  uint32_t MaxTriangles1;
  float CenterX;  // "Center X": -100 left edge .. 100 right edge
  float CenterY;  // "Center Y": 100 top edge .. -100 bottom edge
  float RotateX;
  float Alpha;
  float Beta;
  uint32_t Color;
};

constexpr size_t kParametersHandleSize = 256;
static_assert(sizeof(ParameterRecord) <= kParametersHandleSize, "the record must fit its handle");
static_assert(offsetof(ParameterRecord, EmitterType) == 28);
static_assert(offsetof(ParameterRecord, TextureCache) == 40);
static_assert(offsetof(ParameterRecord, RandomSeed) == 52);
static_assert(offsetof(ParameterRecord, SceneDirty) == 108);
static_assert(offsetof(ParameterRecord, CachedTriangles) == 120);
static_assert(offsetof(ParameterRecord, Diffuse) == 136);
static_assert(offsetof(ParameterRecord, UseBackLight) == 192);
static_assert(offsetof(ParameterRecord, Color) == 228);

// Window placement defaults (also the settings file's defaults).
constexpr WindowPlacement kDefaultWindowPlacement = {100, 100, 828, 602, 400, 300, 0};

// Sets every parameter to its default. The window placement is reset only
// when asked: the preset panel's "Default" entry keeps it. The pointer fields
// are cleared without freeing anything; their owners release them first.
void ResetToDefaults(ParameterRecord& record, bool includeWindowPlacement = true);

// ---- Scripting keys -------------------------------------------------------

constexpr uint32_t FourCC(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
         (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

enum class ScriptType : uint8_t { Integer, Float };  // descriptor types 'long', 'doub'
enum class FieldWidth : uint8_t { U8, U32, F32 };

struct ScriptedParameter {
  const char* name;  // scripting name, e.g. "Center X"
  uint32_t key;      // 4-character key, first character in the high byte
  ScriptType type;
  FieldWidth width;
  size_t offset;     // of the field in ParameterRecord
};

constexpr int kScriptedParameterCount = 47;
// The 47 scripted parameters in the order every exchange handles them.
extern const ScriptedParameter kScriptedParameters[kScriptedParameterCount];

const ScriptedParameter* FindParameterByKey(uint32_t key);
// Exact scripting name first; then without regard to case, blanks or
// underscores ("center_x" finds "Center X").
const ScriptedParameter* FindParameterByName(const char* name);

// Reads a field as an integer (floats truncated toward zero) or as a double.
int64_t GetIntegerValue(const ParameterRecord& record, const ScriptedParameter& p);
double GetFloatValue(const ParameterRecord& record, const ScriptedParameter& p);
// Stores a value: u8 fields keep the low byte, u32 fields the low 32 bits,
// f32 fields the value narrowed to float.
void SetIntegerValue(ParameterRecord& record, const ScriptedParameter& p, int64_t value);
void SetFloatValue(ParameterRecord& record, const ScriptedParameter& p, double value);

// ---- Valid ranges ---------------------------------------------------------

struct ParameterRange {
  const char* name;     // scripting name
  const char* caption;  // dialog caption
  float min, max;       // range of the field's slider and arrows
  float widestMin, widestMax;  // how far "Set value" or a preset may open it
  bool fixed;           // the range cannot be changed
  bool integer;         // shows and steps whole numbers
};

constexpr int kParameterRangeCount = 26;
extern const ParameterRange kParameterRanges[kParameterRangeCount];
const ParameterRange* FindParameterRange(const char* name);

// ---- Dialog lists ---------------------------------------------------------

// Index of the pattern list ("Geometric 1" .. "Single 4") for a family and
// pattern number; 0 for an unknown family.
int PatternListIndex(uint8_t effectKind, uint8_t patternKind);
extern const char* const kPatternNames[10];

}  // namespace rf
