// Rimeflower: the module's own instance handle on Windows.
//
// Dialogs and resources of the plug-in live in the plug-in's DLL, not in the
// host's executable, so everything that loads them needs this handle rather
// than GetModuleHandle(nullptr).
#pragma once

namespace rf::platform::win32 {

// The HINSTANCE of the module this code is linked into (the .8bf inside a
// host, the executable in a test program), as an opaque pointer so that this
// header does not pull in <windows.h>.
void* ModuleInstance();

}  // namespace rf::platform::win32
