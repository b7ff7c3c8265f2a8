// Rimeflower: the parameter record in the host's descriptors.
//
// The host records the filter's 47 scripted parameters in actions (the
// scripting descriptor) and keeps the values last used in its descriptor
// registry, so that they survive a restart of the host.
#pragma once

#include "host/plugin_main.h"
#include "host/record/parameters.h"

namespace rf::host {

// Overlays the record with the last-used values from the host's registry.
void ReadLastUsed(const HostCall& call, ParameterRecord& record);

// Overlays the record with the scripting descriptor the host passes, and
// settles whether the dialog is to be shown: `showDialog` comes in as the
// state block's flag and goes out as the answer. Always succeeds; a host
// without descriptors leaves the record and the answer as they were.
bool ReadScriptingDescriptor(const HostCall& call, ParameterRecord& record, bool& showDialog);

// Replaces the host's scripting descriptor with one built from the record.
// Answers -1715 when the host cannot open a descriptor for writing, else 0.
int16_t WriteScriptingDescriptor(const HostCall& call, const ParameterRecord& record);

// Registers the record's values as the persistent last-used descriptor.
// Answers -30900 when the host offers no basic suite, else 0 (errors of
// the registry's calls are not reported).
int16_t StoreLastUsed(const HostCall& call, const ParameterRecord& record);

}  // namespace rf::host
