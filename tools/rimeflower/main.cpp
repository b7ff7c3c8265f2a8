// rimeflower: a command-line host for the Rimeflower filter module.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "tools/rimeflower/commands.h"

#if defined(__GLIBC__)
#include <unistd.h>
#endif

namespace {

struct Command {
  const char* name;
  int (*run)(const rf::tools::Args&);
  const char* summary;
};

const Command kCommands[] = {
    {"apply", rf::tools::CmdApply, "apply IN -o OUT [options]     filter an image file"},
    {"demo", rf::tools::CmdDemo, "demo [-o FILE]                the default effect on the built-in sample"},
    {"pattern", rf::tools::CmdPattern, "pattern [options]             export the grown pattern (txt, obj, svg)"},
    {"contours", rf::tools::CmdContours, "contours MASK [options]       contour lines of a label mask"},
    {"mask", rf::tools::CmdMask, "mask IMAGE -o MASK.pgm        the brightness mask of an image"},
    {"presets", rf::tools::CmdPresets, "presets list|show|save|delete the preset libraries"},
    {"info", rf::tools::CmdInfo, "info [MODULE]                 the module's PiPL and terminology"},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: rimeflower COMMAND [ARGS]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.summary);
  std::fprintf(out, "\n'rimeflower COMMAND --help' describes a command.\n");
}

// The host's own image buffers (the decoded file, the copy the filter
// writes into, the encoded result) come from malloc, which backs them with
// 4 KB pages; on a virtual machine the first touch of each page costs
// microseconds, a fifth of an `apply`. glibc backs large blocks with large
// pages when told so at start-up: the program starts itself once more with
// that setting, unless the user has chosen glibc settings of their own.
// Where it cannot, it goes on as it is.
void PreferLargePages(char** argv) {
#if defined(__GLIBC__)
  if (std::getenv("GLIBC_TUNABLES") != nullptr) return;
  if (setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 1) != 0) return;
  execv("/proc/self/exe", argv);
  unsetenv("GLIBC_TUNABLES");
#else
  (void)argv;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  PreferLargePages(argv);
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    // The last line of defence: under a memory limit an image may need more
    // than the process can have, and the answer is a message, not an abort.
    try {
      return c.run(rf::tools::Args(argv + 2, argv + argc));
    } catch (const std::bad_alloc&) {
      return rf::tools::Fail(std::string("not enough memory for '") + c.name +
                             "' (a smaller image, or more memory, is needed); nothing was written");
    } catch (const std::exception& e) {
      return rf::tools::Fail(std::string(c.name) + " failed: " + e.what() + "; nothing was written");
    }
  }
  std::fprintf(stderr, "rimeflower: unknown command '%s'\n", name.c_str());
  PrintUsage(stderr);
  return 2;
}
