// Growth: the curls' edge cases, the emitter walk, and the limits a run
// must respect (budget, abort, degenerate values). The exact shapes are
// frozen by the goldens; arbitrary values and sizes staying finite is
// tests/fuzz/fuzz_pattern.cpp's.

#include <gtest/gtest.h>

#include "pattern/growth.h"
#include "tests/pattern/pattern_test_support.h"

namespace rf::pattern {
namespace {

using test_support::AllFinite;
using test_support::GrowFixed;
using test_support::RecordFor;
using test_support::SameTriangle;
using test_support::StraightEmitter;
using test_support::Triangles;

uint32_t StateAfter(uint32_t seed, int draws) {
  CrtRandom r;
  r.Seed(seed);
  for (int i = 0; i < draws; ++i) r.Next();
  return r.State();
}

TEST(Curls, StepCountEdges) {
  // Fewer than eight steps still draw the eight triangles of a whole curl;
  // none or a scripted negative count draw nothing, draw no number and leave
  // the end point alone.
  const struct {
    int64_t steps;
    size_t triangles;
    int draws;
  } cases[] = {{1, 8, 1}, {7, 8, 1}, {10, 11, 1}, {0, 0, 0}, {-1, 0, 0}, {-1000, 0, 0}};
  for (const auto& c : cases) {
    PatternList list;
    Grower g{list, 1u << 20, RunHooks{}};
    g.random.Seed(5);
    double ex = 123, ey = 456;
    g.CurlStrip(ex, ey, 0, 0, 0, 0, 1.0, 20, c.steps, 0.3, 2);
    EXPECT_EQ(list.Count(), c.triangles) << c.steps;
    EXPECT_EQ(g.random.State(), StateAfter(5, c.draws)) << c.steps;
    if (c.triangles == 0) {
      EXPECT_TRUE(ex == 123 && ey == 456);
    }
  }
  for (int64_t count : {0, -1, -7}) {
    PatternList list;
    Grower g{list, 1u << 20, RunHooks{}};
    g.random.Seed(2);
    g.WaveDriver(3, 0, 0, 0, 0, 0.5, 100, 0.3, count, 10, 0.1, 1.0, 0.0);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(g.random.State(), 2u);
  }
}

TEST(DegenerateRuns, ZeroCountsUnknownKindsAndNoEmitterGrowNothing) {
  for (uint8_t kind = 1; kind <= 4; ++kind) {
    for (uint32_t maxTriangles : {0u, uint32_t(-1), uint32_t(-100)}) {
      ParameterRecord r = RecordFor(kFamilySingle, kind);
      r.MaxTriangles = maxTriangles;
      PatternList list;
      EXPECT_EQ(GrowPattern(r, nullptr, FinalGeometry(1000, 750), RunHooks{}, 0, list), GrowthStatus::Ok);
      EXPECT_TRUE(AllFinite(Triangles(list)));
      if (kind >= 3) {  // a wave of no steps
        EXPECT_EQ(list.Count(), 0u);
      }
    }
  }
  PatternList list;
  EXPECT_EQ(GrowPattern(RecordFor(kFamilySingle, 5), nullptr, FinalGeometry(500, 500), RunHooks{}, 0, list),
            GrowthStatus::Ok);
  EXPECT_EQ(list.Count(), 0u);
  // The other families need an emitter to grow from.
  EXPECT_EQ(GrowPattern(RecordFor(kFamilyFloral, 3), nullptr, FinalGeometry(1000, 750), RunHooks{}, 0, list),
            GrowthStatus::Ok);
  EXPECT_EQ(list.Count(), 0u);
}

// "Geometric 2" with one triangle per fan and no recursion: two triangles
// per growth point, the second one's first corner on the point itself.
ParameterRecord SimpleFans(float minInterval) {
  ParameterRecord r = RecordFor(kFamilyGeometric, 2);
  r.MaxIterations = 1;
  r.MaxTriangles = 1;
  r.MinInterval = minInterval;  // on a 1000 pixel wide image: spacing 2 x MinInterval
  return r;
}

std::vector<PatternTriangle> GrowOn(const ParameterRecord& r, const Emitter& e) {
  PatternList list;
  EXPECT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), RunHooks{}, 0, list), GrowthStatus::Ok);
  return Triangles(list);
}

std::vector<float> GrowthPointsX(const std::vector<PatternTriangle>& t) {
  std::vector<float> xs;
  for (size_t i = 1; i < t.size(); i += 2) xs.push_back(t[i].v[0].x);
  return xs;
}

TEST(EmitterWalk, HalfCompletenessStopsHalfwayAlongTheLastSegment) {
  ParameterRecord r = SimpleFans(1);  // spacing 2: 50 points on 100 pixels
  r.Completance = 50;
  r.CompletanceDist = 0;
  const auto t = GrowOn(r, StraightEmitter({100, 100, 100, 100, 100}));
  const auto xs = GrowthPointsX(t);
  ASSERT_EQ(xs.size(), 50u + 50u + 26u);  // the third segment up to t = 50
  EXPECT_EQ(xs.back(), 250.0f);

  r.Completance = 0;
  EXPECT_TRUE(GrowOn(r, StraightEmitter({100, 100, 100, 100, 100})).empty());
}

TEST(EmitterWalk, ShortSegmentsPassTheCarry) {
  ParameterRecord r = SimpleFans(5);  // spacing 10
  const auto xs = GrowthPointsX(GrowOn(r, StraightEmitter({4, 4, 4, 20})));
  // The carry decides how many points a segment gets (t runs 0; 6 past the
  // end of the second; 2; 6 and 16), while the points themselves step from
  // each segment's start.
  EXPECT_EQ(xs, (std::vector<float>{0, 8, 12, 22}));
}

TEST(EmitterWalk, ZeroSpacingZeroLengthAndBadIndicesGrowNothing) {
  for (uint8_t family : {kFamilyGeometric, kFamilyFloral}) {
    ParameterRecord r = RecordFor(family, 1);
    r.MinInterval = 0;
    EXPECT_TRUE(GrowOn(r, StraightEmitter({100, 100})).empty());
    r.MinInterval = 25;
    EXPECT_TRUE(GrowOn(r, StraightEmitter({0, -5})).empty());
  }
  Emitter e = StraightEmitter({100, 100});
  e.segments[0].end = 99;
  e.segments[1].start = -1;
  EXPECT_TRUE(GrowOn(SimpleFans(1), e).empty());
}

TEST(EmitterWalk, AllDirectionsCyclesThroughTheSevenKinds) {
  const Emitter e = StraightEmitter(std::vector<float>(16, 20.0f), 0, 0, 0.6f, -0.8f);
  ParameterRecord r = SimpleFans(1);  // 10 points, 20 triangles a segment
  r.GrowDirect = kGrowAllDirections;
  const auto all = GrowOn(r, e);
  ASSERT_EQ(all.size(), 16u * 20u);
  std::vector<std::vector<PatternTriangle>> byKind(8);
  for (uint8_t kind = 1; kind <= 7; ++kind) {
    r.GrowDirect = kind;
    byKind[kind] = GrowOn(r, e);
  }
  for (size_t segment = 0; segment < 16; ++segment) {
    const size_t kind = segment % 7 == 0 ? 1 : segment % 7;  // kind 0 leaves the normal as it is
    for (size_t i = segment * 20; i < segment * 20 + 20; ++i)
      ASSERT_TRUE(SameTriangle(all[i], byKind[kind][i])) << "segment " << segment;
  }
  // Segment 8 grows unchanged, segment 9 reversed: they must differ.
  EXPECT_FALSE(SameTriangle(byKind[1][9 * 20 + 1], byKind[2][9 * 20 + 1]));
}

TEST(GrowPattern, SameSeedSameListOtherSeedOtherList) {
  const uint8_t kinds[][2] = {{1, 1}, {1, 3}, {2, 1}, {2, 3}, {3, 1}, {3, 4}};
  for (const auto& k : kinds) {
    // The waves of "Single 3" and "Single 4" draw only for sub-curls they
    // never make: they look the same for every seed.
    SCOPED_TRACE(testing::Message() << int(k[0]) << "/" << int(k[1]));
    ParameterRecord r = RecordFor(k[0], k[1]);
    const auto a = GrowFixed(r), b = GrowFixed(r);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), 0u);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(SameTriangle(a[i], b[i])) << i;
    r.RandomSeed = 1;
    const bool seedFree = k[0] == kFamilySingle && k[1] == 4;
    EXPECT_EQ(test_support::ShapeHash(a) == test_support::ShapeHash(GrowFixed(r)), seedFree);
  }
}

TEST(GrowPattern, StopsAtTheTriangleBudget) {
  ParameterRecord r = RecordFor(kFamilyFloral, 3);
  const size_t n = GrowFixed(r).size();
  ASSERT_GT(n, 100u);
  const uint64_t perTriangle = PatternList::BytesPerTriangle() + kSceneBytesPerTriangle;
  Emitter e;
  BuildFixedEmitter(r.MaskKind, FinalGeometry(1000, 750), e);
  PatternList list;
  EXPECT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), RunHooks{}, n * perTriangle, list), GrowthStatus::Ok);
  EXPECT_EQ(list.Count(), n);
  EXPECT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), RunHooks{}, (n - 1) * perTriangle, list),
            GrowthStatus::OutOfBudget);
  EXPECT_EQ(list.Count(), 0u);

  // Runaway growth, and an iteration limit far past any budget that must
  // not exhaust the stack first.
  r = RecordFor(kFamilyGeometric, 1);
  r.MaxIterations = 10;
  r.MaxTriangles = 30;
  EXPECT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), RunHooks{}, 64u << 20, list), GrowthStatus::OutOfBudget);
  EXPECT_EQ(list.Count(), 0u);
  r.MaxIterations = 100000;
  r.MaxTriangles = 1;
  EXPECT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), RunHooks{}, 0, list), GrowthStatus::OutOfBudget);
}

struct HookLog {
  int polls = 0;
  int abortAfter = -1;  // answer true from this poll on
  std::vector<int32_t> progress;
};

RunHooks Hooks(HookLog& log) {
  RunHooks h;
  h.context = &log;
  h.testAbort = [](void* c) {
    HookLog& l = *static_cast<HookLog*>(c);
    ++l.polls;
    return l.abortAfter >= 0 && l.polls > l.abortAfter;
  };
  h.progress = [](void* c, int32_t done, int32_t total) {
    EXPECT_EQ(total, 100);
    static_cast<HookLog*>(c)->progress.push_back(done);
  };
  return h;
}

TEST(GrowPattern, PollsAbortNowAndThen) {
  ParameterRecord r = RecordFor(kFamilyGeometric, 1);
  r.MaxIterations = 5;
  Emitter e;
  BuildFixedEmitter(r.MaskKind, FinalGeometry(1000, 750), e);
  HookLog log;
  PatternList list;
  ASSERT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), Hooks(log), 0, list), GrowthStatus::Ok);
  const size_t n = list.Count();
  ASSERT_GT(n, 20000u);
  EXPECT_GE(log.polls, 1);
  EXPECT_LE(size_t(log.polls), n / 1000);  // thousands of triangles between polls

  ASSERT_FALSE(log.progress.empty());
  EXPECT_EQ(log.progress.front(), 10);
  for (size_t i = 1; i < log.progress.size(); ++i) EXPECT_LT(log.progress[i - 1], log.progress[i]);
  EXPECT_LT(log.progress.back(), 50);

  HookLog cancel;
  cancel.abortAfter = 1;
  EXPECT_EQ(GrowPattern(r, &e, FinalGeometry(1000, 750), Hooks(cancel), 0, list), GrowthStatus::Aborted);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(cancel.polls, 2);
}

}  // namespace
}  // namespace rf::pattern
