#include <new>

#include "pattern/growth.h"

namespace rf::pattern {

const char kPatternTooLargeMessage[] =
    "The pattern is too large for the available memory. Lower \"Max Iterations\" or \"Max Triangles\", "
    "or raise \"Density\", and try again.";

GrowthStatus GrowPattern(const ParameterRecord& record, const Emitter* emitter, const ImageGeometry& geometry,
                         const RunHooks& hooks, uint64_t memoryBudgetBytes, PatternList& list) {
  list.Clear();
  const GrowthValues values = DeriveGrowthValues(record, geometry);
  Grower grower(list, TriangleBudget(memoryBudgetBytes), hooks);
  GrowthStatus status = GrowthStatus::Ok;
  try {
    grower.StartRun(record.RandomSeed);
    if (values.family == kFamilySingle) {
      if (hooks.progress) hooks.progress(hooks.context, 25, 100);
      grower.DrawSingle(record, values, DerivedCentre(record, geometry));
    } else if (emitter) {
      grower.Grow(*emitter, values);
    }
  } catch (const GrowthStop& stop) {
    status = stop.status;
  } catch (const std::bad_alloc&) {
    status = GrowthStatus::OutOfBudget;
  }
  if (status != GrowthStatus::Ok) list.Clear();
  return status;
}

}  // namespace rf::pattern
