#include "pattern/scene_assembly.h"

#include <cstring>

#include "host/run_state.h"

namespace rf::pattern {

int16_t RenderEffect() {
  RunState& run = Run();
  if (!run.output || !run.source || !run.record) return kNoErr;
  const size_t bytes = size_t(run.rowStride) * size_t(run.height);
  if (run.record->AlphaCut)
    std::memset(run.output, 0, bytes);
  else
    std::memcpy(run.output, run.source, bytes);
  return kNoErr;
}

}  // namespace rf::pattern
