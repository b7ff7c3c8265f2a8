// The work path through the property suite or procedures: 'nupa' for the
// number of paths, 'wkpa' for the work path's index, 'path' for its records.
#include "host/document_paths.h"

#include "host/suite.h"

namespace rf::host {

namespace {

constexpr OSType kSignature = 0x3842494D;      // '8BIM'
constexpr OSType kNumberOfPaths = 0x6E757061;  // 'nupa'
constexpr OSType kWorkPathIndex = 0x776B7061;  // 'wkpa'
constexpr OSType kPathContents = 0x70617468;   // 'path'

// Hosts differ in how many bytes they write through the simple property:
// the buffer is always a zeroed 8-byte value, read back as 32 bits.
bool SimpleProperty(GetPropertyProc get, OSType key, int32_t& value) {
  intptr_t simple = 0;
  if (get(kSignature, key, 0, &simple, nullptr) != 0) return false;
  value = int32_t(simple);
  return true;
}

struct DocumentSize {
  int64_t width = 0, height = 0;
};

DocumentSize WholeSize(const FilterRecord& fr) {
  if (fr.bigDocumentData) {
    const VPoint& size = fr.bigDocumentData->wholeSize32;
    if (size.h > 0 && size.v > 0) return {size.h, size.v};
  }
  return {fr.wholeSize.h, fr.wholeSize.v};
}

}  // namespace

pattern::PathCurves LoadPaths(const FilterRecord& filter) {
  pattern::PathCurves curves;
  const FilterRecord* fr = &filter;
  // The suite is the current way to the properties; the record's table is
  // what older hosts offer, and some hosts refuse the suite while having it.
  const ScopedSuite<PropertyProcs> suite(fr->sSPBasic, kPropertySuite, kPropertySuiteVersion);
  GetPropertyProc get = suite && suite->getPropertyProc ? suite->getPropertyProc : nullptr;
  if (!get && fr->propertyProcs) get = fr->propertyProcs->getPropertyProc;
  if (!get) return curves;
  const HandleProcs* handles = fr->handleProcs;

  int32_t pathCount = 0;
  if (!SimpleProperty(get, kNumberOfPaths, pathCount) || pathCount <= 0) return curves;

  const DocumentSize size = WholeSize(*fr);
  pattern::Fixed widthPoints = 0, heightPoints = 0;
  if (!pattern::DocumentSizeInPoints(size.width, fr->imageHRes, widthPoints) ||
      !pattern::DocumentSizeInPoints(size.height, fr->imageVRes, heightPoints))
    return curves;

  int32_t index = 0;
  if (!SimpleProperty(get, kWorkPathIndex, index)) index = 0;
  // -1: the document has paths but none of them is the work path.
  if (index < 0) return curves;

  intptr_t simple = 0;
  Handle contents = nullptr;
  if (get(kSignature, kPathContents, index, &simple, &contents) != 0 || !contents) return curves;
  if (handles && handles->getSizeProc && handles->lockProc) {
    const int32_t bytes = handles->getSizeProc(contents);
    const Ptr data = bytes > 0 ? handles->lockProc(contents, 0) : nullptr;
    if (data) {
      pattern::DecodePathRecords(reinterpret_cast<const uint8_t*>(data), size_t(bytes), widthPoints, heightPoints,
                                 fr->imageVRes, curves);
      if (handles->unlockProc) handles->unlockProc(contents);
    }
  }
  if (handles && handles->disposeProc) handles->disposeProc(contents);
  return curves;
}

}  // namespace rf::host
