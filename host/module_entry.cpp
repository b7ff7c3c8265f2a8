// The module's exported entry points. Hosts call the name the PiPL gives
// ("PluginMain"); some older hosts look for "PluginMain1".
#include <cstdint>

#include "host/plugin_main.h"

#if defined(_WIN32)
#define RF_ENTRY extern "C" __declspec(dllexport)
#else
#define RF_ENTRY extern "C" __attribute__((visibility("default")))
#endif

RF_ENTRY void PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
  rf::host::PluginMain(selector, record, data, result);
}

RF_ENTRY void PluginMain1(int16_t selector, void* record, intptr_t* data, int16_t* result) {
  rf::host::PluginMain(selector, record, data, result);
}
