// Grows patterns from arbitrary parameters (raw float bits included), image
// sizes and emitters. Growth must end within its budget and never hand out a
// coordinate that is not a finite float.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "host/record/parameters.h"
#include "tests/fuzz/fuzz_support.h"
#include "pattern/pattern.h"

namespace {

using rf::fuzz::Check;
using Reader = rf::fuzz::Bytes;

// Mostly small sensible values, sometimes raw bits.
void SetParameter(Reader& in, rf::ParameterRecord& record, const rf::ScriptedParameter& p) {
  const uint8_t how = in.Byte();
  if (how < 96) return;  // keep the default
  if (p.type == rf::ScriptType::Integer)
    rf::SetIntegerValue(record, p, how < 224 ? int64_t(int8_t(in.Byte())) : int64_t(in.Take<int32_t>()));
  else
    rf::SetFloatValue(record, p, how < 224 ? double(int16_t(in.Byte() | in.Byte() << 8)) / 64.0 : in.Take<float>());
}

void CheckFinite(const rf::pattern::PatternList& list) {
  for (const rf::pattern::RFTrNode* n = list.First(); n; n = n->next)
    for (const rf::pattern::PatternVertex& v : n->triangle->v)
      for (float f : {v.x, v.y, v.z, v.nx, v.ny, v.nz})
        Check(std::isfinite(f), "a vertex that is not finite");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  rf::ParameterRecord record;
  rf::ResetToDefaults(record);
  const uint8_t mode = in.Byte();
  record.EffectKind = uint8_t(1 + in.Byte() % 3);
  record.PatternKind = uint8_t(in.Byte() % 5);
  for (const rf::ScriptedParameter& p : rf::kScriptedParameters) SetParameter(in, record, p);

  rf::pattern::ImageGeometry geometry;
  geometry.width = in.Byte() % 200;
  geometry.height = in.Byte() % 200;
  geometry.filterWidth = geometry.width + in.Byte() % 50;
  geometry.filterHeight = geometry.height + in.Byte() % 50;
  geometry.previewScale = (mode & 1) ? 1.0 : double(in.Byte()) / 32.0;
  geometry.offsetX = int8_t(in.Byte());
  geometry.offsetY = int8_t(in.Byte());

  rf::pattern::Emitter emitter;
  if (mode & 2) {
    rf::pattern::BuildFixedEmitter(record.MaskKind, geometry, emitter);
  } else {
    const int points = in.Byte() % 16, segments = in.Byte() % 16;
    for (int i = 0; i < points; ++i)
      emitter.points.push_back({in.Take<float>(), in.Take<float>(), 0.0f, in.Take<float>(), in.Take<float>(), 0.0f, 1});
    for (int i = 0; i < segments; ++i)
      emitter.segments.push_back({int8_t(in.Byte()), int8_t(in.Byte()), in.Take<float>(), in.Take<float>(), 0.0f,
                                  (mode & 4) ? in.Take<float>() : float(in.Byte()), 1});
  }

  int pollsBeforeAbort = (mode & 8) ? in.Byte() % 4 : -1;
  rf::RunHooks hooks;
  hooks.context = &pollsBeforeAbort;
  hooks.testAbort = [](void* c) {
    int& left = *static_cast<int*>(c);
    return left >= 0 && left-- == 0;
  };

  // A small budget keeps every input quick; runaway settings end on it.
  rf::pattern::PatternList list;
  const auto status = rf::pattern::GrowPattern(record, &emitter, geometry, hooks, 2u << 20, list);
  Check(status == rf::pattern::GrowthStatus::Ok || list.Count() == 0, "a failed growth left triangles");
  CheckFinite(list);
  rf::pattern::PlaceInScene(record, geometry, list);
  CheckFinite(list);
  return 0;
}
