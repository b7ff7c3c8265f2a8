#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/hostlib/action_file.h"
#include "tools/hostlib/descriptor_store.h"
#include "tools/hostlib/plugin_host.h"
#include "tools/imagefile/document_image.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/layer_list.h"
#include "tools/imagefile/sample_image.h"
#include "tools/rimeflower/commands.h"
#include "tools/svg/svg_path.h"

namespace rf::tools {

namespace {

const char* const kApplyHelp =
    "usage: rimeflower apply IN -o OUT [options]\n"
    "\n"
    "Applies the Rimeflower filter to the image file IN (PNG, JPEG, TIFF, PGM/PPM)\n"
    "and writes OUT in the format its extension names. The filter runs with the\n"
    "values it last used, overlaid by a preset and by single values, which reach it\n"
    "as a recorded action does. IN may be a layer list (a text file beginning\n"
    "\"rimeflower layers\", see README.md): the filter then works on its target\n"
    "layer, which is written to OUT.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE      where to write the result (required)\n"
    "  --preset NAME|FILE     a preset from the Basic or User library, or a preset file\n"
    "  --set NAME=VALUE       one parameter by scripting name or key (repeatable),\n"
    "                         e.g. --set RandomSeed=7 --set \"Center X=20\"\n"
    "  --defaults             start from the default values, not the last used\n"
    "  --selection MASK       a grey image of the same size; non-zero pixels are selected\n"
    "  --path FILE.svg        the paths of an SVG drawing as the document's work path\n"
    "                         (user units are image pixels); the ice grows along it\n"
    "                         with --set \"Emitter Type=0\" (or 3: the path if any)\n"
    "  --repeat               run as \"repeat last filter\" (no parameters step)\n"
    "  --dialog               show the filter's dialog, as a host's Filter menu does\n"
    "                         (Windows only): OK applies and writes OUT; Cancel writes\n"
    "                         nothing and exits with status 3\n"
    "  --record ACTION        write the values the filter recorded to a text file\n"
    "  --play ACTION          play a recorded action back (--set values still apply)\n"
    "  --quiet                no progress bar\n"
    "  --plugin-dir DIR       the folder holding Rimeflower64.8bf\n"
    "  --forget               do not store the values used as the last used\n";

const char* const kDemoHelp =
    "usage: rimeflower demo [-o FILE] [--size WxH] [--plugin-dir DIR]\n"
    "\n"
    "Renders the default effect over a built-in sample picture and writes it as a\n"
    "PNG (default: rimeflower-demo.png in the current folder). The values last used\n"
    "are neither read nor changed.\n";

struct ApplySettings {
  std::string input, output, preset, selection, pluginDir, record, play, path;
  std::vector<Assignment> assignments;
  bool defaults = false;
  bool repeat = false;
  bool dialog = false;
  bool forget = false;
  bool quiet = false;
};

void ProgressBar(int32_t done, int32_t total) {
  if (total <= 0) return;
  const int percent = int(std::min<int64_t>(100, std::max<int64_t>(0, int64_t(done) * 100 / total)));
  const int filled = percent / 4;
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "=========================", 25 - filled, "", percent);
  std::fflush(stderr);
}

std::string ModuleIn(const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && !platform::IsPathSeparator(path.back())) path += platform::PathSeparator();
  return path + "Rimeflower64.8bf";
}

// Builds the scripting descriptor of the run: all 47 values when a preset or
// the defaults are the base, else only the values set one by one.
bool BuildScript(const ApplySettings& s, HostDescriptor& script, bool& haveScript, std::string& error) {
  haveScript = false;
  ParameterRecord record;
  ResetToDefaults(record, true);
  std::vector<const ScriptedParameter*> keys;
  if (!s.play.empty()) {
    if (!ReadActionFile(s.play, script, error)) return false;
    haveScript = true;
  }
  if (!s.preset.empty()) {
    if (!LoadPresetArgument(s.pluginDir, s.preset, record, error)) return false;
    for (const ScriptedParameter& p : kScriptedParameters) keys.push_back(&p);
  } else if (s.defaults) {
    for (const ScriptedParameter& p : kScriptedParameters) keys.push_back(&p);
  }
  for (const Assignment& a : s.assignments) {
    ApplyAssignment(a, record);
    keys.push_back(a.parameter);
  }
  if (keys.empty()) return true;
  const HostDescriptor more = DescriptorFromRecord(record, keys);
  script.values.insert(script.values.end(), more.values.begin(), more.values.end());
  haveScript = true;
  return true;
}

int RunOnDocument(PluginHost& host, HostDocument& doc, const ApplySettings& s) {
  HostDescriptor script;
  bool haveScript = false;
  std::string error;
  if (!BuildScript(s, script, haveScript, error)) return Fail(error);
  RunOptions options;
  options.skipParameters = s.repeat;
  // With --dialog a descriptor always goes along, so that the module shows
  // its dialog because the host says so, even when repeating.
  options.script = haveScript || s.dialog ? &script : nullptr;
  options.playInfo = s.dialog ? host::kPlugInDialogDisplay : host::kPlugInDialogDontDisplay;
  // This host has no colour picker of its own to show; the dialog's swatches
  // then open the system's.
  if (s.dialog) options.colourServices = false;
  const bool bar = !s.quiet && isatty(2);
  if (bar) options.onProgress = ProgressBar;
  const RunReport report = host.Run(doc, options);
  if (bar) std::fprintf(stderr, "\r%36s\r", "");  // plain blanks: old consoles know no escapes
  if (!report.refusal.empty()) return Fail("the filter cannot be applied: " + report.refusal);
  if (s.dialog && report.result == -128) {
    std::fprintf(stderr, "rimeflower: cancelled in the dialog; nothing was written\n");
    return kExitCancelled;
  }
  if (report.result != 0) return Fail("the filter failed: " + DescribeResult(report.result) + "; nothing was written");
  if (!s.record.empty()) {
    if (!report.descriptorWritten) return Fail("the filter recorded no values; the action was not written");
    if (!WriteActionFile(s.record, report.descriptor, error)) return Fail(error);
  }
  return 0;
}

}  // namespace

int CmdApply(const Args& args) {
  ApplySettings s;
  const CommandLine line{
      "apply", kApplyHelp, "unknown option",
      {{"--output", "-o", kValue, StoreIn(s.output)},
       {"--preset", nullptr, kValue, StoreIn(s.preset)},
       {"--selection", nullptr, kValue, StoreIn(s.selection)},
       {"--plugin-dir", nullptr, kValue, StoreIn(s.pluginDir)},
       {"--record", nullptr, kValue, StoreIn(s.record)},
       {"--play", nullptr, kValue, StoreIn(s.play)},
       {"--set", nullptr, kValue, AddAssignment(s.assignments)},
       {"--defaults", nullptr, kFlag, SetTrue(s.defaults)},
       {"--repeat", nullptr, kFlag, SetTrue(s.repeat)},
       {"--dialog", nullptr, kFlag, SetTrue(s.dialog)},
       {"--forget", nullptr, kFlag, SetTrue(s.forget)},
       {"--quiet", "-q", kFlag, SetTrue(s.quiet)},
       {"--path", nullptr, kValue, StoreIn(s.path)}},
      [&s](const std::string& word) {
        if (!s.input.empty()) return "more than one input file ('" + s.input + "', '" + word + "')";
        s.input = word;
        return std::string();
      }};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  if (s.input.empty()) return UsageError("apply", "no input image given");
  if (s.output.empty()) return UsageError("apply", "no output file given (-o OUT)");
  if (!s.play.empty() && !s.preset.empty()) return UsageError("apply", "--play and --preset cannot be combined");
  if (s.pluginDir.empty()) s.pluginDir = DefaultPluginFolder();
  if (s.dialog && !ModulesHaveDialogs())
    return Fail("--dialog: the Linux module has no dialog; give the values with --set or --preset");

  std::string error;
  Image image;  // the file filtered: the input, or a layer list's target layer
  HostDocument doc;
  if (IsLayerList(s.input)) {
    if (!ReadLayerList(s.input, doc, image, error)) return Fail(error);
  } else if (!ReadImage(s.input, image, error) || !DocumentFromImage(image, doc, error)) {
    return Fail(error);
  }
  if (!s.selection.empty()) {
    Image mask;
    if (!ReadImage(s.selection, mask, error) || !SelectionFromImage(mask, doc, error)) return Fail(error);
  }
  if (!s.path.empty()) {
    std::vector<uint8_t> records;
    if (!ReadSvgPath(s.path, doc.width, doc.height, records, error)) return Fail(error);
    doc.paths = {records};
    doc.workPathIndex = 0;
  }

  PluginHost host;
  if (s.forget) host.UseRegistryFile("");
  if (!host.Load(ModuleIn(s.pluginDir), error)) return Fail(error);
  const auto start = std::chrono::steady_clock::now();
  const int status = RunOnDocument(host, doc, s);
  if (status != 0) return status;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  Image result;
  ImageFromDocument(doc, image, result);
  // An output name without a known extension keeps the input's format.
  FileFormat format = FormatFromExtension(s.output);
  if (format == FileFormat::Unknown) format = image.format;
  if (!WriteImage(s.output, result, format, error)) return Fail(error);
  std::fprintf(stderr, "rimeflower: wrote %s (%d x %d) in %.2f s\n", s.output.c_str(), result.width, result.height,
               seconds);
  return 0;
}

int CmdDemo(const Args& args) {
  std::string output = "rimeflower-demo.png", pluginDir;
  int width = 1000, height = 750;
  const CommandLine line{"demo",
                         kDemoHelp,
                         "unknown argument",
                         {{"--output", "-o", kValue, StoreIn(output)},
                          {"--plugin-dir", nullptr, kValue, StoreIn(pluginDir)},
                          {"--size", nullptr, kValue,
                           [&](const std::string& value) {
                             return ParseSize(value, 20000, width, height) ? std::string()
                                                                           : "--size takes WxH, e.g. 1000x750";
                           }}}};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  if (pluginDir.empty()) pluginDir = DefaultPluginFolder();
  std::string error;
  const Image sample = MakeSampleImage(width, height);
  HostDocument doc;
  if (!DocumentFromImage(sample, doc, error)) return Fail(error);
  PluginHost host;
  host.UseRegistryFile("");  // the demo leaves the user's last-used values alone
  if (!host.Load(ModuleIn(pluginDir), error)) return Fail(error);
  ApplySettings s;
  s.defaults = true;
  s.pluginDir = pluginDir;
  const int status = RunOnDocument(host, doc, s);
  if (status != 0) return status;
  Image result;
  ImageFromDocument(doc, sample, result);
  if (!WriteImage(output, result, FileFormat::PNG, error)) return Fail(error);
  std::printf("%s\n", output.c_str());
  return 0;
}

}  // namespace rf::tools
