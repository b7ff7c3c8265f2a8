#include "tools/gimp/gimp_dialog.h"

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_main.h"
#include "host/preview.h"
#include "presets/preset_library.h"
#include "tools/gimp/gimp_document.h"
#include "tools/hostlib/plugin_host.h"
#include "ui/dialog_model.h"
#include "ui/dialog_resources.h"
#include "ui/preview_zoom.h"

namespace rf::tools::gimp {

namespace {

using presets::Library;

constexpr int kPreviewWidth = 480, kPreviewHeight = 400;

// A float of the record edited by a scale entry that is not one of the
// table's fields (the centre, the rotation, the light's direction).
struct FloatBinding {
  float ParameterRecord::*field;
  int32_t controlId;  // for the rules of what regrows the pattern
};

class Dialog;

struct FieldHook {
  Dialog* dialog;
  const ui::FieldSpec* field;
  GtkObject* adjustment;
};

struct FloatHook {
  Dialog* dialog;
  FloatBinding binding;
  GtkObject* adjustment;
};

struct ColourHook {
  Dialog* dialog;
  uint32_t ParameterRecord::*field;
  int32_t controlId;
  GtkWidget* button;
};

struct ListHook {
  Dialog* dialog;
  int32_t listId;
  GtkWidget* combo;
};

struct PresetHook {
  Dialog* dialog;
  Library library;
};

class Dialog {
 public:
  Dialog(host::FilterRecord& fr, ParameterRecord& record)
      : record_(record),
        call_{&fr, fr.sSPBasic, nullptr},
        session_(call_, run_, record_, cache_),
        libraries_(host::DeriveFolders(ModulePath()).presetsFolder),
        panel_(libraries_) {}

  ~Dialog() {
    if (pending_) g_source_remove(pending_);
    session_.End();
  }

  bool Run();

 private:
  // ---- Building ----
  GtkWidget* BuildPreview();
  GtkWidget* BuildPresets();
  GtkWidget* BuildGeometry();
  GtkWidget* BuildMaterial();
  GtkObject* AddField(GtkTable* table, int column, int row, int32_t id);
  GtkObject* AddFloat(GtkTable* table, int column, int row, const char* caption, const char* tip, float min,
                      float max, int digits, FloatBinding binding);
  GtkWidget* AddColour(const char* title, const char* tip, uint32_t ParameterRecord::*field, int32_t controlId);
  GtkWidget* AddList(int32_t listId, const char* tip);

  // ---- State ----
  void Refresh();
  void ApplyEnabling();
  void Changed(int32_t controlId);
  void ScheduleRender();
  static gboolean RenderNow(gpointer self);
  ui::PreviewView View() const;
  void FillList(Library library);

  // ---- Signals ----
  static void OnField(GtkAdjustment*, FieldHook* hook);
  static void OnFloat(GtkAdjustment*, FloatHook* hook);
  static void OnColour(GtkWidget*, ColourHook* hook);
  static void OnList(GtkComboBox*, ListHook* hook);
  static void OnEmitter(GtkToggleButton* button, Dialog* self);
  static void OnCheck(GtkToggleButton* button, Dialog* self);
  static gboolean OnExpose(GtkWidget* widget, GdkEventExpose*, Dialog* self);
  static void OnPreviewSize(GtkWidget*, GtkAllocation* allocation, Dialog* self);
  static gboolean OnPress(GtkWidget*, GdkEventButton* event, Dialog* self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, Dialog* self);
  static gboolean OnRelease(GtkWidget*, GdkEventButton* event, Dialog* self);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, Dialog* self);
  static void OnZoom(GtkWidget* button, Dialog* self);
  static void OnPresetSelected(GtkTreeSelection* selection, PresetHook* hook);
  static void OnPresetOpened(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, PresetHook* hook);
  static void OnSave(GtkWidget*, Dialog* self);
  static void OnDelete(GtkWidget*, Dialog* self);

  void ZoomChanged();

  ParameterRecord& record_;
  RunState run_;
  pattern::SceneCache cache_;
  host::HostCall call_;
  host::PreviewSession session_;
  presets::PresetLibraries libraries_;
  presets::PresetPanel panel_;
  ui::DocumentInfo info_;
  ui::PreviewZoom zoom_;
  ui::PreviewPicture picture_;
  ui::PreviewView shown_;  // the view the picture holds
  std::vector<uint8_t> rgb_;

  GtkWidget* window_ = nullptr;
  GtkWidget* preview_ = nullptr;
  GtkWidget* zoomLabel_ = nullptr;
  GtkWidget* zoomIn_ = nullptr;
  GtkWidget* zoomOut_ = nullptr;
  GtkWidget* status_ = nullptr;
  GtkWidget* emitter_[3] = {};
  GtkWidget* alphaCut_ = nullptr;
  GtkWidget* useGlass_ = nullptr;
  GtkWidget* backgroundLabel_ = nullptr;
  GtkWidget* maskLabel_ = nullptr;
  GtkWidget* growLabel_ = nullptr;
  GtkWidget* presetViews_[2] = {};
  GtkListStore* presetLists_[2] = {};
  GtkWidget* deleteButton_ = nullptr;
  std::deque<FieldHook> fields_;
  std::deque<FloatHook> floats_;
  std::deque<ColourHook> colours_;
  std::deque<ListHook> lists_;
  PresetHook presetHooks_[2] = {{this, Library::Basic}, {this, Library::User}};
  std::map<int32_t, GtkObject*> byId_;  // scale entries by control
  GtkSizeGroup* labels_ = nullptr;  // the Material page's captions, one width
  bool refreshing_ = false;
  bool crosshair_ = false;
  guint pending_ = 0;
  // A press in the preview: a drag pans, a click places the centre.
  bool pressed_ = false, dragged_ = false;
  double pressX_ = 0, pressY_ = 0;
  int32_t pressOffsetX_ = 0, pressOffsetY_ = 0;
};

// ---- Building -------------------------------------------------------------------

GtkWidget* Framed(const char* title, GtkWidget* child) {
  GtkWidget* frame = gimp_frame_new(title);
  gtk_container_add(GTK_CONTAINER(frame), child);
  return frame;
}

GtkTable* NewTable(int rows, int columns) {
  GtkWidget* table = gtk_table_new(rows, columns, FALSE);
  gtk_table_set_col_spacings(GTK_TABLE(table), 6);
  gtk_table_set_row_spacings(GTK_TABLE(table), 2);
  return GTK_TABLE(table);
}

GtkObject* Dialog::AddField(GtkTable* table, int column, int row, int32_t id) {
  const ui::FieldSpec* f = ui::FindField(id);
  const ui::FieldSetup s = ui::SetupOf(*f);
  const double range = double(s.max) - double(s.min);
  GtkObject* adj = gimp_scale_entry_new(table, column, row, s.caption, 100, 6, ui::FieldValue(record_, *f), s.min,
                                        s.max, s.integer ? 1.0 : std::max(0.1, range / 100.0),
                                        s.integer ? 1.0 : range / 10.0, s.integer ? 0 : 1, !s.rangeEditable,
                                        s.widestMin, s.widestMax, f->tip, nullptr);
  gtk_entry_set_activates_default(GTK_ENTRY(GIMP_SCALE_ENTRY_SPINBUTTON(adj)), TRUE);
  if (labels_) gtk_size_group_add_widget(labels_, GTK_WIDGET(GIMP_SCALE_ENTRY_LABEL(adj)));
  fields_.push_back(FieldHook{this, f, adj});
  g_signal_connect(adj, "value-changed", G_CALLBACK(OnField), &fields_.back());
  byId_[id] = adj;
  return adj;
}

GtkObject* Dialog::AddFloat(GtkTable* table, int column, int row, const char* caption, const char* tip, float min,
                            float max, int digits, FloatBinding binding) {
  GtkObject* adj = gimp_scale_entry_new(table, column, row, caption, 100, 6, record_.*binding.field, min, max, 1.0,
                                        10.0, guint(digits), TRUE, min, max, tip, nullptr);
  gtk_entry_set_activates_default(GTK_ENTRY(GIMP_SCALE_ENTRY_SPINBUTTON(adj)), TRUE);
  if (labels_) gtk_size_group_add_widget(labels_, GTK_WIDGET(GIMP_SCALE_ENTRY_LABEL(adj)));
  floats_.push_back(FloatHook{this, binding, adj});
  g_signal_connect(adj, "value-changed", G_CALLBACK(OnFloat), &floats_.back());
  byId_[binding.controlId] = adj;
  return adj;
}

GimpRGB RgbOf(uint32_t colour) {
  GimpRGB rgb;
  gimp_rgb_set_uchar(&rgb, guchar(colour & 0xFF), guchar((colour >> 8) & 0xFF), guchar((colour >> 16) & 0xFF));
  return rgb;
}

GtkWidget* Dialog::AddColour(const char* title, const char* tip, uint32_t ParameterRecord::*field,
                             int32_t controlId) {
  const GimpRGB rgb = RgbOf(record_.*field);
  GtkWidget* button = gimp_color_button_new(title, 48, 18, &rgb, GIMP_COLOR_AREA_FLAT);
  gimp_help_set_help_data(button, tip, nullptr);
  colours_.push_back(ColourHook{this, field, controlId, button});
  g_signal_connect(button, "color-changed", G_CALLBACK(OnColour), &colours_.back());
  return button;
}

GtkWidget* Dialog::AddList(int32_t listId, const char* tip) {
  GtkWidget* combo = gtk_combo_box_new_text();
  for (const std::string& entry : ui::ListEntries(listId)) gtk_combo_box_append_text(GTK_COMBO_BOX(combo), entry.c_str());
  gimp_help_set_help_data(combo, tip, nullptr);
  lists_.push_back(ListHook{this, listId, combo});
  g_signal_connect(combo, "changed", G_CALLBACK(OnList), &lists_.back());
  return combo;
}

GtkWidget* Label(const char* text) {
  GtkWidget* label = gtk_label_new(text);
  gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
  return label;
}

GtkWidget* Dialog::BuildGeometry() {
  GtkWidget* page = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(page), 8);

  GtkWidget* emitters = gtk_vbox_new(FALSE, 2);
  const char* texts[3] = {
      "Build Rimeflower by vector path(s)",
      "Build Rimeflower by selected mask contours or by any contours on source image if no one selection is "
      "presented",
      "Build Rimeflower by fixed pattern to defined direction"};
  GSList* group = nullptr;
  for (int i = 0; i < 3; ++i) {
    emitter_[i] = gtk_radio_button_new_with_label(group, texts[i]);
    group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(emitter_[i]));
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(emitter_[i]));
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_widget_set_size_request(label, 420, -1);
    gtk_box_pack_start(GTK_BOX(emitters), emitter_[i], FALSE, FALSE, 0);
    g_signal_connect(emitter_[i], "toggled", G_CALLBACK(OnEmitter), this);
  }
  gtk_box_pack_start(GTK_BOX(page), Framed("Emitter", emitters), FALSE, FALSE, 0);

  GtkTable* lists = NewTable(3, 4);
  maskLabel_ = Label("Fixed pattern");
  growLabel_ = Label("Grow direction");
  backgroundLabel_ = Label("Background");
  gtk_table_attach_defaults(lists, Label("Effect kind"), 0, 1, 0, 1);
  gtk_table_attach_defaults(lists, AddList(RF_ID_EFFECT, "The Rimeflower effect kind"), 1, 2, 0, 1);
  gtk_table_attach_defaults(lists, Label("Render mode"), 2, 3, 0, 1);
  gtk_table_attach_defaults(lists, AddList(RF_ID_RENDER_MODE, "The mode of visualisation"), 3, 4, 0, 1);
  gtk_table_attach_defaults(lists, maskLabel_, 0, 1, 1, 2);
  gtk_table_attach_defaults(lists, AddList(RF_ID_MASK_KIND, "Choose a fixed pattern for Rimeflower growth"), 1, 2,
                            1, 2);
  gtk_table_attach_defaults(lists, growLabel_, 2, 3, 1, 2);
  gtk_table_attach_defaults(
      lists, AddList(RF_ID_GROW_DIRECT, "You can set how to patterns will grou up relatively the path"), 3, 4, 1, 2);
  alphaCut_ = gtk_check_button_new_with_label("Cutting scene by alpha-channel");
  g_signal_connect(alphaCut_, "toggled", G_CALLBACK(OnCheck), this);
  gtk_table_attach_defaults(lists, alphaCut_, 0, 2, 2, 3);
  gtk_table_attach_defaults(lists, backgroundLabel_, 2, 3, 2, 3);
  GtkWidget* background = AddColour("Background", "Fill background color", &ParameterRecord::BackgroundColor,
                                    RF_ID_BACKGROUND);
  gtk_table_attach(lists, background, 3, 4, 2, 3, GTK_FILL, GTK_FILL, 0, 0);
  gtk_box_pack_start(GTK_BOX(page), GTK_WIDGET(lists), FALSE, FALSE, 0);

  GtkTable* position = NewTable(3, 3);
  const char* centreTip =
      "The center of ice figure. You can adjust this parameter directly in preview by moving a crosshair mark "
      "with mouse";
  AddFloat(position, 0, 0, "Center X", centreTip, -100, 100, 1, {&ParameterRecord::CenterX, RF_ID_CENTER_X});
  AddFloat(position, 0, 1, "Center Y", centreTip, -100, 100, 1, {&ParameterRecord::CenterY, RF_ID_CENTER_Y});
  AddFloat(position, 0, 2, "Rotation by X", "Rotation of the scene about the X axis, in degrees", 0, 360, 0,
           {&ParameterRecord::RotateX, RF_ID_ROTATE_X});
  gtk_box_pack_start(GTK_BOX(page), Framed("Position of effect", GTK_WIDGET(position)), FALSE, FALSE, 0);

  GtkTable* growth = NewTable(9, 6);
  int index = 0;
  for (const ui::FieldSpec& f : ui::kFields) {
    if (f.page != ui::DialogPage::Geometry) continue;
    AddField(growth, index < 9 ? 0 : 3, index % 9, f.id);
    ++index;
  }
  gtk_box_pack_start(GTK_BOX(page), Framed("Growth", GTK_WIDGET(growth)), FALSE, FALSE, 0);
  return page;
}

GtkWidget* Dialog::BuildMaterial() {
  // Three frames of fields: their sliders line up when the captions share a width.
  labels_ = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
  GtkWidget* page = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(page), 8);

  GtkTable* material = NewTable(6, 3);
  GtkWidget* swatches = gtk_hbox_new(FALSE, 6);
  gtk_box_pack_start(GTK_BOX(swatches), gtk_label_new("Diffuse"), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(swatches),
                     AddColour("Diffuse", "Diffuse color of material", &ParameterRecord::Diffuse, RF_ID_DIFFUSE),
                     FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(swatches), gtk_label_new("Specular"), FALSE, FALSE, 12);
  gtk_box_pack_start(GTK_BOX(swatches),
                     AddColour("Specular", "Specular color of material", &ParameterRecord::Speculare,
                               RF_ID_SPECULARE),
                     FALSE, FALSE, 0);
  gtk_table_attach_defaults(material, swatches, 0, 3, 0, 1);
  int row = 1;
  for (int32_t id : {RF_ID_SHININESS, RF_ID_SHINSTRENGTH, RF_ID_SELF_ILLUMINATION, RF_ID_TRANSPARANCY,
                     RF_ID_BUMP_PERCENT})
    AddField(material, 0, row++, id);
  gtk_box_pack_start(GTK_BOX(page), Framed("Material", GTK_WIDGET(material)), FALSE, FALSE, 0);

  GtkTable* glass = NewTable(4, 3);
  useGlass_ = gtk_check_button_new_with_label("Make material as glass");
  g_signal_connect(useGlass_, "toggled", G_CALLBACK(OnCheck), this);
  gtk_table_attach_defaults(glass, useGlass_, 0, 3, 0, 1);
  row = 1;
  for (int32_t id : {RF_ID_REFRACTION, RF_ID_KOEFFICIENT, RF_ID_ABERRATION}) AddField(glass, 0, row++, id);
  gtk_box_pack_start(GTK_BOX(page), Framed("Glass", GTK_WIDGET(glass)), FALSE, FALSE, 0);

  GtkTable* light = NewTable(4, 3);
  AddFloat(light, 0, 0, "Light direction", "Direction on a light source", 0, 360, 0,
           {&ParameterRecord::LightAlpha, RF_ID_LIGHT});
  AddFloat(light, 0, 1, "Light elevation", "Direction on a light source", 0, 90, 0,
           {&ParameterRecord::LightBeta, RF_ID_LIGHT + 10000});
  GtkWidget* colour = gtk_hbox_new(FALSE, 6);
  gtk_box_pack_start(GTK_BOX(colour), gtk_label_new("Light color"), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(colour),
                     AddColour("Light color", "Color of light", &ParameterRecord::LightColor, RF_ID_LIGHT_COLOR),
                     FALSE, FALSE, 0);
  gtk_table_attach_defaults(light, colour, 0, 3, 2, 3);
  AddField(light, 0, 3, RF_ID_LIGHT_MULTIPLAY);
  gtk_box_pack_start(GTK_BOX(page), Framed("Light", GTK_WIDGET(light)), FALSE, FALSE, 0);
  g_object_unref(labels_);  // the labels keep the group
  labels_ = nullptr;
  return page;
}

GtkWidget* Dialog::BuildPreview() {
  GtkWidget* box = gtk_vbox_new(FALSE, 4);
  preview_ = gtk_drawing_area_new();
  gtk_widget_set_size_request(preview_, kPreviewWidth, kPreviewHeight);
  gtk_widget_add_events(preview_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                      GDK_SCROLL_MASK);
  g_signal_connect(preview_, "expose-event", G_CALLBACK(OnExpose), this);
  g_signal_connect(preview_, "size-allocate", G_CALLBACK(OnPreviewSize), this);
  g_signal_connect(preview_, "button-press-event", G_CALLBACK(OnPress), this);
  g_signal_connect(preview_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(preview_, "button-release-event", G_CALLBACK(OnRelease), this);
  g_signal_connect(preview_, "scroll-event", G_CALLBACK(OnScroll), this);
  gimp_help_set_help_data(preview_,
                          "Drag to move the view, scroll to zoom; a click places the centre of a single figure",
                          nullptr);
  GtkWidget* frame = gtk_frame_new(nullptr);
  gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(frame), preview_);
  gtk_box_pack_start(GTK_BOX(box), frame, TRUE, TRUE, 0);

  GtkWidget* bar = gtk_hbox_new(FALSE, 4);
  zoomOut_ = gtk_button_new_with_label("-");
  zoomLabel_ = gtk_label_new("100%");
  gtk_widget_set_size_request(zoomLabel_, 48, -1);
  zoomIn_ = gtk_button_new_with_label("+");
  status_ = Label("");
  g_signal_connect(zoomOut_, "clicked", G_CALLBACK(OnZoom), this);
  g_signal_connect(zoomIn_, "clicked", G_CALLBACK(OnZoom), this);
  gtk_box_pack_start(GTK_BOX(bar), zoomOut_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(bar), zoomLabel_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(bar), zoomIn_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(bar), status_, TRUE, TRUE, 8);
  gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
  return box;
}

GtkWidget* Dialog::BuildPresets() {
  GtkWidget* box = gtk_hbox_new(TRUE, 8);
  const char* titles[2] = {"Presets", "My presets"};
  for (int i = 0; i < 2; ++i) {
    presetLists_[i] = gtk_list_store_new(1, G_TYPE_STRING);
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(presetLists_[i]));
    g_object_unref(presetLists_[i]);
    presetViews_[i] = view;
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, titles[i], gtk_cell_renderer_text_new(),
                                                "text", 0, nullptr);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), "changed", G_CALLBACK(OnPresetSelected),
                     &presetHooks_[i]);
    g_signal_connect(view, "row-activated", G_CALLBACK(OnPresetOpened), &presetHooks_[i]);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scrolled, -1, 130);
    gtk_container_add(GTK_CONTAINER(scrolled), view);
    if (i == 0) {
      gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
      continue;
    }
    GtkWidget* column = gtk_vbox_new(FALSE, 4);
    gtk_box_pack_start(GTK_BOX(column), scrolled, TRUE, TRUE, 0);
    GtkWidget* buttons = gtk_hbox_new(TRUE, 4);
    GtkWidget* save = gtk_button_new_with_label("Save");
    deleteButton_ = gtk_button_new_with_label("Delete");
    g_signal_connect(save, "clicked", G_CALLBACK(OnSave), this);
    g_signal_connect(deleteButton_, "clicked", G_CALLBACK(OnDelete), this);
    gtk_box_pack_start(GTK_BOX(buttons), save, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(buttons), deleteButton_, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), column, TRUE, TRUE, 0);
  }
  FillList(Library::Basic);
  FillList(Library::User);
  return box;
}

// ---- State ----------------------------------------------------------------------

std::string Shown(const std::string& entry) {
  return presets::IsFolderEntry(entry) ? presets::FolderEntryName(entry) + "/" : entry;
}

void Dialog::FillList(Library library) {
  const int i = library == Library::Basic ? 0 : 1;
  refreshing_ = true;
  panel_.Refresh(library);
  gtk_list_store_clear(presetLists_[i]);
  for (const std::string& entry : panel_.Entries(library)) {
    GtkTreeIter it;
    gtk_list_store_append(presetLists_[i], &it);
    gtk_list_store_set(presetLists_[i], &it, 0, Shown(entry).c_str(), -1);
  }
  refreshing_ = false;
  if (deleteButton_) gtk_widget_set_sensitive(deleteButton_, panel_.DeleteEnabled());
}

void Dialog::Refresh() {
  refreshing_ = true;
  for (FieldHook& h : fields_)
    gtk_adjustment_set_value(GTK_ADJUSTMENT(h.adjustment), ui::FieldValue(record_, *h.field));
  for (FloatHook& h : floats_) gtk_adjustment_set_value(GTK_ADJUSTMENT(h.adjustment), record_.*h.binding.field);
  for (ColourHook& h : colours_) {
    const GimpRGB rgb = RgbOf(record_.*h.field);
    gimp_color_button_set_color(GIMP_COLOR_BUTTON(h.button), &rgb);
  }
  for (ListHook& h : lists_) gtk_combo_box_set_active(GTK_COMBO_BOX(h.combo), ui::ListIndexOf(record_, h.listId));
  if (record_.EmitterType < 3)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(emitter_[record_.EmitterType]), TRUE);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(alphaCut_), record_.AlphaCut != 0);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(useGlass_), record_.UseGlass != 0);
  refreshing_ = false;
  ApplyEnabling();
}

void Dialog::ApplyEnabling() {
  ui::EnablingInput in;
  in.effectIndex = ui::EffectListIndex(record_);
  in.emitterType = record_.EmitterType;
  in.alphaCut = record_.AlphaCut != 0;
  in.documentHasPaths = info_.hasPaths;
  in.imageHasTransparency = info_.hasTransparency;
  for (const ui::ControlState& s : ui::Enabling(in)) {
    GtkWidget* widgets[2] = {nullptr, nullptr};
    switch (s.id) {
      case RF_ID_EMITTER_PATHS:
      case RF_ID_EMITTER_CONTOURS:
      case RF_ID_EMITTER_FIXED: widgets[0] = emitter_[s.id - RF_ID_EMITTER_PATHS]; break;
      case RF_ID_BACKGROUND:
        widgets[0] = backgroundLabel_;
        widgets[1] = colours_.front().button;
        break;
      case RF_ID_MASK_KIND:
      case RF_ID_GROW_DIRECT:
        widgets[0] = s.id == RF_ID_MASK_KIND ? maskLabel_ : growLabel_;
        for (ListHook& h : lists_)
          if (h.listId == s.id) widgets[1] = h.combo;
        break;
      case RF_ID_PREVIEW:
        if (crosshair_ != s.enabled) {
          crosshair_ = s.enabled;
          gtk_widget_queue_draw(preview_);
        }
        break;
      default:
        if (auto it = byId_.find(s.id); it != byId_.end()) gimp_scale_entry_set_sensitive(it->second, s.enabled);
        break;
    }
    for (GtkWidget* w : widgets)
      if (w) gtk_widget_set_sensitive(w, s.enabled);
  }
}

void Dialog::Changed(int32_t controlId) {
  ui::MarkChanged(record_, controlId);
  ApplyEnabling();
  ScheduleRender();
}

void Dialog::ScheduleRender() {
  if (!pending_) pending_ = g_idle_add_full(G_PRIORITY_LOW, RenderNow, this, nullptr);
}

ui::PreviewView Dialog::View() const {
  return ui::PreviewView{zoom_.Scale(), zoom_.OffsetX(), zoom_.OffsetY(), zoom_.VisibleWidth(),
                         zoom_.VisibleHeight()};
}

gboolean Dialog::RenderNow(gpointer data) {
  auto* self = static_cast<Dialog*>(data);
  self->pending_ = 0;
  const ui::PreviewView view = self->View();
  if (view.width < 1 || view.height < 1) return FALSE;
  const gint64 start = g_get_monotonic_time();
  const int16_t result = self->session_.Render(view, false, self->picture_);
  if (result != 0) {
    gtk_label_set_text(GTK_LABEL(self->status_),
                       ("The preview failed: " + DescribeResult(result)).c_str());
    return FALSE;
  }
  self->shown_ = view;
  char text[64];
  std::snprintf(text, sizeof text, "%d x %d in %d ms", view.width, view.height,
                int((g_get_monotonic_time() - start) / 1000));
  gtk_label_set_text(GTK_LABEL(self->status_), text);
  gtk_widget_queue_draw(self->preview_);
  return FALSE;
}

void Dialog::ZoomChanged() {
  gtk_label_set_text(GTK_LABEL(zoomLabel_), zoom_.Label().c_str());
  gtk_widget_set_sensitive(zoomIn_, zoom_.CanZoomIn());
  gtk_widget_set_sensitive(zoomOut_, zoom_.CanZoomOut());
  ScheduleRender();
}

// ---- Signals ----------------------------------------------------------------------

void Dialog::OnField(GtkAdjustment* adjustment, FieldHook* hook) {
  Dialog* self = hook->dialog;
  if (self->refreshing_) return;
  ui::StoreFieldValue(self->record_, *hook->field, float(gtk_adjustment_get_value(adjustment)));
  self->Changed(hook->field->id);
}

void Dialog::OnFloat(GtkAdjustment* adjustment, FloatHook* hook) {
  Dialog* self = hook->dialog;
  if (self->refreshing_) return;
  self->record_.*hook->binding.field = float(gtk_adjustment_get_value(adjustment));
  self->Changed(hook->binding.controlId);
}

void Dialog::OnColour(GtkWidget*, ColourHook* hook) {
  Dialog* self = hook->dialog;
  if (self->refreshing_) return;
  GimpRGB rgb;
  gimp_color_button_get_color(GIMP_COLOR_BUTTON(hook->button), &rgb);
  guchar r, g, b;
  gimp_rgb_get_uchar(&rgb, &r, &g, &b);
  self->record_.*hook->field = uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
  self->Changed(hook->controlId);
}

void Dialog::OnList(GtkComboBox* combo, ListHook* hook) {
  Dialog* self = hook->dialog;
  const int index = gtk_combo_box_get_active(combo);
  if (self->refreshing_ || index < 0) return;
  ui::StoreListIndex(self->record_, hook->listId, index);
  self->Changed(hook->listId);
}

void Dialog::OnEmitter(GtkToggleButton* button, Dialog* self) {
  if (self->refreshing_ || !gtk_toggle_button_get_active(button)) return;
  for (int i = 0; i < 3; ++i)
    if (GTK_WIDGET(button) == self->emitter_[i] && self->record_.EmitterType != i) {
      self->record_.EmitterType = uint8_t(i);
      self->Changed(RF_ID_EMITTER_PATHS + i);
    }
}

void Dialog::OnCheck(GtkToggleButton* button, Dialog* self) {
  if (self->refreshing_) return;
  const bool on = gtk_toggle_button_get_active(button);
  if (GTK_WIDGET(button) == self->alphaCut_) {
    self->record_.AlphaCut = on ? 1 : 0;
    self->Changed(RF_ID_ALPHA_CUT);
  } else {
    self->record_.UseGlass = on ? 1 : 0;
    self->Changed(RF_ID_USE_GLASS);
  }
}

gboolean Dialog::OnExpose(GtkWidget* widget, GdkEventExpose*, Dialog* self) {
  GdkWindow* window = widget->window;
  GtkStyle* style = widget->style;
  const int w = widget->allocation.width, h = widget->allocation.height;
  gdk_draw_rectangle(window, style->dark_gc[GTK_STATE_NORMAL], TRUE, 0, 0, w, h);
  const ui::PreviewPicture& p = self->picture_;
  if (p.width < 1 || p.height < 1) return TRUE;
  self->rgb_.resize(size_t(p.width) * size_t(p.height) * 3);
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    self->rgb_[i * 3] = uint8_t(p.pixels[i] >> 16);
    self->rgb_[i * 3 + 1] = uint8_t(p.pixels[i] >> 8);
    self->rgb_[i * 3 + 2] = uint8_t(p.pixels[i]);
  }
  const int x0 = self->zoom_.PlacementX(), y0 = self->zoom_.PlacementY();
  gdk_draw_rgb_image(window, style->black_gc, x0, y0, p.width, p.height, GDK_RGB_DITHER_NONE, self->rgb_.data(),
                     p.width * 3);
  if (self->crosshair_ && self->info_.width > 0) {
    // Where the centre falls: -100..100 across the filter area, y upwards.
    const ui::PreviewView& v = self->shown_;
    const double ix = (self->record_.CenterX + 100.0) / 200.0 * self->info_.width;
    const double iy = (100.0 - self->record_.CenterY) / 200.0 * self->info_.height;
    const int cx = x0 + int(ix / v.scale) - v.offsetX, cy = y0 + int(iy / v.scale) - v.offsetY;
    for (int shadow = 1; shadow >= 0; --shadow) {
      GdkGC* gc = shadow ? style->black_gc : style->white_gc;
      gdk_draw_line(window, gc, cx - 10 + shadow, cy + shadow, cx + 10 + shadow, cy + shadow);
      gdk_draw_line(window, gc, cx + shadow, cy - 10 + shadow, cx + shadow, cy + 10 + shadow);
    }
  }
  return TRUE;
}

void Dialog::OnPreviewSize(GtkWidget*, GtkAllocation* allocation, Dialog* self) {
  self->zoom_.SetSizes(self->info_.width, self->info_.height, allocation->width, allocation->height);
  self->ZoomChanged();
}

gboolean Dialog::OnPress(GtkWidget*, GdkEventButton* event, Dialog* self) {
  if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
  self->pressed_ = true;
  self->dragged_ = false;
  self->pressX_ = event->x;
  self->pressY_ = event->y;
  self->pressOffsetX_ = self->zoom_.OffsetX();
  self->pressOffsetY_ = self->zoom_.OffsetY();
  return TRUE;
}

gboolean Dialog::OnMotion(GtkWidget*, GdkEventMotion* event, Dialog* self) {
  if (!self->pressed_) return FALSE;
  const double dx = event->x - self->pressX_, dy = event->y - self->pressY_;
  if (!self->dragged_ && std::abs(dx) < 4 && std::abs(dy) < 4) return TRUE;
  self->dragged_ = true;
  if (self->zoom_.MoveTo(self->pressOffsetX_ - int32_t(dx), self->pressOffsetY_ - int32_t(dy)))
    self->ScheduleRender();
  return TRUE;
}

gboolean Dialog::OnRelease(GtkWidget*, GdkEventButton* event, Dialog* self) {
  if (event->button != 1 || !self->pressed_) return FALSE;
  self->pressed_ = false;
  if (self->dragged_ || !self->crosshair_ || self->info_.width < 1 || self->info_.height < 1) return TRUE;
  const ui::PreviewView& v = self->shown_;
  const double ix = (event->x - self->zoom_.PlacementX() + v.offsetX) * v.scale;
  const double iy = (event->y - self->zoom_.PlacementY() + v.offsetY) * v.scale;
  const float x = float(std::clamp(ix / self->info_.width * 200.0 - 100.0, -100.0, 100.0));
  const float y = float(std::clamp(100.0 - iy / self->info_.height * 200.0, -100.0, 100.0));
  self->record_.CenterX = x;
  self->record_.CenterY = y;
  self->refreshing_ = true;
  gtk_adjustment_set_value(GTK_ADJUSTMENT(self->byId_[RF_ID_CENTER_X]), x);
  gtk_adjustment_set_value(GTK_ADJUSTMENT(self->byId_[RF_ID_CENTER_Y]), y);
  self->refreshing_ = false;
  self->Changed(RF_ID_CENTER_X);
  return TRUE;
}

gboolean Dialog::OnScroll(GtkWidget*, GdkEventScroll* event, Dialog* self) {
  const bool changed = event->direction == GDK_SCROLL_UP     ? self->zoom_.ZoomIn()
                       : event->direction == GDK_SCROLL_DOWN ? self->zoom_.ZoomOut()
                                                             : false;
  if (changed) self->ZoomChanged();
  return TRUE;
}

void Dialog::OnZoom(GtkWidget* button, Dialog* self) {
  if (button == self->zoomIn_ ? self->zoom_.ZoomIn() : self->zoom_.ZoomOut()) self->ZoomChanged();
}

void Dialog::OnPresetSelected(GtkTreeSelection* selection, PresetHook* hook) {
  Dialog* self = hook->dialog;
  if (self->refreshing_) return;
  GtkTreeModel* model = nullptr;
  GtkTreeIter it;
  if (!gtk_tree_selection_get_selected(selection, &model, &it)) return;
  GtkTreePath* path = gtk_tree_model_get_path(model, &it);
  const int index = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  const presets::SelectOutcome outcome = self->panel_.Select(hook->library, index, self->record_);
  gtk_widget_set_sensitive(self->deleteButton_, self->panel_.DeleteEnabled());
  if (outcome == presets::SelectOutcome::Loaded || outcome == presets::SelectOutcome::DefaultApplied) {
    self->record_.SceneDirty = 1;
    self->Refresh();
    self->ScheduleRender();
  } else if (outcome == presets::SelectOutcome::LoadFailed) {
    gtk_label_set_text(GTK_LABEL(self->status_), "The preset could not be read");
  }
}

void Dialog::OnPresetOpened(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, PresetHook* hook) {
  Dialog* self = hook->dialog;
  if (self->panel_.Open(hook->library, gtk_tree_path_get_indices(path)[0])) {
    // The panel made the list again; show it without selecting anything.
    const int i = hook->library == Library::Basic ? 0 : 1;
    self->refreshing_ = true;
    gtk_list_store_clear(self->presetLists_[i]);
    for (const std::string& entry : self->panel_.Entries(hook->library)) {
      GtkTreeIter it;
      gtk_list_store_append(self->presetLists_[i], &it);
      gtk_list_store_set(self->presetLists_[i], &it, 0, Shown(entry).c_str(), -1);
    }
    self->refreshing_ = false;
  }
}

int Ask(GtkWidget* parent, GtkMessageType type, GtkButtonsType buttons, const char* title, const char* text) {
  GtkWidget* box =
      gtk_message_dialog_new(GTK_WINDOW(parent), GTK_DIALOG_MODAL, type, buttons, "%s", text);
  gtk_window_set_title(GTK_WINDOW(box), title);
  const int answer = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  return answer;
}

void Dialog::OnSave(GtkWidget*, Dialog* self) {
  presets::PresetPanel::SaveQuestions questions;
  questions.askName = [self](std::string& name) {
    GtkWidget* ask = gimp_dialog_new("Save preset", "rimeflower-gimp-preset", self->window_, GTK_DIALOG_MODAL,
                                     nullptr, nullptr, "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK,
                                     nullptr);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry), 255);
    gtk_entry_set_text(GTK_ENTRY(entry), name.c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(ask), GTK_RESPONSE_OK);
    GtkWidget* box = gtk_vbox_new(FALSE, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    gtk_box_pack_start(GTK_BOX(box), Label("Preset name"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(ask))), box, TRUE, TRUE, 0);
    gtk_widget_show_all(ask);
    const bool ok = gimp_dialog_run(GIMP_DIALOG(ask)) == GTK_RESPONSE_OK;
    if (ok) name = gtk_entry_get_text(GTK_ENTRY(entry));
    gtk_widget_destroy(ask);
    return ok;
  };
  questions.confirmOverwrite = [self](const std::string&) {
    GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(self->window_), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                            GTK_BUTTONS_NONE, "%s", presets::kOverwriteQuestion);
    gtk_window_set_title(GTK_WINDOW(box), presets::kOverwriteTitle);
    gtk_dialog_add_buttons(GTK_DIALOG(box), "_Cancel", GTK_RESPONSE_CANCEL, "_No", GTK_RESPONSE_NO, "_Yes",
                           GTK_RESPONSE_YES, nullptr);
    const int answer = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return answer == GTK_RESPONSE_YES  ? presets::OverwriteAnswer::Yes
           : answer == GTK_RESPONSE_NO ? presets::OverwriteAnswer::No
                                       : presets::OverwriteAnswer::Cancel;
  };
  questions.refuseName = [self](const std::string& problem) {
    Ask(self->window_, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "Save preset", problem.c_str());
  };
  const presets::SaveOutcome outcome = self->panel_.Save(self->record_, questions);
  if (outcome == presets::SaveOutcome::Failed)
    Ask(self->window_, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, presets::kSaveErrorTitle, presets::kSaveErrorText);
  if (outcome == presets::SaveOutcome::Saved || outcome == presets::SaveOutcome::Overwritten)
    self->FillList(Library::User);
}

void Dialog::OnDelete(GtkWidget*, Dialog* self) {
  const presets::DeleteOutcome outcome = self->panel_.DeleteSelected();
  if (outcome == presets::DeleteOutcome::Failed)
    gtk_label_set_text(GTK_LABEL(self->status_), "The preset could not be deleted");
  if (outcome == presets::DeleteOutcome::Deleted || outcome == presets::DeleteOutcome::FolderHidden) {
    self->refreshing_ = true;
    gtk_list_store_clear(self->presetLists_[1]);
    for (const std::string& entry : self->panel_.Entries(Library::User)) {
      GtkTreeIter it;
      gtk_list_store_append(self->presetLists_[1], &it);
      gtk_list_store_set(self->presetLists_[1], &it, 0, Shown(entry).c_str(), -1);
    }
    self->refreshing_ = false;
    gtk_widget_set_sensitive(self->deleteButton_, self->panel_.DeleteEnabled());
  }
}

// The Help button and F1: the manual's page about the tab in front, in the
// user's browser.
void ShowManual(const gchar*, gpointer data) {
  auto* pages = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(data), "rf-pages"));
  const ui::DialogPage page = pages && gtk_notebook_get_current_page(GTK_NOTEBOOK(pages)) == 1
                                  ? ui::DialogPage::Material
                                  : ui::DialogPage::Geometry;
  const std::string path = host::DeriveFolders(ModulePath()).helpFolder + ui::HelpPageFor(page);
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (uri && !gtk_show_uri(nullptr, uri, GDK_CURRENT_TIME, nullptr))
    g_message("Rimeflower: the manual could not be opened: %s", path.c_str());
  g_free(uri);
}

bool Dialog::Run() {
  session_.Begin();
  session_.ReadLayers();
  info_ = session_.Document();

  window_ = gimp_dialog_new("Rimeflower", "rimeflower-gimp", nullptr, GtkDialogFlags(0), ShowManual,
                            "plug-in-rimeflower", "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_alternative_button_order(GTK_DIALOG(window_), GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, -1);
  gtk_dialog_set_default_response(GTK_DIALOG(window_), GTK_RESPONSE_OK);
  gimp_window_set_transient(GTK_WINDOW(window_));

  GtkWidget* main = gtk_hbox_new(FALSE, 12);
  gtk_container_set_border_width(GTK_CONTAINER(main), 12);
  GtkWidget* left = gtk_vbox_new(FALSE, 8);
  gtk_box_pack_start(GTK_BOX(left), BuildPreview(), TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(left), BuildPresets(), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(main), left, TRUE, TRUE, 0);
  GtkWidget* pages = gtk_notebook_new();
  gtk_notebook_append_page(GTK_NOTEBOOK(pages), BuildGeometry(), gtk_label_new("Geometry"));
  gtk_notebook_append_page(GTK_NOTEBOOK(pages), BuildMaterial(), gtk_label_new("Material"));
  gtk_box_pack_start(GTK_BOX(main), pages, FALSE, FALSE, 0);
  g_object_set_data(G_OBJECT(window_), "rf-pages", pages);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(window_))), main, TRUE, TRUE, 0);
  Refresh();
  gtk_widget_show_all(window_);
  // The first field takes the keyboard, so that a value can be typed at once.
  gtk_widget_grab_focus(GTK_WIDGET(GIMP_SCALE_ENTRY_SPINBUTTON(byId_[RF_ID_RANDOM_SEED])));

  const bool ok = gimp_dialog_run(GIMP_DIALOG(window_)) == GTK_RESPONSE_OK;
  gtk_widget_destroy(window_);
  return ok;
}

}  // namespace

bool RunDialog(GimpDocument& d, ParameterRecord& record, std::string& error) {
  gimp_ui_init("rimeflower-gimp", TRUE);
  // The dialog edits a working copy; only the 47 values go back, so that
  // nothing the preview kept (its scene, its texture) leaves the dialog.
  ParameterRecord working;
  ResetToDefaults(working, true);
  const std::vector<uint8_t> values = StoredValues(record);
  ReadStoredValues(values.data(), values.size(), working);

  PluginHost host;
  RunOptions options;
  options.colourServices = false;
  bool ok = false;
  bool shown = false;
  host.Serve(d.doc, options, [&](host::FilterRecord& fr) {
    shown = true;
    Dialog dialog(fr, working);
    ok = dialog.Run();
  });
  if (!shown) {
    error = "The dialog could not be shown: nothing in this layer can be filtered.";
    return false;
  }
  if (ok) {
    const std::vector<uint8_t> chosen = StoredValues(working);
    ReadStoredValues(chosen.data(), chosen.size(), record);
  }
  return ok;
}

}  // namespace rf::tools::gimp
