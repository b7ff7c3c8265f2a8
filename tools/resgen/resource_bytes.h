// Rimeflower: the bytes of the module's resources.
//
// The one source of the PiPL, the scripting terminology and the bump source
// picture. The `resgen` program writes them into resources/ (as the files
// that the Windows resource script includes and as the C arrays compiled
// into the Linux module); a test checks that the committed files are exactly
// what these functions make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rf::resgen {

using Bytes = std::vector<uint8_t>;

// ---- What the resources say -----------------------------------------------

constexpr int kPiPLResourceId = 16000;
constexpr int kTerminologyResourceId = 16000;  // the AETE, named by 'hstm'
constexpr int kAboutDialogId = 128;
constexpr int kBumpBitmapId = 998;

constexpr const char* kPluginName = "Rimeflower...";
constexpr const char* kCategory = "Kestrelworks";
constexpr const char* kComponentName = "Rimeflower";
constexpr const char* kEntryPoint = "PluginMain";
constexpr const char* kEnableExpression = "in (PSHOP_ImageMode, RGBMode, CMYKMode)";
// Also the key of the last-used values in the host's descriptor registry.
constexpr const char* kScopeString = "d9543b0c-3c91-11d4-97bc-00b004052017";
constexpr int32_t kMaxImageSide = 2000000;

constexpr const char* kSuiteName = "Kestrelworks";
constexpr const char* kSuiteDescription = "Adobe example plug-ins";
constexpr const char* kEventName = "Rimeflower";
constexpr const char* kEventDescription = "dissolve example filter plug-in";

constexpr int kBumpSide = 100;

// ---- The resources --------------------------------------------------------

// The PiPL: 12 properties of vendor '8BIM'.
Bytes BuildPiPL();
// The scripting terminology: one suite, one event, the 47 scripted
// parameters of the parameter record.
Bytes BuildTerminology();

// The bump source, 100 x 100 grey values, row 0 at the top.
Bytes BuildBumpPicture();
// The same picture as a Windows bitmap resource holds it: a 40-byte
// BITMAPINFOHEADER and 24-bit rows, bottom row first.
Bytes BuildBumpDib();
// The .bmp file of it (the 14-byte file header in front of the DIB), which
// the resource compiler turns back into the DIB above.
Bytes BuildBumpBmpFile();

// The C++ text that gives the Linux module the same bytes: definitions of
// the arrays kPiPLBytes, kTerminologyBytes and kBumpDibBytes.
std::string BuildEmbeddedSource();

}  // namespace rf::resgen
