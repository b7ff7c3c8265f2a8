#include "tools/hostlib/plugin_host.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <type_traits>
#include <set>

#include "host/interface/result_codes.h"
#include "platform/platform.h"
#include "tools/hostlib/area_delivery.h"
#include "tools/hostlib/document_ports.h"
#include "tools/hostlib/last_used.h"
#include "tools/hostlib/pipl.h"

namespace rf::tools {

using namespace rf::host;

namespace {

constexpr OSErr kErrPropertyUndefined = -30901;
constexpr OSErr kParamErr = -50;
constexpr OSErr kNilHandleErr = -109;
constexpr OSErr kErrNoSuchObject = -1728;
constexpr SPErr kSPBadParameterError = 0x5061726D;  // 'Parm'

constexpr int32_t kMaxHandleSize = 1 << 30;

// A handle is the address of the `data` member: the module only passes it
// back; the host finds its record from it.
struct HostHandle {
  char* data = nullptr;
  int32_t size = 0;
  std::vector<char> storage;
};

struct ReadToken {
  HostDescriptor descriptor;
  size_t next = 0;
  const DescriptorValue* current = nullptr;
};

struct WriteToken {
  HostDescriptor descriptor;
};

// An action reference: a layer of the document by ordinal (the target),
// identifier or name, and optionally one of its properties.
struct HostReference {
  enum class Form { None, Target, Identifier, Name } form = Form::None;
  uint32_t identifier = 0;
  std::string name;
  bool property = false;
  DescriptorKeyID key = 0;
};

// A reference-counted Unicode string of the string suite.
struct HostZString {
  std::u16string text;
  int references = 1;
};

PluginHost::Impl* g_current = nullptr;

}  // namespace

struct PluginHost::Impl {
  void* module = nullptr;
  PiPLInfo pipl;
  PluginMainProc entry = nullptr;

  // Kept between runs, like an editor keeps them for the session.
  Handle parameters = nullptr;
  intptr_t dataSlot = 0;

  std::map<Handle, std::unique_ptr<HostHandle>> handles;
  std::set<ReadToken*> readTokens;
  std::set<WriteToken*> writeTokens;
  std::set<HostDescriptor*> actionDescriptors;
  std::set<HostReference*> references;
  std::set<HostZString*> zstrings;

  DescriptorRegistry registry{RegistryFilePath()};
  bool registryLoaded = false;

  // The run in progress.
  HostDocument* doc = nullptr;
  const RunOptions* options = nullptr;
  RunReport* report = nullptr;
  FilterRecord record{};
  BigDocumentStruct big{};
  PlatformData platformData{};
  std::vector<uint8_t> input;   // the document's pixels as they were
  std::vector<uint8_t> output;  // what the module writes
  std::vector<uint8_t> mask;
  std::vector<uint8_t> inArea;    // input delivered as a copy
  std::vector<uint8_t> maskArea;  // mask delivered as a copy
  DocumentPorts ports;
  int outstandingSuites = 0;

  HandleProcs handleProcs{};
  PropertyProcs propertyProcs{};
  PropertyProcs propertySuite{};
  ReadDescriptorProcs readProcs{};
  WriteDescriptorProcs writeProcs{};
  PIDescriptorParameters descriptorParameters{};
  SPBasicSuite basic{};
  ActionDescriptorProcs actionDescriptor{};
  ActionReferenceProcs actionReference{};
  BasicActionControlProcs actionControl{};
  ZStringProcs zstring{};
  DescriptorRegistryProcs registryProcs{};
  ColorSpaceProcs colorSpace{};

  Impl();
  ~Impl();

  Handle NewHandle(int32_t size);
  HostHandle* Find(Handle h) {
    auto it = handles.find(h);
    return it == handles.end() ? nullptr : it->second.get();
  }
  OSErr AdvanceState();
  VRect Requested(const PIRect& small, const VRect& large) const;
};

namespace {

// ---- Handle procedures ------------------------------------------------------

Handle HNew(int32_t size) { return g_current->NewHandle(size); }

void HDispose(Handle h) {
  if (h) g_current->handles.erase(h);
}

int32_t HGetSize(Handle h) {
  HostHandle* hh = g_current->Find(h);
  return hh ? hh->size : 0;
}

OSErr HSetSize(Handle h, int32_t size) {
  HostHandle* hh = g_current->Find(h);
  if (!hh) return kNilHandleErr;
  if (size < 0 || size > kMaxHandleSize) return kMemFullErr;
  try {
    hh->storage.resize(size_t(size) + 1);
  } catch (const std::bad_alloc&) {
    return kMemFullErr;
  }
  hh->size = size;
  hh->data = hh->storage.data();
  return kNoErr;
}

Ptr HLock(Handle h, Boolean) {
  HostHandle* hh = g_current->Find(h);
  return hh ? hh->data : nullptr;
}

void HUnlock(Handle) {}
void HRecoverSpace(int32_t) {}

// ---- Direct callbacks -------------------------------------------------------

Boolean TestAbort() {
  RunReport* report = g_current->report;
  ++report->abortPolls;
  const int64_t after = g_current->options->abortAfterPolls;
  return after >= 0 && report->abortPolls > after ? 1 : 0;
}

void Progress(int32_t done, int32_t total) {
  g_current->report->lastProgressDone = done;
  g_current->report->lastProgressTotal = total;
  if (g_current->options->onProgress) g_current->options->onProgress(done, total);
}

OSErr AdvanceState() { return g_current->AdvanceState(); }

// The document's paths, as an editor answers the property suite.
OSErr GetProperty(OSType signature, OSType key, int32_t index, intptr_t* simple, Handle* complex) {
  if (complex) *complex = nullptr;
  if (signature != FourCC("8BIM") || !g_current->doc) return kErrPropertyUndefined;
  const HostDocument& doc = *g_current->doc;
  if (key == FourCC("nupa")) {
    if (simple) *simple = intptr_t(doc.paths.size());
    return kNoErr;
  }
  if (key == FourCC("wkpa")) {
    if (simple) *simple = doc.workPathIndex;
    return kNoErr;
  }
  if (key == FourCC("clpa") || key == FourCC("tgpa")) {
    if (simple) *simple = -1;
    return kNoErr;
  }
  if (key == FourCC("path")) {
    if (index < 0 || size_t(index) >= doc.paths.size() || !complex) return kParamErr;
    const std::vector<uint8_t>& bytes = doc.paths[size_t(index)];
    Handle h = g_current->NewHandle(int32_t(bytes.size()));
    if (!h) return kMemFullErr;
    if (!bytes.empty()) std::memcpy(*h, bytes.data(), bytes.size());
    *complex = h;
    return kNoErr;
  }
  return kErrPropertyUndefined;
}

// ---- Descriptor procedures ----------------------------------------------------

PIReadDescriptor OpenRead(Handle descriptor, DescriptorKeyID*) {
  HostHandle* hh = g_current->Find(descriptor);
  if (!hh) return nullptr;
  auto token = std::make_unique<ReadToken>();
  if (!HostDescriptor::Deserialise(reinterpret_cast<const uint8_t*>(hh->data), size_t(hh->size), token->descriptor))
    return nullptr;
  ReadToken* raw = token.release();
  g_current->readTokens.insert(raw);
  return raw;
}

OSErr CloseRead(PIReadDescriptor token) {
  auto* t = static_cast<ReadToken*>(token);
  if (!g_current->readTokens.erase(t)) return kParamErr;
  delete t;
  return kNoErr;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
  auto* t = static_cast<ReadToken*>(token);
  if (!g_current->readTokens.count(t) || t->next >= t->descriptor.values.size()) return 0;
  t->current = &t->descriptor.values[t->next++];
  if (key) *key = t->current->key;
  if (type) *type = t->current->type;
  if (flags) *flags = 0;
  return 1;
}

OSErr GetIntegerValue(PIReadDescriptor token, int32_t* value) {
  auto* t = static_cast<ReadToken*>(token);
  if (!g_current->readTokens.count(t) || !t->current || !value) return kParamErr;
  if (t->current->type != kTypeInteger) return kParamErr;
  *value = t->current->integer;
  return kNoErr;
}

OSErr GetFloatValue(PIReadDescriptor token, double* value) {
  auto* t = static_cast<ReadToken*>(token);
  if (!g_current->readTokens.count(t) || !t->current || !value) return kParamErr;
  *value = t->current->type == kTypeFloat ? t->current->real : double(t->current->integer);
  return kNoErr;
}

PIWriteDescriptor OpenWrite() {
  auto* t = new WriteToken;
  g_current->writeTokens.insert(t);
  return t;
}

OSErr CloseWrite(PIWriteDescriptor token, Handle* out) {
  auto* t = static_cast<WriteToken*>(token);
  if (!g_current->writeTokens.erase(t)) return kParamErr;
  std::unique_ptr<WriteToken> owner(t);
  const std::vector<uint8_t> bytes = t->descriptor.Serialise();
  Handle h = g_current->NewHandle(int32_t(bytes.size()));
  if (!h) return kMemFullErr;
  std::memcpy(*h, bytes.data(), bytes.size());
  if (out) *out = h;
  return kNoErr;
}

OSErr PutIntegerValue(PIWriteDescriptor token, DescriptorKeyID key, int32_t value) {
  auto* t = static_cast<WriteToken*>(token);
  if (!g_current->writeTokens.count(t)) return kParamErr;
  t->descriptor.PutInteger(key, value);
  return kNoErr;
}

OSErr PutFloatValue(PIWriteDescriptor token, DescriptorKeyID key, const double* value) {
  auto* t = static_cast<WriteToken*>(token);
  if (!g_current->writeTokens.count(t) || !value) return kParamErr;
  t->descriptor.PutFloat(key, *value);
  return kNoErr;
}

// ---- Objects handed to the module by pointer ------------------------------------
// The host answers only for pointers it made, so that a stale or forged one
// is refused rather than followed.

template <class T>
T* Known(const std::set<T*>& made, void* p) {
  auto* t = static_cast<T*>(p);
  return made.count(t) ? t : nullptr;
}

template <class T>
OSErr MakeIn(std::set<T*>& made, void** out) {
  if (!out) return kParamErr;
  auto* t = new T;
  made.insert(t);
  *out = t;
  return kNoErr;
}

template <class T>
OSErr FreeIn(std::set<T*>& made, void* p) {
  T* t = Known(made, p);
  if (!t) return kParamErr;
  made.erase(t);
  delete t;
  return kNoErr;
}

// ---- Action descriptor suite ----------------------------------------------------

HostDescriptor* AsDescriptor(PIActionDescriptor d) { return Known(g_current->actionDescriptors, d); }
OSErr AdMake(PIActionDescriptor* out) { return MakeIn(g_current->actionDescriptors, out); }
OSErr AdFree(PIActionDescriptor d) { return FreeIn(g_current->actionDescriptors, d); }

OSErr AdHasKey(PIActionDescriptor d, DescriptorKeyID key, Boolean* has) {
  HostDescriptor* p = AsDescriptor(d);
  if (!p || !has) return kParamErr;
  *has = p->Find(key) ? 1 : 0;
  return kNoErr;
}

OSErr AdGetType(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type) {
  HostDescriptor* p = AsDescriptor(d);
  const DescriptorValue* v = p ? p->Find(key) : nullptr;
  if (!v || !type) return kParamErr;
  *type = v->type;
  return kNoErr;
}

OSErr AdPutInteger(PIActionDescriptor d, DescriptorKeyID key, int32_t value) {
  HostDescriptor* p = AsDescriptor(d);
  if (!p) return kParamErr;
  p->PutInteger(key, value);
  return kNoErr;
}

OSErr AdPutFloat(PIActionDescriptor d, DescriptorKeyID key, double value) {
  HostDescriptor* p = AsDescriptor(d);
  if (!p) return kParamErr;
  p->PutFloat(key, value);
  return kNoErr;
}

OSErr AdGetInteger(PIActionDescriptor d, DescriptorKeyID key, int32_t* value) {
  HostDescriptor* p = AsDescriptor(d);
  const DescriptorValue* v = p ? p->Find(key) : nullptr;
  if (!v || !value || v->type != kTypeInteger) return kParamErr;
  *value = v->integer;
  return kNoErr;
}

OSErr AdGetFloat(PIActionDescriptor d, DescriptorKeyID key, double* value) {
  HostDescriptor* p = AsDescriptor(d);
  const DescriptorValue* v = p ? p->Find(key) : nullptr;
  if (!v || !value) return kParamErr;
  *value = v->type == kTypeFloat ? v->real : double(v->integer);
  return kNoErr;
}

OSErr AdGetBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean* value) {
  HostDescriptor* p = AsDescriptor(d);
  const DescriptorValue* v = p ? p->Find(key) : nullptr;
  if (!v || !value || v->type != kTypeBoolean) return kParamErr;
  *value = v->integer ? 1 : 0;
  return kNoErr;
}

const DescriptorValue* FindText(PIActionDescriptor d, DescriptorKeyID key) {
  HostDescriptor* p = AsDescriptor(d);
  const DescriptorValue* v = p ? p->Find(key) : nullptr;
  return v && v->type == kTypeText ? v : nullptr;
}

// Lengths and strings in bytes of UTF-8; the length leaves the terminator
// out, and `maxLength` counts it.
OSErr AdGetStringLength(PIActionDescriptor d, DescriptorKeyID key, uint32_t* length) {
  const DescriptorValue* v = FindText(d, key);
  if (!v || !length) return kParamErr;
  *length = uint32_t(v->text.size());
  return kNoErr;
}

OSErr AdGetString(PIActionDescriptor d, DescriptorKeyID key, char* text, uint32_t maxLength) {
  const DescriptorValue* v = FindText(d, key);
  if (!v || !text || maxLength == 0) return kParamErr;
  const size_t n = std::min<size_t>(v->text.size(), maxLength - 1);
  std::memcpy(text, v->text.data(), n);
  text[n] = 0;
  return kNoErr;
}

OSErr AdGetZString(PIActionDescriptor d, DescriptorKeyID key, ASZString* text) {
  const DescriptorValue* v = FindText(d, key);
  if (!v || !text) return kParamErr;
  auto* z = new HostZString{Utf16FromUtf8(v->text), 1};
  g_current->zstrings.insert(z);
  *text = z;
  return kNoErr;
}

// ---- Unicode string suite ---------------------------------------------------------

HostZString* AsZString(ASZString z) { return Known(g_current->zstrings, z); }

int32_t ZsAddRef(ASZString z) {
  HostZString* p = AsZString(z);
  if (!p) return kSPBadParameterError;
  ++p->references;
  return 0;
}

int32_t ZsRelease(ASZString z) {
  HostZString* p = AsZString(z);
  if (!p) return kSPBadParameterError;
  if (--p->references == 0) {
    g_current->zstrings.erase(p);
    delete p;
  }
  return 0;
}

// In 16-bit units, without the terminator.
uint32_t ZsLength(ASZString z) {
  HostZString* p = AsZString(z);
  return p ? uint32_t(p->text.size()) : 0;
}

int32_t ZsAsUnicode(ASZString z, uint16_t* buffer, uint32_t units, int32_t checkSize) {
  HostZString* p = AsZString(z);
  if (!p || !buffer || units == 0) return kSPBadParameterError;
  if (checkSize && units < p->text.size() + 1) return kSPBadParameterError;
  const size_t n = std::min<size_t>(p->text.size(), units - 1);
  for (size_t i = 0; i < n; ++i) buffer[i] = uint16_t(p->text[i]);
  buffer[n] = 0;
  return 0;
}

// ---- Action reference and basic action control suites -----------------------------

HostReference* AsReference(PIActionReference r) { return Known(g_current->references, r); }
OSErr RefMake(PIActionReference* out) { return MakeIn(g_current->references, out); }
OSErr RefFree(PIActionReference r) { return FreeIn(g_current->references, r); }

OSErr RefPutEnumerated(PIActionReference r, DescriptorTypeID cls, DescriptorTypeID type, DescriptorTypeID value) {
  HostReference* p = AsReference(r);
  if (!p || cls != kClassLayer || type != kTypeOrdinal || value != kEnumTarget) return kParamErr;
  p->form = HostReference::Form::Target;
  return kNoErr;
}

OSErr RefPutIdentifier(PIActionReference r, DescriptorTypeID cls, uint32_t id) {
  HostReference* p = AsReference(r);
  if (!p || cls != kClassLayer) return kParamErr;
  p->form = HostReference::Form::Identifier;
  p->identifier = id;
  return kNoErr;
}

OSErr RefPutName(PIActionReference r, DescriptorTypeID cls, const char* name) {
  HostReference* p = AsReference(r);
  if (!p || cls != kClassLayer || !name) return kParamErr;
  p->form = HostReference::Form::Name;
  p->name = name;
  return kNoErr;
}

OSErr RefPutProperty(PIActionReference r, DescriptorTypeID cls, DescriptorKeyID key) {
  HostReference* p = AsReference(r);
  if (!p || cls != kClassProperty) return kParamErr;
  p->property = true;
  p->key = key;
  return kNoErr;
}

OSErr RefGetForm(PIActionReference r, DescriptorTypeID* form) {
  HostReference* p = AsReference(r);
  if (!p || !form) return kParamErr;
  *form = p->property ? kFormProperty : p->form == HostReference::Form::Target ? kFormEnumerated : kFormIdentifier;
  return kNoErr;
}

// The document's layers as the action suites see them: a flat document is
// one layer.
size_t LayerCount(const HostDocument& doc) { return doc.layers.empty() ? 1 : doc.layers.size(); }
size_t TargetIndex(const HostDocument& doc) {
  return doc.layers.empty() || doc.targetLayer < 0 ? 0 : size_t(doc.targetLayer);
}
std::string LayerName(const HostDocument& doc, size_t i) {
  return doc.layers.empty() ? std::string(kFlatLayerName) : doc.layers[i].name;
}

OSErr ControlGet(PIActionDescriptor* result, PIActionReference r) {
  HostReference* p = AsReference(r);
  if (!p || !result) return kParamErr;
  *result = nullptr;
  const HostDocument& doc = *g_current->doc;
  int64_t index = -1;
  if (p->form == HostReference::Form::Target) {
    index = int64_t(TargetIndex(doc));
  } else if (p->form == HostReference::Form::Identifier) {
    // Identifiers are the layers' places, shifted (SheetID).
    if (p->identifier >= SheetID(0) && p->identifier - SheetID(0) < LayerCount(doc))
      index = int64_t(p->identifier - SheetID(0));
  } else if (p->form == HostReference::Form::Name) {
    for (size_t i = 0; i < LayerCount(doc) && index < 0; ++i)
      if (LayerName(doc, i) == p->name) index = int64_t(i);
  }
  if (index < 0) return kErrNoSuchObject;
  const size_t i = size_t(index);
  std::string name = LayerName(doc, i);
  if (i == TargetIndex(doc) && !g_current->options->targetNameAnswer.empty())
    name = g_current->options->targetNameAnswer;
  auto* d = new HostDescriptor;
  g_current->actionDescriptors.insert(d);
  auto wanted = [&](DescriptorKeyID key) { return !p->property || p->key == key; };
  if (wanted(kKeyName)) d->PutText(kKeyName, name);
  if (wanted(kKeyVisible)) d->PutBoolean(kKeyVisible, doc.layers.empty() || doc.layers[i].visible);
  if (wanted(kKeyLayerID)) d->PutInteger(kKeyLayerID, int32_t(SheetID(i)));
  *result = d;
  return kNoErr;
}

// ---- Colour services ----------------------------------------------------------------

OSErr ColourServices(ColorServicesInfo* info) {
  if (!info || info->infoSize < int32_t(sizeof(ColorServicesInfo))) return kParamErr;
  if (info->reservedSourceSpaceInfo || info->reservedResultSpaceInfo || info->reserved) return kParamErr;
  if (info->selector != kColorServicesChooseColor) return kParamErr;
  const unsigned char* prompt = info->selectorParameter.pickerPrompt;
  g_current->report->pickerPrompt = prompt ? std::string(reinterpret_cast<const char*>(prompt + 1), prompt[0]) : "";
  const RunOptions& options = *g_current->options;
  if (options.pickerCancels) return kUserCanceledErr;
  if (info->resultSpace != kColorSpaceRGB && info->resultSpace != -1) return kParamErr;
  info->resultSpace = kColorSpaceRGB;
  for (int c = 0; c < 3; ++c) info->colorComponents[c] = options.pickedColour[c];
  info->colorComponents[3] = 0;
  return kNoErr;
}

// ---- Descriptor registry suite ----------------------------------------------------

OSErr RegRegister(const char* key, PIActionDescriptor d, Boolean persistent) {
  HostDescriptor* p = AsDescriptor(d);
  if (!key || !p) return kParamErr;
  g_current->registry.Register(key, *p, persistent != 0);
  if (persistent) g_current->registry.Save();
  return kNoErr;
}

OSErr RegErase(const char* key) {
  if (!key) return kParamErr;
  g_current->registry.Erase(key);
  g_current->registry.Save();
  return kNoErr;
}

OSErr RegGet(const char* key, PIActionDescriptor* out) {
  if (!key || !out) return kParamErr;
  *out = nullptr;
  const HostDescriptor* found = g_current->registry.Get(key);
  if (!found) return kNoErr;
  auto* copy = new HostDescriptor(*found);
  g_current->actionDescriptors.insert(copy);
  *out = copy;
  return kNoErr;
}

// ---- Colour space suite ---------------------------------------------------------

// A plain device conversion: enough for a host without colour management.
// CMYK components count ink (0 = none), as the documents of this host do.
SPErr CsConvert8(int16_t from, int16_t to, Color8* colors, int16_t count) {
  if (!colors || count < 0) return kParamErr;
  for (int i = 0; i < count; ++i) {
    uint8_t* c = colors[i];
    if (from == kColorSpaceRGB && to == kColorSpaceCMYK) {
      const int r = c[1], g = c[2], b = c[3];
      const int k = 255 - std::max({r, g, b});
      if (k == 255) {
        c[0] = c[1] = c[2] = 0;
        c[3] = 255;
        continue;
      }
      const int range = 255 - k;
      c[0] = uint8_t(((range - r) * 255 + range / 2) / range);
      c[1] = uint8_t(((range - g) * 255 + range / 2) / range);
      c[2] = uint8_t(((range - b) * 255 + range / 2) / range);
      c[3] = uint8_t(k);
    } else if (from == kColorSpaceCMYK && to == kColorSpaceRGB) {
      const int k = c[3];
      const int r = ((255 - c[0]) * (255 - k) + 127) / 255;
      const int g = ((255 - c[1]) * (255 - k) + 127) / 255;
      const int b = ((255 - c[2]) * (255 - k) + 127) / 255;
      c[0] = 0;
      c[1] = uint8_t(r);
      c[2] = uint8_t(g);
      c[3] = uint8_t(b);
    } else if (from != to) {
      return kParamErr;
    }
  }
  return kSPNoError;
}

// ---- Basic suite --------------------------------------------------------------

SPErr Acquire(const char* name, int32_t version, const void** suite) {
  if (!name || !suite) return kSPSuiteNotFoundError;
  *suite = nullptr;
  PluginHost::Impl* h = g_current;
  if (!h->options->offerSuites) return kSPSuiteNotFoundError;
  const RunOptions& o = *h->options;
  const std::string n = name;
  if (n == kActionDescriptorSuite && (version == 2 || (version == 3 && o.descriptorSuiteVersion3)))
    *suite = &h->actionDescriptor;
  else if (n == kActionReferenceSuite && version == 2 && o.layerQueries) *suite = &h->actionReference;
  else if (n == kBasicActionControlSuite && (version == 1 || version == 2) && o.layerQueries)
    *suite = &h->actionControl;
  else if (n == kZStringSuite && version == 1 && o.unicodeStrings) *suite = &h->zstring;
  else if (n == kDescriptorRegistrySuite && version == 1) *suite = &h->registryProcs;
  else if (n == kColorSpaceSuite && version == 1) *suite = &h->colorSpace;
  else if (n == kChannelPortsSuite && version == 2 && o.channelPortsSuite) *suite = h->ports.Suite();
  else if (n == kPropertySuite && version == 1 && o.propertySuite) *suite = &h->propertySuite;
  if (!*suite) return kSPSuiteNotFoundError;
  ++h->outstandingSuites;
  return kSPNoError;
}

SPErr Release(const char*, int32_t) {
  --g_current->outstandingSuites;
  return kSPNoError;
}

SPBoolean IsEqual(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

SPErr AllocateBlock(size_t size, void** block) {
  if (!block) return kParamErr;
  *block = std::malloc(size ? size : 1);
  return *block ? kSPNoError : kMemFullErr;
}

SPErr FreeBlock(void* block) {
  std::free(block);
  return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t size, void** out) {
  if (!out) return kParamErr;
  void* p = std::realloc(block, size ? size : 1);
  if (!p) return kMemFullErr;
  *out = p;
  return kSPNoError;
}

SPErr Undefined() { return kSPNoError; }

// The procedures run between the module's frames, which no exception may
// cross: those that allocate answer out of memory (or no object) instead.
template <class R>
R OutOfMemory() {
  if constexpr (std::is_pointer_v<R>) return nullptr;
  else return R(kMemFullErr);
}
template <auto Procedure>
struct NoThrow;
template <class R, class... A, R (*Procedure)(A...)>
struct NoThrow<Procedure> {
  static R Call(A... a) {
    try {
      return Procedure(a...);
    } catch (const std::bad_alloc&) {
      return OutOfMemory<R>();
    }
  }
};

}  // namespace

PluginHost::Impl::Impl() {
  handleProcs = HandleProcs{1, 8, HNew, HDispose, HGetSize, HSetSize, HLock, HUnlock, HRecoverSpace, HDispose};
  propertyProcs.propertyProcsVersion = 1;
  propertyProcs.numPropertyProcs = 2;
  propertyProcs.getPropertyProc = NoThrow<GetProperty>::Call;
  propertySuite = propertyProcs;
  readProcs.readDescriptorProcsVersion = 0;
  readProcs.numReadDescriptorProcs = 18;
  readProcs.openReadDescriptorProc = NoThrow<OpenRead>::Call;
  readProcs.closeReadDescriptorProc = CloseRead;
  readProcs.getKeyProc = GetKey;
  readProcs.getIntegerProc = GetIntegerValue;
  readProcs.getFloatProc = GetFloatValue;
  writeProcs.writeDescriptorProcsVersion = 0;
  writeProcs.numWriteDescriptorProcs = 16;
  writeProcs.openWriteDescriptorProc = NoThrow<OpenWrite>::Call;
  writeProcs.closeWriteDescriptorProc = NoThrow<CloseWrite>::Call;
  writeProcs.putIntegerProc = NoThrow<PutIntegerValue>::Call;
  writeProcs.putFloatProc = NoThrow<PutFloatValue>::Call;
  basic = SPBasicSuite{Acquire, Release, IsEqual, AllocateBlock, FreeBlock, ReallocateBlock, Undefined};
  actionDescriptor.Make = NoThrow<AdMake>::Call;
  actionDescriptor.Free = AdFree;
  actionDescriptor.GetType = AdGetType;
  actionDescriptor.HasKey = AdHasKey;
  actionDescriptor.PutInteger = NoThrow<AdPutInteger>::Call;
  actionDescriptor.PutFloat = NoThrow<AdPutFloat>::Call;
  actionDescriptor.GetInteger = AdGetInteger;
  actionDescriptor.GetFloat = AdGetFloat;
  actionDescriptor.GetBoolean = AdGetBoolean;
  actionDescriptor.GetStringLength = AdGetStringLength;
  actionDescriptor.GetString = AdGetString;
  actionDescriptor.GetZString = NoThrow<AdGetZString>::Call;
  actionReference.Make = NoThrow<RefMake>::Call;
  actionReference.Free = RefFree;
  actionReference.GetForm = RefGetForm;
  actionReference.PutName = NoThrow<RefPutName>::Call;
  actionReference.PutIdentifier = NoThrow<RefPutIdentifier>::Call;
  actionReference.PutEnumerated = NoThrow<RefPutEnumerated>::Call;
  actionReference.PutProperty = NoThrow<RefPutProperty>::Call;
  actionControl.Get = NoThrow<ControlGet>::Call;
  zstring.AddRef = ZsAddRef;
  zstring.Release = ZsRelease;
  zstring.LengthAsUnicodeCString = ZsLength;
  zstring.AsUnicodeCString = ZsAsUnicode;
  registryProcs = DescriptorRegistryProcs{NoThrow<RegRegister>::Call, NoThrow<RegErase>::Call, NoThrow<RegGet>::Call};
  colorSpace.Convert8 = CsConvert8;
}

PluginHost::Impl::~Impl() {
  for (ReadToken* t : readTokens) delete t;
  for (WriteToken* t : writeTokens) delete t;
  for (HostDescriptor* d : actionDescriptors) delete d;
  for (HostReference* r : references) delete r;
  for (HostZString* z : zstrings) delete z;
}

Handle PluginHost::Impl::NewHandle(int32_t size) {
  if (size < 0 || size > kMaxHandleSize) return nullptr;
  try {
    auto h = std::make_unique<HostHandle>();
    h->storage.assign(size_t(size) + 1, 0);
    h->size = size;
    h->data = h->storage.data();
    Handle key = &h->data;
    handles[key] = std::move(h);
    return key;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

VRect PluginHost::Impl::Requested(const PIRect& small, const VRect& large) const {
  if (record.bigDocumentData && big.PluginUsing32BitCoordinates) return large;
  return VRect{small.top, small.left, small.bottom, small.right};
}

// Delivers the requested rectangles. Where the module can read the image as
// it is (rate 1, every plane, inside the image) the data point straight into
// the host's full-size buffers with their full row bytes, as an editor that
// holds the image in memory does; anything else is delivered as a copy.
OSErr PluginHost::Impl::AdvanceState() {
  const VRect in = Requested(record.inRect, big.inRect32);
  const VRect out = Requested(record.outRect, big.outRect32);
  const VRect maskRect = Requested(record.maskRect, big.maskRect32);
  auto inside = [&](const VRect& r) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= doc->height && r.right <= doc->width && r.top < r.bottom &&
           r.left < r.right;
  };
  auto empty = [](const VRect& r) { return r.top >= r.bottom || r.left >= r.right; };
  const size_t rowBytes = doc->RowBytes();
  const size_t sample = doc->BytesPerSample();
  const int16_t lastPlane = int16_t(doc->planes - 1);

  record.inData = nullptr;
  record.inRowBytes = 0;
  if (!empty(in)) {
    const AreaRequest request{in, WholeRate(record.inputRate), record.inLoPlane, record.inHiPlane,
                              record.inputPadding, options->paddedRows};
    if (request.rate == 1 && request.loPlane == 0 && request.hiPlane == lastPlane && inside(in) &&
        !options->paddedRows) {
      record.inData = input.data() + size_t(in.top) * rowBytes + size_t(in.left) * doc->planes * sample;
      record.inRowBytes = int32_t(rowBytes);
    } else {
      const HeldImage image{input.data(), doc->width, doc->height, doc->planes, sample};
      if (const int16_t err = DeliverArea(image, request, inArea, record.inRowBytes)) return err;
      record.inData = inArea.data();
    }
    record.inColumnBytes = int32_t((request.hiPlane - request.loPlane + 1) * sample);
    record.inPlaneBytes = int32_t(sample);
  }

  // The output is written in place: inside the image, every plane.
  record.outData = nullptr;
  record.outRowBytes = 0;
  if (!empty(out)) {
    if (!inside(out) || record.outLoPlane != 0 || record.outHiPlane != lastPlane) return kParamErr;
    record.outData = output.data() + size_t(out.top) * rowBytes + size_t(out.left) * doc->planes * sample;
    record.outRowBytes = int32_t(rowBytes);
    record.outColumnBytes = int32_t(doc->planes * sample);
    record.outPlaneBytes = int32_t(sample);
  }

  record.maskData = nullptr;
  record.maskRowBytes = 0;
  if (!mask.empty() && !empty(maskRect)) {
    const AreaRequest request{maskRect, WholeRate(record.maskRate), 0, 0, record.maskPadding, options->paddedRows};
    if (request.rate == 1 && inside(maskRect) && !options->paddedRows) {
      record.maskData = mask.data() + size_t(maskRect.top) * size_t(doc->width) + size_t(maskRect.left);
      record.maskRowBytes = doc->width;
    } else {
      const HeldImage selection{mask.data(), doc->width, doc->height, 1, 1};
      if (const int16_t err = DeliverArea(selection, request, maskArea, record.maskRowBytes)) return err;
      record.maskData = maskArea.data();
    }
  }
  return kNoErr;
}

PluginHost::PluginHost() : impl_(std::make_unique<Impl>()) {}

PluginHost::~PluginHost() {
  if (impl_->module) platform::UnloadModule(impl_->module);
}

bool PluginHost::Load(const std::string& modulePath, std::string& error) {
  if (impl_->module) {
    error = "a module is already loaded";
    return false;
  }
  if (!platform::FileExists(modulePath)) {
    error = "no filter module at '" + modulePath + "'";
    return false;
  }
  PiPLInfo pipl;
  if (!ReadModulePiPL(modulePath, pipl, error)) {
    error = "'" + modulePath + "' is not a filter module: " + error;
    return false;
  }
  const std::string why = CheckFilterPiPL(pipl, kModeRGBColor, 0);
  if (!why.empty() && pipl.entryPoint.empty()) {
    error = "'" + modulePath + "': " + why;
    return false;
  }
  void* module = platform::LoadModule(modulePath, error);
  if (!module) return false;
  auto entry = reinterpret_cast<PluginMainProc>(platform::FindModuleSymbol(module, pipl.entryPoint.c_str()));
  if (!entry) {
    error = "'" + modulePath + "' has no entry point " + pipl.entryPoint;
    platform::UnloadModule(module);
    return false;
  }
  impl_->module = module;
  impl_->entry = entry;
  impl_->pipl = pipl;
  modulePath_ = modulePath;
  return true;
}

bool PluginHost::Loaded() const { return impl_->entry != nullptr; }

void PluginHost::UseRegistryFile(const std::string& path) {
  impl_->registry = DescriptorRegistry(path);
  impl_->registryLoaded = false;
}

DescriptorRegistry& PluginHost::registry() {
  if (!impl_->registryLoaded) {
    impl_->registry.Load();
    impl_->registryLoaded = true;
  }
  return impl_->registry;
}

const ParameterRecord* PluginHost::ParametersForInspection() const {
  if (!impl_->parameters) return nullptr;
  return reinterpret_cast<const ParameterRecord*>(*impl_->parameters);
}

size_t PluginHost::LiveHandleCount() const { return impl_->handles.size(); }
int PluginHost::OutstandingSuites() const { return impl_->outstandingSuites; }

int16_t PluginHost::About() {
  if (!impl_->entry) return kParamErr;
  g_current = impl_.get();
  RunOptions options;
  RunReport report;
  impl_->options = &options;
  impl_->report = &report;
  AboutRecord about{};
  PlatformData platform{};
  about.platformData = &platform;
  about.sSPBasic = &impl_->basic;
  int16_t result = 0;
  impl_->entry(kSelectorAbout, &about, &impl_->dataSlot, &result);
  g_current = nullptr;
  return result;
}

RunReport PluginHost::Run(HostDocument& doc, const RunOptions& options) { return Session(doc, options, nullptr); }

RunReport PluginHost::Serve(HostDocument& doc, const RunOptions& options,
                            const std::function<void(host::FilterRecord&)>& visit) {
  return Session(doc, options, &visit);
}

RunReport PluginHost::Session(HostDocument& doc, const RunOptions& options,
                              const std::function<void(host::FilterRecord&)>* visit) {
  RunReport report;
  Impl& h = *impl_;
  if (!h.entry && !visit) {
    report.result = kParamErr;
    return report;
  }
  if (options.checkPiPL && !visit) {
    const int16_t filterCase = int16_t((doc.hasTransparency ? 4 : 1) + (doc.selection.empty() ? 0 : 1));
    report.refusal = CheckFilterPiPL(h.pipl, doc.mode, filterCase);
    if (!report.refusal.empty()) {
      report.result = host::kModeRGBColor == doc.mode ? kParamErr : int16_t(-30101);  // filterBadMode
      return report;
    }
  }
  registry();  // load the registry before the module asks for it
  g_current = &h;
  h.doc = &doc;
  h.options = &options;
  h.report = &report;
  h.outstandingSuites = 0;
  try {
    h.output = doc.pixels;
    h.mask = doc.selection;
  } catch (const std::bad_alloc&) {
    // No room for the copies the run works on: out of memory, as an editor
    // answers it, before the module is called.
    h.input = h.output = h.mask = std::vector<uint8_t>();
    h.doc = nullptr;
    g_current = nullptr;
    report.result = kMemFullErr;
    return report;
  }
  // The document's own pixels are the run's input, lent for the run: one
  // copy of the image fewer at the peak. Every way out gives them back.
  h.input.swap(doc.pixels);
  struct GiveBack {
    std::vector<uint8_t>& pixels;
    std::vector<uint8_t>& lent;
    void operator()() {
      if (pixels.empty()) pixels.swap(lent);
    }
    ~GiveBack() { (*this)(); }
  } giveBack{doc.pixels, h.input};

  // The filter area is the selection's bounding box, or the whole image.
  VRect filter{0, 0, doc.height, doc.width};
  if (!doc.selection.empty()) {
    int32_t top = doc.height, left = doc.width, bottom = 0, right = 0;
    for (int32_t y = 0; y < doc.height; ++y)
      for (int32_t x = 0; x < doc.width; ++x)
        if (doc.selection[size_t(y) * doc.width + x]) {
          top = std::min(top, y), bottom = std::max(bottom, y + 1);
          left = std::min(left, x), right = std::max(right, x + 1);
        }
    if (top >= bottom) {
      report.result = kNoErr;  // an empty selection leaves nothing to filter
      h.output = h.mask = std::vector<uint8_t>();
      h.doc = nullptr;
      g_current = nullptr;
      return report;
    }
    filter = VRect{top, left, bottom, right};
  }

  FilterRecord& fr = h.record;
  fr = FilterRecord{};
  h.big = BigDocumentStruct{};
  auto narrow = [](int32_t v) { return int16_t(std::min<int32_t>(v, 32767)); };
  fr.abortProc = TestAbort;
  fr.progressProc = Progress;
  fr.parameters = h.parameters;
  fr.imageSize = PIPoint{narrow(doc.height), narrow(doc.width)};
  fr.planes = doc.planes;
  fr.filterRect = PIRect{narrow(filter.top), narrow(filter.left), narrow(filter.bottom), narrow(filter.right)};
  fr.maxSpace = 1 << 30;
  fr.haveMask = doc.selection.empty() ? 0 : 1;
  fr.autoMask = 1;
  fr.hostSig = FourCC("RmFH");
  fr.imageMode = doc.mode;
  fr.imageHRes = fr.imageVRes = Fixed(std::clamp(doc.resolution, 1.0, 30000.0) * 65536.0);
  fr.wholeSize = fr.imageSize;
  fr.platformData = &h.platformData;
  fr.handleProcs = &h.handleProcs;
  fr.advanceState = NoThrow<AdvanceState>::Call;
  fr.getPropertyObsolete = options.propertyProcs ? NoThrow<GetProperty>::Call : nullptr;
  fr.supportsPadding = 1;
  fr.inputPadding = fr.outputPadding = fr.maskPadding = kWantsErrorOnBoundsException;
  fr.samplingSupport = kHostSupportsIntegralSampling;
  fr.inputRate = fr.maskRate = 0x10000;
  fr.colorServices = options.colourServices ? NoThrow<ColourServices>::Call : nullptr;
  fr.propertyProcs = options.propertyProcs ? &h.propertyProcs : nullptr;
  h.ports.Describe(doc, h.input, PortOptions{options.layerList, options.unreadableLayer});
  fr.documentInfo = h.ports.Description();
  fr.channelPortProcs = h.ports.RecordProcs();
  fr.descriptorParameters = &h.descriptorParameters;
  fr.sSPBasic = &h.basic;
  fr.depth = doc.depth;
  fr.filterCase = int16_t((doc.hasTransparency ? 4 : 1) + (doc.selection.empty() ? 0 : 1));
  if (options.bigDocument) {
    h.big.imageSize32 = VPoint{doc.height, doc.width};
    h.big.filterRect32 = filter;
    h.big.wholeSize32 = h.big.imageSize32;
    fr.bigDocumentData = &h.big;
  }
  h.descriptorParameters = PIDescriptorParameters{};
  h.descriptorParameters.playInfo = options.playInfo;
  h.descriptorParameters.readDescriptorProcs = &h.readProcs;
  h.descriptorParameters.writeDescriptorProcs = &h.writeProcs;
  if (options.script) {
    const std::vector<uint8_t> bytes = options.script->Serialise();
    Handle d = h.NewHandle(int32_t(bytes.size()));
    if (d) std::memcpy(*d, bytes.data(), bytes.size());
    h.descriptorParameters.descriptor = d;
  }

  int16_t result = 0;
  auto call = [&](int16_t selector) {
    result = 0;
    h.entry(selector, &fr, &h.dataSlot, &result);
    h.parameters = fr.parameters;
    return result == 0;
  };
  if (visit) {
    (*visit)(fr);
    h.parameters = fr.parameters;
    if (Handle d = h.descriptorParameters.descriptor) h.handles.erase(d);
    h.descriptorParameters.descriptor = nullptr;
  } else {
    bool ok = options.skipParameters || call(kSelectorParameters);
    if (ok) ok = call(kSelectorPrepare);
    bool started = false;
    if (ok) {
      started = call(kSelectorStart);
      ok = started;
    }
    if (ok) {
      // An editor keeps calling continue while the module asks for data.
      for (int guard = 0; guard < 100000; ++guard) {
        const VRect in = h.Requested(fr.inRect, h.big.inRect32);
        const VRect out = h.Requested(fr.outRect, h.big.outRect32);
        const VRect m = h.Requested(fr.maskRect, h.big.maskRect32);
        auto some = [](const VRect& r) { return r.top < r.bottom && r.left < r.right; };
        const bool more = some(in) || some(out) || some(m);
        if (!more) break;
        if (h.AdvanceState() != kNoErr || !call(kSelectorContinue)) {
          ok = false;
          break;
        }
      }
    }
    const int16_t runResult = result;
    if (started) {
      int16_t finishResult = 0;
      h.entry(kSelectorFinish, &fr, &h.dataSlot, &finishResult);
      h.parameters = fr.parameters;
    }
    report.result = ok ? runResult : (runResult ? runResult : int16_t(kParamErr));
    if (ok) report.result = 0;

    if (Handle d = h.descriptorParameters.descriptor) {
      if (HostHandle* hh = h.Find(d)) {
        report.descriptorWritten = HostDescriptor::Deserialise(reinterpret_cast<const uint8_t*>(hh->data),
                                                               size_t(hh->size), report.descriptor);
      }
      h.handles.erase(d);
      h.descriptorParameters.descriptor = nullptr;
    }

    giveBack();
    if (ok) {
      // Commit: inside the selection the output replaces the image, blended
      // by the selection's value, as an editor's automatic masking does.
      if (doc.selection.empty()) {
        doc.pixels.swap(h.output);
      } else {
        const size_t sample = doc.BytesPerSample();
        for (int32_t y = 0; y < doc.height; ++y)
          for (int32_t x = 0; x < doc.width; ++x) {
            const uint32_t m = doc.selection[size_t(y) * doc.width + x];
            if (m == 0) continue;
            const size_t at = (size_t(y) * doc.width + x) * doc.planes;
            for (int c = 0; c < doc.planes; ++c) {
              if (sample == 1) {
                const uint32_t a = doc.pixels[at + c], b = h.output[at + c];
                doc.pixels[at + c] = uint8_t((a * (255 - m) + b * m + 127) / 255);
              } else {
                uint16_t a, b;
                std::memcpy(&a, &doc.pixels[(at + c) * 2], 2);
                std::memcpy(&b, &h.output[(at + c) * 2], 2);
                const uint16_t v = uint16_t((uint32_t(a) * (255 - m) + uint32_t(b) * m + 127) / 255);
                std::memcpy(&doc.pixels[(at + c) * 2], &v, 2);
              }
            }
          }
      }
    }
  }
  report.layerReads.resize(LayerCount(doc));
  for (size_t i = 0; i < report.layerReads.size(); ++i) report.layerReads[i] = h.ports.ReadsOf(i);
  h.ports.Clear();
  h.inArea.clear();
  h.inArea.shrink_to_fit();
  h.maskArea.clear();
  h.maskArea.shrink_to_fit();
  giveBack();
  h.input.clear();
  h.input.shrink_to_fit();
  h.output.clear();
  h.output.shrink_to_fit();
  h.mask.clear();
  h.doc = nullptr;
  g_current = nullptr;
  return report;
}

bool ModulesHaveDialogs() {
#if defined(_WIN32)
  return true;
#else
  return false;
#endif
}

std::string DescribeResult(int16_t result) {
  switch (result) {
    case 0: return "success";
    case -108: return "out of memory (-108)";
    case -128: return "cancelled (-128)";
    case -30100: return "bad parameters (-30100)";
    case -30900: return "the host lacks a service the filter needs (-30900)";
    case -1715: return "a scripting parameter is missing (-1715)";
    default: return "error " + std::to_string(result);
  }
}

}  // namespace rf::tools
