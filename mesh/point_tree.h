// Rimeflower contour meshing: the ordered search behind the point index.
//
// Two points within 0.01 of each other on every axis are one place, and that
// relation is not transitive: an ordered search for a point that lies near
// two others which are themselves apart can find either of them, or neither,
// depending on the shape of the search tree. The lines the mesher makes
// depend on that answer, so wherever a lookup comes near such a case the
// point index asks this tree: a red-black tree grown in the order the points
// were made, with the insertion, rebalancing and search of GNU libstdc++'s
// std::set. Every build then gives the same lines, on every platform and
// with any standard library.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/memory_budget.h"

namespace rf::mesh {

class PointTree {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  explicit PointTree(MemoryBudget* budget) : budget(budget) {}
  PointTree(const PointTree&) = delete;
  PointTree& operator=(const PointTree&) = delete;
  ~PointTree();

  // Points 0 ... Size() - 1 are in the tree.
  uint32_t Size() const { return count; }

  // Adds the point numbered Size(), which the search did not find when it
  // was made.
  void Add(float x, float y, float z);

  // The number of the point the search finds for (x, y, z): the ordered
  // set's find, then its insert. kNone when neither finds one, after adding
  // the key as point Size().
  uint32_t FindOrAdd(float x, float y, float z);

 private:
  // What a search reads, apart from the rest: four nodes to a cache line.
  struct Links {
    uint32_t left;
    uint32_t right;
    float x;
    float y;
  };
  struct Rest {
    uint32_t parent;
    float z;
    bool black;
  };
  struct Key {
    float x;
    float y;
    float z;
  };
  static constexpr uint32_t kNil = UINT32_MAX;
  static constexpr uint32_t kHeader = 0;  // parent: root; left: leftmost; right: rightmost
  static constexpr uint32_t kChunkShift = 16;
  static constexpr uint32_t kChunkNodes = 1u << kChunkShift;
  static constexpr size_t kNodeBytes = sizeof(Links) + sizeof(Rest);

  Links& L(uint32_t n) { return links[n >> kChunkShift][n & (kChunkNodes - 1)]; }
  Rest& R(uint32_t n) { return rests[n >> kChunkShift][n & (kChunkNodes - 1)]; }
  uint32_t& Parent(uint32_t n) { return R(n).parent; }
  bool Black(uint32_t n) { return R(n).black; }
  // The set's comparison of the key with node n, and of node n with the key.
  bool KeyBelow(const Key& key, uint32_t n);
  bool NodeBelow(uint32_t n, const Key& key);
  static bool Less(const Key& a, const Key& b);

  void Grow();
  // The set's insert: the node it answers instead of inserting (kNil when
  // it inserts) and the parent the key goes under when it does.
  void InsertPosition(const Key& key, uint32_t& found, uint32_t& parent);
  void Link(const Key& key, uint32_t parent, bool left);
  void Rebalance(uint32_t x);
  void RotateLeft(uint32_t x);
  void RotateRight(uint32_t x);
  uint32_t Previous(uint32_t n);

  MemoryBudget* budget;
  std::vector<Links*> links;
  std::vector<Rest*> rests;
  uint32_t count = 0;
  bool plain = true;  // every key finite: a pair that is not equivalent is ordered
};

}  // namespace rf::mesh
