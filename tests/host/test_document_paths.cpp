// LoadPaths against a host of our own making: which properties it asks for,
// how it reads their values, and how each failure leaves no curves.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "host/document_paths.h"
#include "host/plugin_main.h"
#include "tests/pattern/path_records.h"
#include "pattern/path_emitter.h"

namespace rf::host {
namespace {

// The document the fake host answers for, and what the plug-in asked.
struct FakeDocument {
  std::vector<std::vector<uint8_t>> paths;
  int32_t workPath = 0;
  bool failCount = false;
  bool failWorkPath = false;
  bool failContents = false;
  int simpleBytes = 8;  // how much of the simple property the host writes

  std::vector<int32_t> contentIndices;
  int live = 0;  // handles handed out and not disposed
};
FakeDocument* g_doc = nullptr;

struct FakeHandle {
  char* data;
  std::vector<char> storage;
};
std::map<Handle, FakeHandle*> g_handles;

// Writes `value` over the first `simpleBytes` of an 8-byte slot that the
// fake first fills with garbage, as a host with its own idea of the width
// might.
void WriteSimple(intptr_t* slot, int32_t value) {
  const int64_t wide = int64_t(value) | (int64_t(0x5A5A5A5A) << 32);
  if (g_doc->simpleBytes == 8)
    std::memcpy(slot, &wide, 8);
  else
    std::memcpy(slot, &value, 4);
}

OSErr GetProperty(OSType signature, OSType key, int32_t index, intptr_t* simple, Handle* complex) {
  if (signature != FourCC("8BIM")) return -30901;
  if (key == FourCC("nupa")) {
    if (g_doc->failCount || !simple) return -30901;
    WriteSimple(simple, int32_t(g_doc->paths.size()));
    return 0;
  }
  if (key == FourCC("wkpa")) {
    if (g_doc->failWorkPath || !simple) return -30901;
    WriteSimple(simple, g_doc->workPath);
    return 0;
  }
  if (key == FourCC("path")) {
    g_doc->contentIndices.push_back(index);
    if (g_doc->failContents || !complex || index < 0 || size_t(index) >= g_doc->paths.size()) return -1;
    auto* h = new FakeHandle;
    h->storage.assign(g_doc->paths[size_t(index)].begin(), g_doc->paths[size_t(index)].end());
    h->data = h->storage.data();
    g_handles[&h->data] = h;
    *complex = &h->data;
    ++g_doc->live;
    return 0;
  }
  return -30901;
}

int32_t HandleSize(Handle h) { return g_handles.count(h) ? int32_t(g_handles[h]->storage.size()) : 0; }
Ptr LockHandle(Handle h, Boolean) { return g_handles.count(h) ? g_handles[h]->data : nullptr; }
void UnlockHandle(Handle) {}
void DisposeHandle(Handle h) {
  auto it = g_handles.find(h);
  if (it == g_handles.end()) return;
  delete it->second;
  g_handles.erase(it);
  --g_doc->live;
}

class LoadPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_doc = &doc;
    handles.getSizeProc = HandleSize;
    handles.lockProc = LockHandle;
    handles.unlockProc = UnlockHandle;
    handles.disposeProc = DisposeHandle;
    properties.propertyProcsVersion = 1;
    properties.numPropertyProcs = 2;
    properties.getPropertyProc = GetProperty;
    record.handleProcs = &handles;
    record.propertyProcs = &properties;
    record.imageHRes = record.imageVRes = 72 << 16;
    record.wholeSize = {200, 400};  // v, h
  }
  void TearDown() override {
    EXPECT_EQ(doc.live, 0) << "a path handle was not disposed";
    g_doc = nullptr;
  }

  // A square in the middle of the document, and a single open line.
  static std::vector<uint8_t> Square() {
    test::PathRecords r;
    r.Selector(6).Selector(0, 4).Corner(2, 0.25, 0.25).Corner(2, 0.75, 0.25).Corner(2, 0.75, 0.75).Corner(2, 0.25, 0.75);
    return r.bytes;
  }
  static std::vector<uint8_t> Line() {
    test::PathRecords r;
    r.Selector(3, 2).Corner(4, 0.5, 0.0).Corner(4, 0.5, 1.0);
    return r.bytes;
  }

  size_t Load() {
    curves = LoadPaths(record);
    return curves.size();
  }

  FakeDocument doc;
  HandleProcs handles{};
  PropertyProcs properties{};
  FilterRecord record{};
  pattern::PathCurves curves;
};

TEST_F(LoadPathsTest, ReadsTheWorkPathOrTheFirstOrNone) {
  doc.paths = {Line(), Square()};
  doc.workPath = 1;
  for (int bytes : {8, 4}) {
    doc.simpleBytes = bytes;
    doc.contentIndices.clear();
    EXPECT_EQ(Load(), 4u) << bytes;
    EXPECT_EQ(doc.contentIndices, std::vector<int32_t>{1});
  }
  // Whatever the host's width of the simple property; x from the width, y
  // from the height.
  const pattern::PathCurve& c = curves[0];
  EXPECT_FLOAT_EQ(c.x[0], 100.0f);
  EXPECT_FLOAT_EQ(c.y[0], 50.0f);

  // Without an answer for the work path index: the first path.
  doc.contentIndices.clear();
  doc.failWorkPath = true;
  EXPECT_EQ(Load(), 1u);
  EXPECT_EQ(doc.contentIndices, std::vector<int32_t>{0});

  // No work path at all: nothing is read.
  doc.failWorkPath = false;
  doc.workPath = -1;
  doc.contentIndices.clear();
  EXPECT_EQ(Load(), 0u);
  EXPECT_TRUE(doc.contentIndices.empty());
}

TEST_F(LoadPathsTest, EveryFailureLeavesNoCurves) {
  doc.paths = {Square()};
  ASSERT_EQ(Load(), 4u);

  // Each reload starts from an empty list.
  doc.failContents = true;
  EXPECT_EQ(Load(), 0u);
  doc.failContents = false;

  doc.failCount = true;
  EXPECT_EQ(Load(), 0u);
  doc.failCount = false;

  doc.paths.clear();
  EXPECT_EQ(Load(), 0u);
  doc.paths = {Square()};

  record.propertyProcs = nullptr;
  EXPECT_EQ(Load(), 0u);
  record.propertyProcs = &properties;
  properties.getPropertyProc = nullptr;
  EXPECT_EQ(Load(), 0u);
  properties.getPropertyProc = GetProperty;

  // Without a way to read the handle it is still given back.
  record.handleProcs = nullptr;
  HandleProcs disposeOnly{};
  disposeOnly.disposeProc = DisposeHandle;
  record.handleProcs = &disposeOnly;
  EXPECT_EQ(Load(), 0u);
  record.handleProcs = &handles;
}

TEST_F(LoadPathsTest, DocumentSizeComesFromTheWholeDocumentAndItsResolution) {
  doc.paths = {Square()};
  BigDocumentStruct big{};
  big.wholeSize32 = {1000, 2000};  // v, h
  record.bigDocumentData = &big;
  ASSERT_EQ(Load(), 4u);
  EXPECT_FLOAT_EQ(curves[0].x[0], 500.0f);
  EXPECT_FLOAT_EQ(curves[0].y[0], 250.0f);

  // 40000 pixels at 72 ppi are too many points; at 144 ppi they fit.
  big.wholeSize32 = {1000, 40000};
  EXPECT_EQ(Load(), 0u);
  record.imageHRes = record.imageVRes = 144 << 16;
  ASSERT_EQ(Load(), 4u);
  EXPECT_FLOAT_EQ(curves[0].x[0], 10000.0f);

  // A host that leaves the 32-bit size empty: the 16-bit one.
  big.wholeSize32 = {0, 0};
  record.imageHRes = record.imageVRes = 72 << 16;
  ASSERT_EQ(Load(), 4u);
  EXPECT_FLOAT_EQ(curves[0].x[0], 100.0f);
}

}  // namespace
}  // namespace rf::host
