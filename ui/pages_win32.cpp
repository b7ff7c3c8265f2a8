// The Geometry and Material pages: their controls set up from the record,
// and every change written into it at once.
#include "ui/dialog_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/dialog_resources.h"
#include "ui/dialog_win32.h"

namespace rf::ui {

using controls::FindControlAs;
using controls::TContanerColor;
using controls::TRotor;
using controls::TSpinEdit;

namespace {

constexpr int32_t kColourIds[] = {RF_ID_BACKGROUND, RF_ID_DIFFUSE, RF_ID_SPECULARE, RF_ID_LIGHT_COLOR};

uint32_t* ColourField(ParameterRecord& r, int32_t id) {
  switch (id) {
    case RF_ID_BACKGROUND: return &r.BackgroundColor;
    case RF_ID_DIFFUSE: return &r.Diffuse;
    case RF_ID_SPECULARE: return &r.Speculare;
    case RF_ID_LIGHT_COLOR: return &r.LightColor;
    default: return nullptr;
  }
}

const char* ColourTip(int32_t id) {
  switch (id) {
    case RF_ID_BACKGROUND: return "Fill background color";
    case RF_ID_DIFFUSE: return "Diffuse color of material";
    case RF_ID_SPECULARE: return "Specular color of material";
    default: return "Color of light";
  }
}

// The labels that go grey with the control they name.
int32_t LabelOf(int32_t id) {
  switch (id) {
    case RF_ID_MASK_KIND: return RF_ID_LABEL_MASK_KIND;
    case RF_ID_GROW_DIRECT: return RF_ID_LABEL_GROW_DIRECT;
    case RF_ID_POSITION: return RF_ID_LABEL_POSITION;
    case RF_ID_BACKGROUND: return RF_ID_LABEL_BACKGROUND;
    default: return 0;
  }
}

}  // namespace

bool PageWindow::Create(HWND parent) {
  const int32_t templateId = which_ == DialogPage::Geometry ? RF_IDD_GEOMETRY : RF_IDD_MATERIAL;
  window_ = CreateDialogParamA(dialog_.Instance(), MAKEINTRESOURCEA(templateId), parent, Proc,
                               reinterpret_cast<LPARAM>(this));
  if (!window_) return false;
  Setup();
  Refresh();
  ShowWindow(window_, SW_SHOW);
  return true;
}

INT_PTR CALLBACK PageWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RouteDialogMessage<PageWindow>(window, message, wParam, lParam);
}

TContanerColor* PageWindow::Swatch(int32_t id) const {
  return FindControlAs<TContanerColor>(GetDlgItem(window_, id), controls::kContanerColorClass);
}

void PageWindow::Setup() {
  HWND w = window_;
  const DialogFonts& fonts = dialog_.Fonts();
  // Captions bold; everything else in the dialog's plain font.
  for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[32] = {};
    GetClassNameA(c, cls, sizeof cls);
    const LONG style = LONG(GetWindowLongPtrA(c, GWL_STYLE));
    const bool label = lstrcmpiA(cls, "Static") == 0;
    const bool group = lstrcmpiA(cls, "Button") == 0 && (style & 0x0F) == BS_GROUPBOX;
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(label || group ? fonts.caption : fonts.normal), FALSE);
  }
  for (const FieldSpec& f : kFields) {
    if (f.page != which_) continue;
    const FieldSetup s = SetupOf(f);
    TSpinEdit** holder = &fields_[&f - kFields];
    TSpinEdit::Create(holder, w, f.id, f.id + RF_ID_LABEL_OFFSET, s.min, s.max, s.widestMin, s.widestMax, s.caption,
                      f.tip, s.integer, s.rangeEditable, false, s.defaultValue);
    SetDlgItemTextA(w, f.id + RF_ID_LABEL_OFFSET, s.caption);
    if (*holder) {
      SendMessageA((*holder)->Edit(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts.normal), FALSE);
      SendMessageA((*holder)->Label(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts.caption), FALSE);
      // A help request over a field asks for the page about the parameters.
      SetWindowContextHelpId((*holder)->window, DWORD(kParameterTopic));
    }
  }
  for (int32_t id : kColourIds)
    if (GetDlgItem(w, id)) controls::AttachTip(GetDlgItem(w, id), ColourTip(id));
  if (which_ == DialogPage::Geometry)
    SetupGeometry();
  else
    SetupMaterial();
}

void PageWindow::SetupGeometry() {
  HWND w = window_;
  const int32_t density = dialog_.Density();
  for (int32_t id : {RF_ID_EFFECT, RF_ID_RENDER_MODE, RF_ID_MASK_KIND, RF_ID_GROW_DIRECT}) {
    HWND list = GetDlgItem(w, id);
    for (const std::string& entry : ListEntries(id))
      SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  controls::AttachTip(GetDlgItem(w, RF_ID_RENDER_MODE), "The mode of visualisation");
  controls::AttachTip(GetDlgItem(w, RF_ID_EFFECT), "The Rimeflower effect kind");
  controls::AttachTip(GetDlgItem(w, RF_ID_MASK_KIND), "Choose a fixed pattern for Rimeflower growth");
  controls::AttachTip(GetDlgItem(w, RF_ID_GROW_DIRECT),
                      "You can set how to patterns will grou up relatively the path");

  TSpinEdit::Create(&centreX_, w, RF_ID_CENTER_X, RF_ID_LABEL_X, -100, 100, -100, 100, "Center X",
                    "Enter X coordinate of center", false, false, false, 0);
  TSpinEdit::Create(&centreY_, w, RF_ID_CENTER_Y, RF_ID_LABEL_Y, -100, 100, -100, 100, "Center Y",
                    "Enter Y coordinate of center", false, false, false, 0);
  for (TSpinEdit* f : {centreX_, centreY_})
    if (f) SendMessageA(f->Edit(), WM_SETFONT, reinterpret_cast<WPARAM>(dialog_.Fonts().normal), FALSE);
  position_ = FindControlAs<TRotor>(GetDlgItem(w, RF_ID_POSITION), controls::kRotorClass);
  if (position_) {
    position_->SetKind(controls::RotorKind::Polar, true);
    position_->SetCaption("Position of effect");
    if (centreX_ && centreY_) position_->SetPadEdits(centreX_->Edit(), centreY_->Edit());
    position_->SetDefaults(0, 0);
    controls::AttachTip(position_->window,
                        "The center of ice figure. You can adjust this parameter directly in preview by moving a "
                        "crosshair mark with mouse");
  }
  HWND rotate = GetDlgItem(w, RF_ID_ROTATE_X);
  const int32_t side = 2 * RotationDialRadius(density);
  // The template's box scales with the font, the dial with the density; where
  // the dial comes out taller than its box it rises, with its caption, into
  // the room above them, so that it stays clear of the Growth group below.
  HWND caption = GetDlgItem(w, RF_ID_LABEL_ROTATE_X);
  RECT box{}, title{}, above{}, growth{};
  GetWindowRect(rotate, &box);
  GetWindowRect(caption, &title);
  GetWindowRect(GetDlgItem(w, RF_ID_BACKGROUND), &above);
  GetWindowRect(GetDlgItem(w, RF_ID_GROUP_GROWTH), &growth);
  for (RECT* r : {&box, &title, &above, &growth}) MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(r), 2);
  const int32_t gap = Scaled(4, density);
  const int32_t rise = std::clamp<int32_t>(box.top + side - (growth.top - gap), 0,
                                           std::max<int32_t>(0, title.top - above.bottom - gap));
  SetWindowPos(caption, nullptr, title.left, title.top - rise, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  // The position pad's caption stays on the same line.
  HWND padCaption = GetDlgItem(w, RF_ID_LABEL_POSITION);
  RECT pad{};
  GetWindowRect(padCaption, &pad);
  MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&pad), 2);
  SetWindowPos(padCaption, nullptr, pad.left, pad.top - rise, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetWindowPos(rotate, nullptr, box.left, box.top - rise, side, side, SWP_NOZORDER);
  rotate_ = FindControlAs<TRotor>(rotate, controls::kRotorClass);
  if (rotate_) {
    rotate_->SetKind(controls::RotorKind::AngleDial, false, side * 11 / 25);
    rotate_->SetKnobInset(RotationKnobInset(density));
    rotate_->SetCaption("Rotation by X");
    rotate_->SetDefaults(0, 0);
    SendMessageA(rotate_->Edit(), WM_SETFONT, reinterpret_cast<WPARAM>(dialog_.Fonts().normal), FALSE);
    controls::AttachTip(rotate_->window, "Rotation of the scene about the X axis, in degrees");
  }
}

void PageWindow::SetupMaterial() {
  light_ = FindControlAs<TRotor>(GetDlgItem(window_, RF_ID_LIGHT), controls::kRotorClass);
  if (!light_) return;
  light_->SetKind(controls::RotorKind::Polar, false);
  light_->SetCaption("Light direction");
  light_->SetDefaults(0, 45);
  controls::AttachTip(light_->window, "Direction on a light source");
}

void PageWindow::Refresh() {
  HWND w = window_;
  ParameterRecord& r = dialog_.Record();
  refreshing_ = true;
  for (const FieldSpec& f : kFields)
    if (TSpinEdit* field = fields_[&f - kFields]) field->SetValue(FieldValue(r, f));
  for (int32_t id : kColourIds)
    if (TContanerColor* swatch = Swatch(id)) swatch->SetColour(*ColourField(r, id));
  if (which_ == DialogPage::Geometry) {
    for (int32_t id = RF_ID_EMITTER_PATHS; id <= RF_ID_EMITTER_FIXED; ++id)
      CheckDlgButton(w, id, r.EmitterType == id - RF_ID_EMITTER_PATHS ? BST_CHECKED : BST_UNCHECKED);
    for (int32_t id : {RF_ID_EFFECT, RF_ID_RENDER_MODE, RF_ID_MASK_KIND, RF_ID_GROW_DIRECT})
      SendDlgItemMessageA(w, id, CB_SETCURSEL, ListIndexOf(r, id), 0);
    CheckDlgButton(w, RF_ID_ALPHA_CUT, r.AlphaCut ? BST_CHECKED : BST_UNCHECKED);
    if (centreX_) centreX_->SetValue(r.CenterX);
    if (centreY_) centreY_->SetValue(r.CenterY);
    if (position_) position_->SetPoint(r.CenterX, -r.CenterY);
    if (rotate_) rotate_->SetValue(r.RotateX, 0);
  } else {
    CheckDlgButton(w, RF_ID_USE_GLASS, r.UseGlass ? BST_CHECKED : BST_UNCHECKED);
    if (light_) light_->SetValue(r.LightAlpha, r.LightBeta);
  }
  refreshing_ = false;
}

void PageWindow::ApplyEnabling() {
  if (which_ != DialogPage::Geometry) return;
  const ParameterRecord& r = dialog_.Record();
  const DocumentInfo& doc = dialog_.Document();
  EnablingInput in;
  in.effectIndex = EffectListIndex(r);
  in.emitterType = r.EmitterType;
  in.alphaCut = r.AlphaCut != 0;
  in.documentHasPaths = doc.hasPaths;
  in.imageHasTransparency = doc.hasTransparency;
  for (const ControlState& s : Enabling(in)) {
    if (s.id == RF_ID_PREVIEW) {
      dialog_.SetCrosshair(s.enabled);
      continue;
    }
    if (HWND c = GetDlgItem(window_, s.id)) EnableWindow(c, s.enabled);
    if (const int32_t label = LabelOf(s.id)) EnableWindow(GetDlgItem(window_, label), s.enabled);
  }
}

void PageWindow::ShowCentre(float x, float y) {
  if (centreX_) centreX_->SetValue(x);
  if (centreY_) centreY_->SetValue(y);
  if (position_) position_->SetPoint(x, -y);
}

void PageWindow::Command(int32_t id, int32_t code, LPARAM lParam) {
  if (refreshing_) return;
  HWND w = window_;
  ParameterRecord& r = dialog_.Record();
  if (const FieldSpec* f = FindField(id)) {
    // Numeric fields send their code as the second parameter.
    if (TSpinEdit* field = fields_[f - kFields]) {
      StoreFieldValue(r, *f, field->Value());
      dialog_.Changed(id);
    }
    return;
  }
  switch (id) {
    case RF_ID_EMITTER_PATHS:
    case RF_ID_EMITTER_CONTOURS:
    case RF_ID_EMITTER_FIXED:
      if (code == BN_CLICKED && IsDlgButtonChecked(w, id) == BST_CHECKED &&
          r.EmitterType != uint8_t(id - RF_ID_EMITTER_PATHS)) {
        r.EmitterType = uint8_t(id - RF_ID_EMITTER_PATHS);
        dialog_.Changed(id);
      }
      return;
    case RF_ID_ALPHA_CUT:
    case RF_ID_USE_GLASS:
      if (code == BN_CLICKED) {
        (id == RF_ID_ALPHA_CUT ? r.AlphaCut : r.UseGlass) = IsDlgButtonChecked(w, id) == BST_CHECKED ? 1 : 0;
        dialog_.Changed(id);
      }
      return;
    case RF_ID_EFFECT:
    case RF_ID_RENDER_MODE:
    case RF_ID_MASK_KIND:
    case RF_ID_GROW_DIRECT:
      if (code == CBN_SELCHANGE) {
        const LRESULT index = SendDlgItemMessageA(w, id, CB_GETCURSEL, 0, 0);
        if (index < 0) return;
        StoreListIndex(r, id, int(index));
        dialog_.Changed(id);
      }
      return;
    case RF_ID_BACKGROUND:
    case RF_ID_DIFFUSE:
    case RF_ID_SPECULARE:
    case RF_ID_LIGHT_COLOR:
      if (TContanerColor* swatch = Swatch(id); swatch && code == 0 && reinterpret_cast<HWND>(lParam) == swatch->window) {
        *ColourField(r, id) = swatch->Colour();
        dialog_.Changed(id);
      }
      return;
    case RF_ID_CENTER_X:
    case RF_ID_CENTER_Y:
      if (!centreX_ || !centreY_) return;
      r.CenterX = centreX_->Value();
      r.CenterY = centreY_->Value();
      if (position_) position_->SetPoint(r.CenterX, -r.CenterY);
      dialog_.CentreMoved();
      dialog_.Changed(id);
      return;
    case RF_ID_POSITION:
      if (position_) {
        float x = 0, y = 0;
        position_->GetPoint(x, y);
        r.CenterX = x;
        r.CenterY = y;
        if (centreX_) centreX_->SetValue(x);
        if (centreY_) centreY_->SetValue(y);
        dialog_.CentreMoved();
        dialog_.Changed(id);
      }
      return;
    case RF_ID_ROTATE_X:
      if (rotate_) {
        r.RotateX = rotate_->Value();
        dialog_.Changed(id);
      }
      return;
    case RF_ID_LIGHT:
      if (light_) {
        r.LightAlpha = light_->Value();
        r.LightBeta = light_->Elevation();
        dialog_.Changed(id);
      }
      return;
    default:
      return;
  }
}

INT_PTR PageWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam), lParam);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return MainDialog::ControlColour(reinterpret_cast<HDC>(wParam), dialog_.Background());
    case WM_DESTROY:
      // The kept scene belongs to the pages' values; it goes with them.
      dialog_.Host().ReleaseScene();
      return FALSE;
  }
  return FALSE;
}

}  // namespace rf::ui
