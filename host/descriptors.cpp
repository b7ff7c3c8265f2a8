#include "host/descriptors.h"

#include "host/interface/result_codes.h"
#include "host/plugin_main.h"
#include "host/record/run_state.h"

namespace rf::host {

namespace {

// Stores one value read from a descriptor in its field.
void StoreInteger(ParameterRecord& record, const ScriptedParameter& p, int32_t value) {
  SetIntegerValue(record, p, value);
}

void StoreFloat(ParameterRecord& record, const ScriptedParameter& p, double value) {
  SetFloatValue(record, p, value);
}

// The two registry suites, acquired together and released on scope exit.
class RegistrySuites {
 public:
  explicit RegistrySuites(SPBasicSuite* basic) : basic_(basic) {
    if (!basic_ || !basic_->AcquireSuite || !basic_->ReleaseSuite) return;
    const void* p = nullptr;
    if (basic_->AcquireSuite(kDescriptorRegistrySuite, kDescriptorRegistrySuiteVersion, &p) == kSPNoError && p)
      registry_ = static_cast<const DescriptorRegistryProcs*>(p);
    p = nullptr;
    if (basic_->AcquireSuite(kActionDescriptorSuite, kActionDescriptorSuiteVersion, &p) == kSPNoError && p)
      descriptor_ = static_cast<const ActionDescriptorProcs*>(p);
  }
  ~RegistrySuites() {
    if (registry_) basic_->ReleaseSuite(kDescriptorRegistrySuite, kDescriptorRegistrySuiteVersion);
    if (descriptor_) basic_->ReleaseSuite(kActionDescriptorSuite, kActionDescriptorSuiteVersion);
  }
  RegistrySuites(const RegistrySuites&) = delete;
  RegistrySuites& operator=(const RegistrySuites&) = delete;

  bool Ready() const { return registry_ && descriptor_; }
  const DescriptorRegistryProcs* registry() const { return registry_; }
  const ActionDescriptorProcs* descriptor() const { return descriptor_; }

 private:
  SPBasicSuite* basic_;
  const DescriptorRegistryProcs* registry_ = nullptr;
  const ActionDescriptorProcs* descriptor_ = nullptr;
};

// u8 fields are widened with zero, u32 fields go out as their 32-bit pattern.
int32_t IntegerForDescriptor(const ParameterRecord& record, const ScriptedParameter& p) {
  return int32_t(uint32_t(GetIntegerValue(record, p)));
}

}  // namespace

void ReadLastUsed(ParameterRecord& record) {
  RegistrySuites suites(G().basicSuite);
  if (!suites.Ready() || !suites.registry()->Get) return;
  PIActionDescriptor d = nullptr;
  if (suites.registry()->Get(kRegistryKey, &d) != kNoErr || !d) return;
  const ActionDescriptorProcs* ad = suites.descriptor();
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer) {
      int32_t v = 0;
      if (ad->GetInteger && ad->GetInteger(d, p.key, &v) == kNoErr) StoreInteger(record, p, v);
    } else {
      double v = 0;
      if (ad->GetFloat && ad->GetFloat(d, p.key, &v) == kNoErr) StoreFloat(record, p, v);
    }
  }
  if (ad->Free) ad->Free(d);
}

bool ReadScriptingDescriptor(ParameterRecord& record, bool& showDialog) {
  FilterRecord* fr = G().filterRecord;
  PIDescriptorParameters* dp = fr ? fr->descriptorParameters : nullptr;
  if (!dp || !dp->readDescriptorProcs || !dp->descriptor) return true;
  ReadDescriptorProcs* procs = dp->readDescriptorProcs;
  if (!procs->openReadDescriptorProc || !procs->getKeyProc || !procs->closeReadDescriptorProc) return true;

  PIReadDescriptor token = procs->openReadDescriptorProc(dp->descriptor, nullptr);
  if (token) {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32_t flags = 0;
    while (procs->getKeyProc(token, &key, &type, &flags)) {
      const ScriptedParameter* p = FindParameterByKey(key);
      if (!p) continue;
      if (p->type == ScriptType::Integer) {
        int32_t v = 0;
        if (!procs->getIntegerProc || procs->getIntegerProc(token, &v) != kNoErr) break;
        StoreInteger(record, *p, v);
      } else {
        double v = 0;
        if (!procs->getFloatProc || procs->getFloatProc(token, &v) != kNoErr) break;
        StoreFloat(record, *p, v);
      }
    }
    procs->closeReadDescriptorProc(token);  // a missing key is not an error here
  }
  if (fr->handleProcs && fr->handleProcs->disposeProc) fr->handleProcs->disposeProc(dp->descriptor);
  dp->descriptor = nullptr;
  showDialog = dp->playInfo == kPlugInDialogDisplay;
  return true;
}

void WriteScriptingDescriptor(const ParameterRecord& record) {
  FilterRecord* fr = G().filterRecord;
  PIDescriptorParameters* dp = fr ? fr->descriptorParameters : nullptr;
  if (!dp || !dp->writeDescriptorProcs) return;
  WriteDescriptorProcs* procs = dp->writeDescriptorProcs;
  if (!procs->openWriteDescriptorProc || !procs->closeWriteDescriptorProc || !procs->putIntegerProc ||
      !procs->putFloatProc)
    return;
  PIWriteDescriptor token = procs->openWriteDescriptorProc();
  if (!token) {
    SetResult(kErrMissingParameter);
    return;
  }
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer) {
      procs->putIntegerProc(token, p.key, IntegerForDescriptor(record, p));
    } else {
      const double v = GetFloatValue(record, p);
      procs->putFloatProc(token, p.key, &v);
    }
  }
  if (dp->descriptor && fr->handleProcs && fr->handleProcs->disposeProc) fr->handleProcs->disposeProc(dp->descriptor);
  dp->descriptor = nullptr;
  procs->closeWriteDescriptorProc(token, &dp->descriptor);
  dp->recordInfo = kPlugInDialogOptional;
}

void StoreLastUsed(const ParameterRecord& record) {
  if (!G().basicSuite) {
    SetResult(kErrPlugInHostInsufficient);
    return;
  }
  RegistrySuites suites(G().basicSuite);
  if (!suites.Ready()) return;
  const ActionDescriptorProcs* ad = suites.descriptor();
  if (!ad->Make || !ad->PutInteger || !ad->PutFloat || !suites.registry()->Register) return;
  PIActionDescriptor d = nullptr;
  if (ad->Make(&d) != kNoErr || !d) return;
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer)
      ad->PutInteger(d, p.key, IntegerForDescriptor(record, p));
    else
      ad->PutFloat(d, p.key, GetFloatValue(record, p));
  }
  suites.registry()->Register(kRegistryKey, d, 1);
  if (ad->Free) ad->Free(d);
}

}  // namespace rf::host
