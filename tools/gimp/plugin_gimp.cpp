// rimeflower-gimp: the GIMP 2.10 plug-in. GIMP starts it to register the
// procedure and again for every call; run from a shell with --arguments it
// prints the procedure's 47 value arguments for Script-Fu instead.
#include <libgimp/gimp.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/record/parameters.h"
#include "tools/gimp/gimp_dialog.h"
#include "tools/gimp/gimp_document.h"
#include "tools/gimp/gimp_host.h"
#include "tools/rimeflower/arguments.h"

namespace {

using namespace rf;
using namespace rf::tools::gimp;

constexpr const char* kProcedure = "plug-in-rimeflower";
constexpr int kFixedArguments = 3;  // run mode, image, drawable

// GIMP's storage of the values last used; the key is the procedure's name.
bool LastValues(ParameterRecord& record) {
  ResetToDefaults(record, true);
  const gint size = gimp_get_data_size(kProcedure);
  if (size <= 0) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  gimp_get_data(kProcedure, bytes.data());
  return ReadStoredValues(bytes.data(), bytes.size(), record);
}

void KeepValues(const ParameterRecord& record) {
  const std::vector<uint8_t> bytes = StoredValues(record);
  gimp_set_data(kProcedure, bytes.data(), guint32(bytes.size()));
}

void Query() {
  static std::vector<std::string> names;
  std::vector<GimpParamDef> args = {
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
      {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
      {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input drawable")},
  };
  names.reserve(kScriptedParameterCount);
  for (const ScriptedParameter& p : kScriptedParameters) {
    names.push_back(ArgumentName(p));
    const ParameterRange* range = FindParameterRange(p.name);
    const char* what = range ? range->caption : p.name;
    args.push_back({p.type == ScriptType::Integer ? GIMP_PDB_INT32 : GIMP_PDB_FLOAT,
                    const_cast<gchar*>(names.back().c_str()), const_cast<gchar*>(what)});
  }
  gimp_install_procedure(kProcedure, "Grows ice crystals over the image and renders them in 3D",
                         "Grows a branching pattern of small triangles from the selection's or the image's "
                         "contours, a path or a fixed layout, lifts it into a 3D scene and renders it over the "
                         "layer. Run `rimeflower-gimp --arguments` in a shell for the default values of the 47 "
                         "value arguments in Script-Fu's order.",
                         "Kestrelworks", "Kestrelworks", "2026", "Rimeflower...", "RGB*, GRAY*", GIMP_PLUGIN,
                         gint(args.size()), 0, args.data(), nullptr);
  gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Kestrelworks");
}

void Run(const gchar*, gint count, const GimpParam* params, gint* returnCount, GimpParam** returns) {
  static GimpParam values[2];
  static std::string message;
  *returnCount = 1;
  *returns = values;
  values[0].type = GIMP_PDB_STATUS;
  values[0].data.d_status = GIMP_PDB_SUCCESS;
  // GIMP shows the message that comes back with a failure in its error
  // console (or a message box), and a script gets it as the call's error.
  const auto fail = [&](GimpPDBStatusType status, const std::string& why) {
    message = why;
    values[0].data.d_status = status;
    values[1].type = GIMP_PDB_STRING;
    values[1].data.d_string = const_cast<gchar*>(message.c_str());
    *returnCount = 2;
  };

  if (count < kFixedArguments) return fail(GIMP_PDB_CALLING_ERROR, "Rimeflower: too few arguments");
  const auto mode = GimpRunMode(params[0].data.d_int32);
  const int32_t image = params[1].data.d_image;
  const int32_t drawable = params[2].data.d_drawable;
  const bool interactive = mode == GIMP_RUN_INTERACTIVE;
  gegl_init(nullptr, nullptr);

  std::string error;
  if (!CheckDrawable(drawable, error)) return fail(GIMP_PDB_EXECUTION_ERROR, error);

  ParameterRecord record;
  LastValues(record);
  if (mode == GIMP_RUN_NONINTERACTIVE) {
    if (count != kFixedArguments + kScriptedParameterCount)
      return fail(GIMP_PDB_CALLING_ERROR,
                  "Rimeflower takes " + std::to_string(kFixedArguments + kScriptedParameterCount) +
                      " arguments: run mode, image, drawable and the 47 values");
    ResetToDefaults(record, true);
    for (int i = 0; i < kScriptedParameterCount; ++i) {
      const ScriptedParameter& p = kScriptedParameters[i];
      const GimpParam& v = params[kFixedArguments + i];
      if (p.type == ScriptType::Integer)
        SetIntegerValue(record, p, int64_t(uint32_t(v.data.d_int32)));
      else
        SetFloatValue(record, p, v.data.d_float);
    }
  }

  GimpDocument d;
  if (!ReadDrawable(image, drawable, true, d, error)) return fail(GIMP_PDB_EXECUTION_ERROR, error);
  if (!d.warning.empty()) gimp_message(("Rimeflower: " + d.warning).c_str());
  if (d.nothingSelected) {
    // Like any filter: nothing selected in this layer, nothing to change.
    if (interactive) gimp_message("Rimeflower: nothing is selected in this layer, so there is nothing to filter.");
    return;
  }
  if (interactive && !RunDialog(d, record, error)) {
    if (!error.empty()) return fail(GIMP_PDB_EXECUTION_ERROR, error);
    values[0].data.d_status = GIMP_PDB_CANCEL;
    return;
  }
  gimp_progress_init("Rimeflower");
  if (!RunFilter(record, d, error)) return fail(GIMP_PDB_EXECUTION_ERROR, error);
  gimp_image_undo_group_start(image);
  WriteDrawable(drawable, d);
  gimp_image_undo_group_end(image);
  gimp_progress_end();
  if (interactive) gimp_displays_flush();
  // A script's values are its own business: only the user's choices (and
  // repeats of them) become the values offered next time.
  if (mode != GIMP_RUN_NONINTERACTIVE) KeepValues(record);
}

// Nothing may escape into libgimp's C frames: a request for more memory
// than the machine has ends the call with a message, not the plug-in.
void RunGuarded(const gchar* name, gint count, const GimpParam* params, gint* returnCount, GimpParam** returns) {
  static GimpParam values[2];
  try {
    Run(name, count, params, returnCount, returns);
  } catch (const std::bad_alloc&) {
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = GIMP_PDB_EXECUTION_ERROR;
    values[1].type = GIMP_PDB_STRING;
    values[1].data.d_string = const_cast<gchar*>("Rimeflower: not enough memory for this layer. The image was not changed.");
    *returnCount = 2;
    *returns = values;
  }
}

const GimpPlugInInfo kPlugIn = {nullptr, nullptr, Query, RunGuarded};

// Prints the 47 value arguments: the defaults overlaid by --set NAME=VALUE.
int PrintArguments(int argc, char** argv) {
  ParameterRecord record;
  ResetToDefaults(record, true);
  for (int i = 2; i < argc; ++i) {
    std::string text = argv[i];
    if (text == "--set" && i + 1 < argc) text = argv[++i];
    rf::tools::Assignment a;
    std::string error;
    if (!rf::tools::ParseAssignment(text, a, error)) {
      std::fprintf(stderr, "rimeflower-gimp: %s\n", error.c_str());
      return 2;
    }
    rf::tools::ApplyAssignment(a, record);
  }
  const char* gap = "";
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.type == ScriptType::Integer)
      std::printf("%s%lld", gap, static_cast<long long>(GetIntegerValue(record, p)));
    else
      std::printf("%s%.9g", gap, GetFloatValue(record, p));
    gap = " ";
  }
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--arguments") == 0) return PrintArguments(argc, argv);
  return gimp_main(&kPlugIn, argc, argv);
}
