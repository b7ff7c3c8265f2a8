// rimeflower info: what a filter module tells its host before it is called.
#include <cstdio>

#include "platform/platform.h"
#include "tools/hostlib/pipl.h"
#include "tools/imagefile/safe_file.h"
#include "tools/rimeflower/commands.h"

namespace rf::tools {

namespace {

const char kCommand[] = "info";

const char kHelp[] =
    "usage: rimeflower info [MODULE] [--plugin-dir DIR]\n"
    "       rimeflower info --embedded\n"
    "\n"
    "Prints the PiPL and the scripting terminology (AETE) of a filter module,\n"
    "decoded: the properties in their stored order, the filter cases, the\n"
    "scripting suite, event and parameters. MODULE defaults to Rimeflower64.8bf\n"
    "in the plug-in folder. A Windows module is read from its resources; the\n"
    "Linux module carries the same bytes compiled in. --embedded prints the copy\n"
    "compiled into this program.\n"
    "\n"
    "Ends with the host's check: whether the module may be called for RGB and\n"
    "CMYK images. Exit code 1 when the module has no PiPL or a malformed one.\n";

// Image modes a host of this filter offers, with the names it prints.
struct Mode {
  int16_t mode;
  const char* name;
};
constexpr Mode kCheckedModes[] = {{3, "RGB"}, {4, "CMYK"}, {11, "RGB 16-bit"}, {13, "CMYK 16-bit"}};

}  // namespace

int CmdInfo(const Args& args) {
  std::string module, pluginDir;
  bool embedded = false;
  const CommandLine line{kCommand,
                         kHelp,
                         "unknown option",
                         {{"--embedded", nullptr, kFlag, SetTrue(embedded)},
                          {"--plugin-dir", nullptr, kValue, StoreIn(pluginDir), "--plugin-dir needs a folder"}},
                         [&module](const std::string& word) {
                           if (!module.empty()) return std::string("more than one module given");
                           module = word;
                           return std::string();
                         }};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  if (embedded && !module.empty()) return UsageError(kCommand, "--embedded takes no module");

  PiPLInfo info;
  std::string error;
  if (embedded) {
    if (!ReadEmbeddedPiPL(info, error)) return Fail(error);
    std::printf("Compiled-in resources of this program\n");
  } else {
    if (module.empty()) {
      const std::string folder = pluginDir.empty() ? DefaultPluginFolder() : pluginDir;
      module = folder.empty() ? std::string("Rimeflower64.8bf")
                              : folder + (platform::IsPathSeparator(folder.back()) ? "" : "/") + "Rimeflower64.8bf";
    }
    uint64_t bytes = 0;
    if (!CheckInputFile(module, bytes, error) || !ReadModulePiPL(module, info, error)) return Fail(error);
    std::printf("Module %s\n", module.c_str());
  }
  std::fputs(FormatPiPL(info).c_str(), stdout);

  std::printf("Host check:\n");
  for (const Mode& m : kCheckedModes) {
    const std::string why = CheckFilterPiPL(info, m.mode, 0);
    if (why.empty())
      std::printf("  %-12s calls %s\n", m.name, info.entryPoint.c_str());
    else
      std::printf("  %-12s refused: %s\n", m.name, why.c_str());
  }
  return 0;
}

}  // namespace rf::tools
