#include "host/descriptors.h"

#include "host/interface/result_codes.h"
#include "host/suite.h"

namespace rf::host {

namespace {

// The registry and the descriptors it holds are used together. Hosts that
// stop at version 2 of the descriptor suite have every call made here.
struct RegistrySuites {
  explicit RegistrySuites(const SPBasicSuite* basic)
      : registry(basic, kDescriptorRegistrySuite, kDescriptorRegistrySuiteVersion),
        descriptor3(basic, kActionDescriptorSuite, kActionDescriptorSuiteVersion),
        descriptor2(descriptor3 ? nullptr : basic, kActionDescriptorSuite, kActionDescriptorSuiteVersion2) {}
  bool Ready() const { return registry && Descriptor(); }
  const ActionDescriptorProcs* Descriptor() const { return descriptor3 ? descriptor3.get() : descriptor2.get(); }
  ScopedSuite<DescriptorRegistryProcs> registry;
  ScopedSuite<ActionDescriptorProcs> descriptor3;
  ScopedSuite<ActionDescriptorProcs> descriptor2;
};

// u8 fields are widened with zero, u32 fields go out as their 32-bit pattern.
int32_t IntegerForDescriptor(const ParameterRecord& record, const ScriptedParameter& p) {
  return int32_t(uint32_t(GetIntegerValue(record, p)));
}

}  // namespace

void ReadLastUsed(const HostCall& call, ParameterRecord& record) {
  RegistrySuites suites(call.basicSuite);
  if (!suites.Ready() || !suites.registry->Get) return;
  PIActionDescriptor d = nullptr;
  if (suites.registry->Get(kRegistryKey, &d) != kNoErr || !d) return;
  const ActionDescriptorProcs* ad = suites.Descriptor();
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer) {
      int32_t v = 0;
      if (ad->GetInteger && ad->GetInteger(d, p.key, &v) == kNoErr) SetIntegerValue(record, p, v);
    } else {
      double v = 0;
      if (ad->GetFloat && ad->GetFloat(d, p.key, &v) == kNoErr) SetFloatValue(record, p, v);
    }
  }
  if (ad->Free) ad->Free(d);
}

bool ReadScriptingDescriptor(const HostCall& call, ParameterRecord& record, bool& showDialog) {
  FilterRecord* fr = call.filter;
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
        SetIntegerValue(record, *p, v);
      } else {
        double v = 0;
        if (!procs->getFloatProc || procs->getFloatProc(token, &v) != kNoErr) break;
        SetFloatValue(record, *p, v);
      }
    }
    procs->closeReadDescriptorProc(token);  // a missing key is not an error here
  }
  if (fr->handleProcs && fr->handleProcs->disposeProc) fr->handleProcs->disposeProc(dp->descriptor);
  dp->descriptor = nullptr;
  showDialog = dp->playInfo == kPlugInDialogDisplay;
  return true;
}

int16_t WriteScriptingDescriptor(const HostCall& call, const ParameterRecord& record) {
  FilterRecord* fr = call.filter;
  PIDescriptorParameters* dp = fr ? fr->descriptorParameters : nullptr;
  if (!dp || !dp->writeDescriptorProcs) return kNoErr;
  WriteDescriptorProcs* procs = dp->writeDescriptorProcs;
  if (!procs->openWriteDescriptorProc || !procs->closeWriteDescriptorProc || !procs->putIntegerProc ||
      !procs->putFloatProc)
    return kNoErr;
  PIWriteDescriptor token = procs->openWriteDescriptorProc();
  if (!token) return kErrMissingParameter;
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
  return kNoErr;
}

int16_t StoreLastUsed(const HostCall& call, const ParameterRecord& record) {
  if (!call.basicSuite) return kErrPlugInHostInsufficient;
  RegistrySuites suites(call.basicSuite);
  if (!suites.Ready()) return kNoErr;
  const ActionDescriptorProcs* ad = suites.Descriptor();
  if (!ad->Make || !ad->PutInteger || !ad->PutFloat || !suites.registry->Register) return kNoErr;
  PIActionDescriptor d = nullptr;
  if (ad->Make(&d) != kNoErr || !d) return kNoErr;
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer)
      ad->PutInteger(d, p.key, IntegerForDescriptor(record, p));
    else
      ad->PutFloat(d, p.key, GetFloatValue(record, p));
  }
  suites.registry->Register(kRegistryKey, d, 1);
  if (ad->Free) ad->Free(d);
  return kNoErr;
}

}  // namespace rf::host
