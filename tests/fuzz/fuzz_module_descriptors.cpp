// The descriptors the module reads from its host, served by a fake host whose
// read procedures replay the fuzz bytes: keys, types, values (any bit
// pattern) and error answers in any order. Whatever the host answers, the
// module closes what it opened, disposes the scripting descriptor once,
// releases its suites, changes only scripted fields, and leaves no
// non-finite float.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"
#include "host/descriptors.h"
#include "host/interface/host_interface.h"
#include "host/interface/result_codes.h"

namespace {

using rf::fuzz::Check;

using namespace rf::host;
using rf::kNoErr;

struct Replay : rf::fuzz::Bytes {
  // A key the module knows most of the time, any key otherwise.
  uint32_t Key() {
    const uint8_t pick = Byte();
    if (pick < 47 * 5) return rf::kScriptedParameters[pick % 47].key;
    return Take<uint32_t>();
  }
  uint32_t Type() {
    const uint8_t pick = Byte() & 3;
    return pick == 0 ? kTypeInteger : pick == 1 ? kTypeFloat : pick == 2 ? Take<uint32_t>() : 0;
  }
  OSErr Answer() { return (Byte() & 7) == 7 ? OSErr(-1 - (Byte() & 0x7F)) : kNoErr; }
  // Any value, with the answer the host gives for it.
  template <class T>
  OSErr Value(T* v) {
    const OSErr e = Answer();
    *v = Take<T>();
    return e;
  }
};

Replay g_replay;
int g_openReads = 0, g_closedReads = 0, g_disposed = 0, g_suites = 0, g_given = 0, g_freed = 0;
char g_handleTarget = 0;
char* g_handleData = &g_handleTarget;
const Handle kDescriptorHandle = &g_handleData;
int g_token = 0, g_actionDescriptor = 0;

PIReadDescriptor OpenRead(Handle h, DescriptorKeyID*) {
  Check(h == kDescriptorHandle);
  if ((g_replay.Byte() & 15) == 15) return nullptr;
  ++g_openReads;
  return &g_token;
}
OSErr CloseRead(PIReadDescriptor t) {
  Check(t == &g_token);
  ++g_closedReads;
  return g_replay.Answer();
}
Boolean GetKey(PIReadDescriptor t, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
  Check(t == &g_token && g_closedReads < g_openReads);
  if (g_replay.size == 0 || g_replay.Byte() == 0) return 0;
  *key = g_replay.Key();
  *type = g_replay.Type();
  if (flags) *flags = g_replay.Take<int32_t>();
  return 1;
}
template <class T>
OSErr GetValue(PIReadDescriptor t, T* v) {
  Check(t == &g_token);
  return g_replay.Value(v);
}
void Dispose(Handle h) {
  Check(h == kDescriptorHandle);
  ++g_disposed;
}

OSErr RegistryGet(const char*, PIActionDescriptor* d) {
  // An error answer leaves no descriptor, as a host's does.
  const uint8_t pick = g_replay.Byte() & 3;
  *d = pick < 2 ? &g_actionDescriptor : nullptr;
  g_given += pick < 2 ? 1 : 0;
  return pick == 2 ? OSErr(-25) : kNoErr;
}
OSErr AdFree(PIActionDescriptor d) {
  Check(d == &g_actionDescriptor);
  ++g_freed;
  return kNoErr;
}
template <class T>
OSErr AdGetValue(PIActionDescriptor d, DescriptorKeyID, T* v) {
  Check(d == &g_actionDescriptor && g_freed == 0);
  return g_replay.Value(v);
}

ActionDescriptorProcs g_ad{};
DescriptorRegistryProcs g_registry{};

SPErr Acquire(const char* name, int32_t, const void** suite) {
  *suite = nullptr;
  if (g_replay.Byte() == 0xFF) return -1;
  if (std::strcmp(name, kActionDescriptorSuite) == 0) *suite = &g_ad;
  if (std::strcmp(name, kDescriptorRegistrySuite) == 0) *suite = &g_registry;
  if (*suite) ++g_suites;
  return *suite ? kSPNoError : -1;
}
SPErr Release(const char*, int32_t) {
  --g_suites;
  return kSPNoError;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  g_replay = Replay{{data, size}};
  g_openReads = g_closedReads = g_disposed = g_suites = g_given = g_freed = 0;
  g_ad.Free = AdFree;
  g_ad.GetInteger = AdGetValue<int32_t>;
  g_ad.GetFloat = AdGetValue<double>;
  g_registry.Get = RegistryGet;

  rf::ParameterRecord record;
  std::memset(&record, 0x3C, sizeof record);
  rf::ResetToDefaults(record, true);
  rf::ParameterRecord before;
  std::memcpy(&before, &record, sizeof record);

  HandleProcs handles{};
  handles.disposeProc = Dispose;
  ReadDescriptorProcs read{};
  read.openReadDescriptorProc = OpenRead;
  read.closeReadDescriptorProc = CloseRead;
  read.getKeyProc = GetKey;
  read.getIntegerProc = GetValue<int32_t>;
  read.getFloatProc = GetValue<double>;
  PIDescriptorParameters parameters{};
  parameters.playInfo = int16_t(g_replay.Byte() % 3);
  parameters.descriptor = kDescriptorHandle;
  parameters.readDescriptorProcs = &read;
  FilterRecord filter{};
  filter.handleProcs = &handles;
  filter.descriptorParameters = &parameters;
  SPBasicSuite basic{};
  basic.AcquireSuite = Acquire;
  basic.ReleaseSuite = Release;
  HostCall call;
  call.filter = &filter;
  call.basicSuite = &basic;

  // The last-used values first, as the start selector reads them.
  ReadLastUsed(call, record);
  Check(g_suites == 0);
  Check(g_freed == g_given);
  bool showDialog = true;
  Check(ReadScriptingDescriptor(call, record, showDialog));
  Check(g_closedReads == g_openReads && g_openReads <= 1);
  Check(g_disposed == 1 && parameters.descriptor == nullptr);
  Check(showDialog == (parameters.playInfo == kPlugInDialogDisplay));
  const auto* a = reinterpret_cast<const uint8_t*>(&before);
  const auto* b = reinterpret_cast<const uint8_t*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) Check(a[i] == b[i] || rf::fuzz::IsScriptedByte(i));
  rf::fuzz::CheckScriptedFloatsFinite(record);
  return 0;
}
