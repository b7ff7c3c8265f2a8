#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tools/hostlib/action_file.h"
#include "tools/hostlib/descriptor_store.h"
#include "tools/hostlib/plugin_host.h"
#include "tools/imagefile/document_image.h"
#include "tools/imagefile/image_io.h"
#include "tools/imagefile/layer_list.h"
#include "tools/imagefile/safe_file.h"
#include "tools/imagefile/sample_image.h"
#include "tools/rimeflower/commands.h"
#include "tools/svg/svg_path.h"

namespace rf::tools {

namespace {

const char* const kApplyHelp =
    "usage: rimeflower apply IN -o OUT [options]\n"
    "       rimeflower apply IN... --out-dir DIR [--suffix S] [--jobs N] [options]\n"
    "\n"
    "Applies the Rimeflower filter to the image file IN (PNG, JPEG, TIFF, PGM/PPM)\n"
    "and writes OUT in the format its extension names (or --format; a name without\n"
    "an extension keeps the input's format). The filter runs with the values it\n"
    "last used, overlaid by a preset and by single values, which reach it as a\n"
    "recorded action does. IN may be a layer list (a text file beginning\n"
    "\"rimeflower layers\", see README.md): the filter then works on its target\n"
    "layer, which is written to OUT.\n"
    "\n"
    "Batch mode: with --out-dir, every IN is filtered with the same values and\n"
    "written into DIR under its own name with S put before the extension (\"a.jpg\"\n"
    "with --suffix -ice gives DIR/a-ice.jpg). A file that fails is reported and the\n"
    "others go on; the run ends with a line such as \"12 written, 1 failed\" and\n"
    "exit status 1 when any failed. --jobs N reads and writes N files at a time;\n"
    "the filter itself runs on one file at a time, each in a host of its own.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE      where to write the result (one input)\n"
    "  --out-dir DIR          batch mode: where to write the results\n"
    "  --suffix S             batch mode: added to each output's name (default none)\n"
    "  --format F             png, jpeg, tiff or pgm: the output format, whatever\n"
    "                         the name says\n"
    "  --jobs N               batch mode: files read and written at once (1 to 64,\n"
    "                         default 1)\n"
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
    "  --play ACTION          play a recorded action back (--set values still apply;\n"
    "                         not with --preset or --defaults, which would replace\n"
    "                         its values)\n"
    "  --max-megapixels N     refuse images of more than N million pixels\n"
    "                         (default 400)\n"
    "  --threads N            render on at most N processors (default: all the\n"
    "                         process may use; the image is the same for any N)\n"
    "  --quiet                no progress bar\n"
    "  --plugin-dir DIR       the folder holding Rimeflower64.8bf\n"
    "  --forget               do not store the values used as the last used\n"
    "\n"
    "Limits: an image of more than --max-megapixels pixels is refused before it is\n"
    "decoded, and so is a file whose header claims more pixels than its data can\n"
    "hold (a damaged or truncated file). Only the first page of a multi-page TIFF\n"
    "is filtered, and such a file is not written over. Anything but a regular file\n"
    "is refused as input or output, and so are output names that Windows keeps for\n"
    "devices (CON, NUL, COM1, ...). Output is written to a new file beside the\n"
    "target and renamed over it only when complete. When memory runs out, the run\n"
    "stops with a message and writes nothing.\n";

const char* const kDemoHelp =
    "usage: rimeflower demo [-o FILE] [--size WxH] [--threads N] [--plugin-dir DIR]\n"
    "\n"
    "Renders the default effect over a built-in sample picture and writes it in the\n"
    "format FILE's extension names, PNG without one (default: rimeflower-demo.png\n"
    "in the current folder). The values last used are neither read nor changed.\n";

struct ApplySettings {
  std::vector<std::string> inputs;
  std::string output, outDir, suffix, preset, selection, pluginDir, record, play, path;
  FileFormat format = FileFormat::Unknown;  // from --format
  int jobs = 1;
  int32_t threads = 0;  // 0: every processor
  ReadLimits limits;
  std::vector<Assignment> assignments;
  bool defaults = false;
  bool repeat = false;
  bool dialog = false;
  bool forget = false;
  bool quiet = false;
};

// The filter's progress over the whole run: one bar for one file or for a
// batch. The host's progress callback carries no context, hence the global;
// only the thread that runs the module reports through it.
struct Progress {
  std::mutex lock;
  bool bar = false;
  int files = 1;
  std::atomic<int> finished{0};
} g_progress;

void DrawBar(double fraction) {
  const int percent = int(std::min(100.0, std::max(0.0, fraction * 100.0)));
  const int filled = percent / 4;
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "=========================", 25 - filled, "", percent);
  std::fflush(stderr);
}

void ClearBar() {
  std::fprintf(stderr, "\r%36s\r", "");  // plain blanks: old consoles know no escapes
}

void ModuleProgress(int32_t done, int32_t total) {
  if (total <= 0) return;
  const double file = std::min(1.0, std::max(0.0, double(done) / double(total)));
  std::lock_guard<std::mutex> hold(g_progress.lock);
  DrawBar((g_progress.finished + file) / g_progress.files);
}

// A message on its own line, with the bar drawn again after it.
void Report(const std::string& message) {
  std::lock_guard<std::mutex> hold(g_progress.lock);
  if (g_progress.bar) ClearBar();
  std::fprintf(stderr, "rimeflower: %s\n", message.c_str());
  if (g_progress.bar) DrawBar(double(g_progress.finished) / g_progress.files);
}

std::string ModuleIn(const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && !platform::IsPathSeparator(path.back())) path += platform::PathSeparator();
  return path + "Rimeflower64.8bf";
}

const char* ExtensionOf(FileFormat format) {
  switch (format) {
    case FileFormat::PNG: return "png";
    case FileFormat::JPEG: return "jpg";
    case FileFormat::TIFF: return "tif";
    case FileFormat::PGM: return "pgm";
    default: return "";
  }
}

// Builds the scripting descriptor of the run: all 47 values when a preset or
// the defaults are the base, else only the values set one by one.
bool BuildScript(const ApplySettings& s, HostDescriptor& script, bool& haveScript, std::string& error) {
  haveScript = false;
  ParameterRecord record;
  ResetToDefaults(record, true);
  std::vector<const ScriptedParameter*> keys;
  if (!s.play.empty()) {
    uint64_t bytes = 0;
    if (!CheckInputFile(s.play, bytes, error) || !ReadActionFile(s.play, script, error)) return false;
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

// The filter on one document in a host of its own. Empty on success, else
// the message; `recorded` gets what the module recorded.
std::string RunOnDocument(HostDocument& doc, const ApplySettings& s, const HostDescriptor* script,
                          HostDescriptor* recorded, bool* cancelled = nullptr) {
  PluginHost host;
  if (s.forget) host.UseRegistryFile("");
  std::string error;
  if (!host.Load(ModuleIn(s.pluginDir), error)) return error;
  RunOptions options;
  options.skipParameters = s.repeat;
  options.script = script;
  options.playInfo = s.dialog ? host::kPlugInDialogDisplay : host::kPlugInDialogDontDisplay;
  // This host has no colour picker of its own to show; the dialog's swatches
  // then open the system's.
  if (s.dialog) options.colourServices = false;
  if (g_progress.bar) options.onProgress = ModuleProgress;
  const RunReport report = host.Run(doc, options);
  if (!report.refusal.empty()) return "the filter cannot be applied: " + report.refusal;
  if (s.dialog && report.result == -128) {
    if (cancelled) *cancelled = true;
    return "cancelled in the dialog; nothing was written";
  }
  if (report.result != 0) return "the filter failed: " + DescribeResult(report.result) + "; nothing was written";
  if (recorded) {
    if (!report.descriptorWritten) return "the filter recorded no values; the action was not written";
    *recorded = report.descriptor;
  }
  return std::string();
}

struct Job {
  std::string input, output;
  std::string error;  // empty when written
  bool cancelled = false;  // in the filter's dialog
};

// One file, start to end. Reading and writing run on the caller's thread;
// the module runs under `moduleLock`, one file at a time.
void RunJob(Job& job, const ApplySettings& s, const HostDescriptor* script, std::mutex& moduleLock,
            double* seconds = nullptr) {
  try {
    std::string error;
    Image image;  // the file filtered: the input, or a layer list's target layer
    HostDocument doc;
    const bool layered = IsLayerList(job.input);
    if (layered ? !ReadLayerList(job.input, doc, image, error, s.limits) : !ReadImage(job.input, image, error, s.limits)) {
      job.error = error;
      return;
    }
    FileFormat format = s.format != FileFormat::Unknown ? s.format : FormatFromExtension(job.output);
    if (format == FileFormat::Unknown) format = image.format;
    if (image.pages > 1) {
      if (SameFile(job.input, job.output)) {
        job.error = "'" + job.input + "' has " + std::to_string(image.pages) +
                    " pages and only the first is filtered; writing it over itself would lose the others";
        return;
      }
      Report("warning: '" + job.input + "' has " + std::to_string(image.pages) +
             " pages; only the first is filtered and written");
    }
    if (!layered && !DocumentFromImage(image, doc, error)) {
      job.error = error;
      return;
    }
    if (!s.selection.empty()) {
      Image mask;
      if (!ReadImage(s.selection, mask, error, s.limits) || !SelectionFromImage(mask, doc, error)) {
        job.error = error;
        return;
      }
    }
    if (!s.path.empty()) {
      std::vector<uint8_t> records;
      if (!ReadSvgPath(s.path, doc.width, doc.height, records, error)) {
        job.error = error;
        return;
      }
      doc.paths = {records};
      doc.workPathIndex = 0;
    }
    HostDescriptor recorded;
    {
      std::lock_guard<std::mutex> one(moduleLock);
      const auto start = std::chrono::steady_clock::now();
      job.error = RunOnDocument(doc, s, script, s.record.empty() ? nullptr : &recorded, &job.cancelled);
      if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (!job.error.empty()) return;
    Image result;
    ImageFromDocument(doc, image, result);
    doc = HostDocument{};
    image = Image{};
    if (!WriteImage(job.output, result, format, error)) {
      job.error = error;
      return;
    }
    if (!s.record.empty() &&
        !WriteFileSafely(
            s.record,
            [&](TempFile& file, std::string&) { return std::fputs(FormatActionText(recorded).c_str(), file.Stream()) >= 0; },
            error))
      job.error = error;
  } catch (const std::bad_alloc&) {
    job.error = "not enough memory for '" + job.input + "'; nothing was written";
  }
}

// Where a batch writes `input`: DIR/<name><suffix>.<extension>. Empty when
// the extension must wait for the decoded format.
std::string BatchOutput(const ApplySettings& s, const std::string& input) {
  std::string name = input.substr(input.find_last_of("/\\") == std::string::npos ? 0 : input.find_last_of("/\\") + 1);
  std::string extension;
  if (HasExtension(name)) {
    extension = name.substr(name.find_last_of('.') + 1);
    name.resize(name.find_last_of('.'));
  }
  if (s.format != FileFormat::Unknown) {
    if (FormatFromName(extension) != s.format) extension = ExtensionOf(s.format);
  } else if (FormatFromName(extension) == FileFormat::Unknown) {
    extension = "png";  // an input named without its format's extension
  }
  std::string dir = s.outDir;
  if (!platform::IsPathSeparator(dir.back())) dir += platform::PathSeparator();
  return dir + name + s.suffix + "." + extension;
}

int RunBatch(const ApplySettings& s, const HostDescriptor* script) {
  std::vector<Job> jobs;
  std::map<std::string, std::string> claimed;  // output -> input
  for (const std::string& input : s.inputs) {
    Job job{input, BatchOutput(s, input), ""};
    std::string error;
    if (SameFile(job.input, job.output)) {
      job.error = "'" + job.output + "' is the input itself; give --suffix or another --out-dir";
    } else if (claimed.count(job.output)) {
      job.error = "'" + input + "' and '" + claimed[job.output] + "' would both be written to '" + job.output + "'";
    } else if (!CheckOutputTarget(job.output, error)) {
      job.error = error;
    }
    claimed.emplace(job.output, input);
    jobs.push_back(job);
  }
  g_progress.files = int(jobs.size());
  std::mutex moduleLock;
  std::atomic<size_t> next{0};
  auto work = [&]() {
    for (size_t i = next++; i < jobs.size(); i = next++) {
      if (jobs[i].error.empty()) RunJob(jobs[i], s, script, moduleLock);
      const Job& job = jobs[i];
      // Most messages name their file already.
      if (!job.error.empty())
        Report(job.error.find("'" + job.input + "'") == std::string::npos ? job.input + ": " + job.error : job.error);
      ++g_progress.finished;
      if (g_progress.bar) {
        std::lock_guard<std::mutex> hold(g_progress.lock);
        DrawBar(double(g_progress.finished) / g_progress.files);
      }
    }
  };
  std::vector<std::thread> workers;
  const int threads = std::min<int>(s.jobs, int(jobs.size()));
  for (int t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  for (std::thread& w : workers) w.join();
  if (g_progress.bar) ClearBar();
  size_t failed = 0;
  for (const Job& job : jobs) failed += job.error.empty() ? 0 : 1;
  std::fprintf(stderr, "rimeflower: %zu written, %zu failed\n", jobs.size() - failed, failed);
  return failed ? 1 : 0;
}

}  // namespace

int CmdApply(const Args& args) {
  ApplySettings s;
  const CommandLine line{
      "apply", kApplyHelp, "unknown option",
      {{"--output", "-o", kValue, StoreIn(s.output)},
       {"--out-dir", nullptr, kValue, StoreIn(s.outDir)},
       {"--suffix", nullptr, kValue,
        [&s](const std::string& value) {
          if (value.find_first_of("/\\:") != std::string::npos) return "--suffix cannot hold a folder ('" + value + "')";
          s.suffix = value;
          return std::string();
        }},
       {"--format", nullptr, kValue,
        [&s](const std::string& value) {
          s.format = FormatFromName(value);
          if (s.format != FileFormat::Unknown) return std::string();
          return "--format takes png, jpeg, tiff or pgm, not '" + value + "'";
        }},
       {"--jobs", "-j", kValue,
        [&s](const std::string& value) {
          const bool digits = !value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string::npos;
          s.jobs = digits ? std::atoi(value.c_str()) : 0;
          if (s.jobs >= 1 && s.jobs <= 64) return std::string();
          return "--jobs takes a number of files from 1 to 64, not '" + value + "'";
        }},
       {"--preset", nullptr, kValue, StoreIn(s.preset)},
       {"--selection", nullptr, kValue, StoreIn(s.selection)},
       {"--plugin-dir", nullptr, kValue, StoreIn(s.pluginDir)},
       {"--record", nullptr, kValue, StoreIn(s.record)},
       {"--play", nullptr, kValue, StoreIn(s.play)},
       {"--set", nullptr, kValue, AddAssignment(s.assignments)},
       {"--max-megapixels", nullptr, kValue, MaxMegapixels(s.limits)},
       {"--threads", nullptr, kValue, ThreadCount(s.threads)},
       {"--defaults", nullptr, kFlag, SetTrue(s.defaults)},
       {"--repeat", nullptr, kFlag, SetTrue(s.repeat)},
       {"--dialog", nullptr, kFlag, SetTrue(s.dialog)},
       {"--forget", nullptr, kFlag, SetTrue(s.forget)},
       {"--quiet", "-q", kFlag, SetTrue(s.quiet)},
       {"--path", nullptr, kValue, StoreIn(s.path)}},
      [&s](const std::string& word) {
        s.inputs.push_back(word);
        return std::string();
      }};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  const bool batch = !s.outDir.empty();
  if (s.inputs.empty()) return UsageError("apply", "no input image given");
  if (batch && !s.output.empty()) return UsageError("apply", "-o names one output; a batch writes into --out-dir");
  if (!batch && s.inputs.size() > 1)
    return UsageError("apply", "more than one input file ('" + s.inputs[0] + "', '" + s.inputs[1] +
                                   "'): give --out-dir DIR to filter them all");
  if (!batch && s.output.empty()) return UsageError("apply", "no output file given (-o OUT)");
  if (!batch && (!s.suffix.empty() || s.jobs != 1)) return UsageError("apply", "--suffix and --jobs go with --out-dir");
  if (batch && !s.record.empty()) return UsageError("apply", "--record takes the action of one file, not of a batch");
  if (!s.play.empty() && !s.preset.empty()) return UsageError("apply", "--play and --preset cannot be combined");
  if (!s.play.empty() && s.defaults)
    return UsageError("apply", "--play and --defaults cannot be combined (the defaults would replace the action's values)");
  if (!batch && s.format == FileFormat::Unknown && HasExtension(s.output) &&
      FormatFromExtension(s.output) == FileFormat::Unknown)
    return UsageError("apply", "'" + s.output + "' names no image format; write one of " + kFormatList +
                                   ", or give --format");
  if (batch && s.dialog) return UsageError("apply", "--dialog takes one input, not a batch");
  if (s.pluginDir.empty()) s.pluginDir = DefaultPluginFolder();
  if (s.dialog && !ModulesHaveDialogs())
    return Fail("--dialog: the Linux module has no dialog; give the values with --set or --preset");

  std::string error;
  if (batch) {
    std::error_code failed;
    if (!std::filesystem::is_directory(s.outDir, failed))
      return Fail("'" + s.outDir + "' is not a folder (--out-dir)");
  } else {
    if (!CheckOutputTarget(s.output, error)) return Fail(error);
    if (!s.record.empty() && !CheckOutputTarget(s.record, error)) return Fail(error);
  }
  if (!LimitThreads(s.threads, error)) return Fail(error);
  HostDescriptor script;
  bool haveScript = false;
  if (!BuildScript(s, script, haveScript, error)) return Fail(error);
  g_progress.bar = !s.quiet && isatty(2);
  if (batch) return RunBatch(s, haveScript ? &script : nullptr);

  Job job{s.inputs[0], s.output, ""};
  std::mutex moduleLock;
  double seconds = 0;
  // With --dialog a descriptor always goes along, so that the module shows
  // its dialog because the host says so, even when repeating.
  RunJob(job, s, haveScript || s.dialog ? &script : nullptr, moduleLock, &seconds);
  if (g_progress.bar) ClearBar();
  if (job.cancelled) {
    std::fprintf(stderr, "rimeflower: %s\n", job.error.c_str());
    return kExitCancelled;
  }
  if (!job.error.empty()) return Fail(job.error);
  std::fprintf(stderr, "rimeflower: wrote %s in %.2f s\n", s.output.c_str(), seconds);
  return 0;
}

int CmdDemo(const Args& args) {
  std::string output = "rimeflower-demo.png", pluginDir;
  int width = 1000, height = 750;
  int32_t threads = 0;
  const CommandLine line{"demo",
                         kDemoHelp,
                         "unknown argument",
                         {{"--output", "-o", kValue, StoreIn(output)},
                          {"--plugin-dir", nullptr, kValue, StoreIn(pluginDir)},
                          {"--threads", nullptr, kValue, ThreadCount(threads)},
                          {"--size", nullptr, kValue,
                           [&](const std::string& value) {
                             return ParseSize(value, 20000, width, height) ? std::string()
                                                                           : "--size takes WxH, e.g. 1000x750";
                           }}}};
  if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
  FileFormat format = HasExtension(output) ? FormatFromExtension(output) : FileFormat::PNG;
  if (format == FileFormat::Unknown)
    return UsageError("demo", "'" + output + "' names no image format; write one of " + kFormatList);
  std::string error;
  if (!CheckOutputTarget(output, error) || !LimitThreads(threads, error)) return Fail(error);
  if (pluginDir.empty()) pluginDir = DefaultPluginFolder();
  const Image sample = MakeSampleImage(width, height);
  HostDocument doc;
  if (!DocumentFromImage(sample, doc, error)) return Fail(error);
  ApplySettings s;
  s.defaults = true;
  s.pluginDir = pluginDir;
  s.forget = true;  // the demo leaves the user's last-used values alone
  HostDescriptor script;
  bool haveScript = false;
  if (!BuildScript(s, script, haveScript, error)) return Fail(error);
  g_progress.bar = isatty(2);
  error = RunOnDocument(doc, s, &script, nullptr);
  if (g_progress.bar) ClearBar();
  if (!error.empty()) return Fail(error);
  Image result;
  ImageFromDocument(doc, sample, result);
  if (!WriteImage(output, result, format, error)) return Fail(error);
  std::printf("%s\n", output.c_str());
  return 0;
}

}  // namespace rf::tools
