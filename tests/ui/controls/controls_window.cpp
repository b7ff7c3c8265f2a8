// One window holding every control of the toolkit, for scenarios driven from
// outside with real mouse and keyboard input (scripts/windows-ui-test.sh,
// under Wine with a virtual display).
//
//   controls_window.exe SCENARIO FOLDER
//
// writes FOLDER\layout.txt (every control's screen rectangle, for the driver
// to aim at), records every notification the controls send, and when
// FOLDER\done appears (or after 60 s) checks what the scenario expects, writes
// FOLDER\result.txt and exits 0 when it held, 1 when not. "badinput" runs by
// itself; "show" only shows the window (for screenshots).
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/controls/controls_win32.h"

using namespace rf::controls;

namespace {

// ---- What the page heard ------------------------------------------------------

struct Note {
  int32_t id;
  int32_t code;
  float value;
};

struct Page {
  HWND window = nullptr;
  std::string folder, scenario;
  int32_t dpi = 96;
  HFONT font = nullptr;
  HBRUSH background = nullptr;
  std::vector<Note> notes;
  std::string problems;
  // Controls.
  TSpinEdit *density = nullptr, *width = nullptr, *strength = nullptr, *centreX = nullptr, *centreY = nullptr;
  TMacSlider* slider = nullptr;
  TContanerColor* colour = nullptr;
  TPreviewContaner *preview = nullptr, *navigator = nullptr;
  TRotor *pad = nullptr, *rotate = nullptr, *light = nullptr, *mapped = nullptr;
  // The dialog's side of the previews.
  PreviewShared shared;
  float recordX = 0.0f, recordY = 0.0f;
  int32_t setterCalls = 0, refreshes = 0;
  // What the host's colour picker was asked.
  int32_t pickerCalls = 0;
  std::string pickerPrompt;
};

Page g_page;

enum Id : int32_t {
  kDensity = 101, kWidth = 102, kStrength = 103, kSlider = 104, kColour = 105, kColourOff = 106,
  kButton = 110, kFire = 111, kGlass = 112, kStrip = 120, kPanel = 121, kPlus = 130, kMinus = 131,
  kPreview = 1002, kNavigator = 1005, kCentreX = 1036, kCentreY = 1037, kPad = 1935, kRotate = 1936,
  kLight = 1262, kMapped = 1940,
  kLabelBase = 200,
};

void Problem(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_page.problems += text;
  g_page.problems += '\n';
}

int32_t Scaled(int32_t v) { return MulDiv(v, g_page.dpi, 96); }

HWND Child(const char* cls, const char* text, DWORD style, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id,
           DWORD exStyle = 0) {
  // A numeric field's slider keeps its 20 pixels; only its edit box grows.
  const int32_t height = lstrcmpA(cls, kSpinEditClass) == 0 ? Scaled(h - 20) + 20 : Scaled(h);
  HWND c = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Scaled(x), Scaled(y), Scaled(w),
                           height, g_page.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
  if (c) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(g_page.font), FALSE);
  return c;
}

void Label(const char* text, int32_t x, int32_t y, int32_t w, int32_t id) {
  Child("STATIC", text, SS_LEFT, x, y, w, 14, id);
}

// ---- The dialog's callbacks ---------------------------------------------------------

void CentreSetter(void*, float x, float y) {
  ++g_page.setterCalls;
  if (g_page.pad) g_page.pad->SetPoint(x, -y);
}

void Refresh(void*) { ++g_page.refreshes; }

int16_t HostPicker(void*, const char* prompt, uint16_t rgb[3]) {
  ++g_page.pickerCalls;
  // The driver leaves a file when the user is to cancel in the picker.
  const std::string cancel = g_page.folder + "\\cancel";
  const int16_t answer = GetFileAttributesA(cancel.c_str()) != INVALID_FILE_ATTRIBUTES ? -128 : 0;
  g_page.pickerPrompt = prompt ? prompt : "";
  if (answer == 0) {
    rgb[0] = 0x2020;  // a dark teal: red 32, green 128, blue 128
    rgb[1] = 0x8080;
    rgb[2] = 0x8080;
  }
  return answer;
}

std::vector<uint32_t> Picture(int32_t w, int32_t h) {
  std::vector<uint32_t> p(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double d = std::hypot(x - w * 0.45, y - h * 0.55);
      const uint32_t ring = static_cast<uint32_t>(120 + 60 * std::sin(d / 9.0));
      const uint32_t r = 40 + 150 * x / w, g = ring, b = 200 - 120 * y / h;
      p[static_cast<size_t>(y) * w + x] = (r << 16) | (g << 8) | b;
    }
  return p;
}

// ---- Building the page --------------------------------------------------------------

void Build() {
  Page& p = g_page;
  HWND w = p.window;
  // Header strip and a panel behind the buttons.
  Child(kControlClass, "", 0, 0, 0, 840, 22, kStrip);
  Child("STATIC", "Rimeflower control toolkit", SS_LEFT, 10, 4, 300, 14, kLabelBase);

  Label("Density", 16, 32, 150, kLabelBase + 1);
  Child(kSpinEditClass, "", WS_TABSTOP, 16, 48, 150, 44, kDensity);
  Label("Width", 16, 100, 150, kLabelBase + 2);
  Child(kSpinEditClass, "", WS_TABSTOP, 16, 116, 150, 44, kWidth);
  Label("Light Strength", 16, 168, 220, kLabelBase + 3);
  Child(kSpinEditHorClass, "", WS_TABSTOP, 16, 184, 220, 22, kStrength);
  Label("Limited slider (20 ... 80)", 16, 214, 220, kLabelBase + 4);
  Child(kMacSliderClass, "", 0, 16, 230, 220, 20, kSlider);
  Label("Colours", 16, 258, 220, kLabelBase + 5);
  Child(kContanerColorClass, "", 0, 16, 274, 60, 24, kColour);
  Child(kContanerColorClass, "", WS_DISABLED, 90, 274, 60, 24, kColourOff);

  Child(kContanerClass, "Skinned", 0, 10, 310, 236, 120, kPanel);
  Child(kControlButtonClass, "Button", WS_TABSTOP, 22, 334, 100, 24, kButton);
  Child(kControlButtonFireClass, "Fire", WS_TABSTOP, 134, 334, 100, 24, kFire);
  Child(kGlassSliderClass, "", 0, 22, 372, 212, 20, kGlass);
  Child(kMacStyleBtnClass, "+", WS_TABSTOP, 22, 400, 40, 22, kPlus);
  Child(kMacStyleBtnClass, "-", WS_TABSTOP, 70, 400, 40, 22, kMinus);

  Child(kPreviewContanerClass, "", 0, 260, 32, 400, 300, kPreview);
  Child(kPreviewContanerClass, "", 0, 676, 32, 148, 111, kNavigator);

  Label("Position of effect", 260, 346, 120, kLabelBase + 6);
  Child(kRotorClass, "", 0, 260, 362, 100, 100, kPad);
  Label("X", 368, 372, 14, kLabelBase + 7);
  Child(kSpinEditClass, "", WS_TABSTOP, 382, 366, 80, 44, kCentreX);
  Label("Y", 368, 424, 14, kLabelBase + 8);
  Child(kSpinEditClass, "", WS_TABSTOP, 382, 418, 80, 44, kCentreY);
  Label("Rotation by X", 478, 346, 100, kLabelBase + 9);
  const int32_t rotateSize = p.dpi < 120 ? 50 : p.dpi < 144 ? 60 : p.dpi < 216 ? 80 : 100;
  HWND rot = Child(kRotorClass, "", 0, 478, 362, 50, 50, kRotate);
  SetWindowPos(rot, nullptr, 0, 0, rotateSize * 2, rotateSize * 2, SWP_NOMOVE | SWP_NOZORDER);
  Label("Light direction", 590, 346, 100, kLabelBase + 10);
  Child(kRotorClass, "", 0, 590, 362, 100, 100, kLight);
  Label("Mapped 0 ... 50", 708, 346, 110, kLabelBase + 11);
  Child(kRotorClass, "", 0, 708, 362, 90, 90, kMapped);

  Child(kMacStyleBtnClass, "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 660, 480, 76, 24, IDOK);
  Child(kMacStyleBtnClass, "Cancel", WS_TABSTOP, 748, 480, 76, 24, IDCANCEL);

  // As a page would set them up.
  TSpinEdit::Create(&p.density, w, kDensity, kLabelBase + 1, 0, 100, -50, 200, "Density", "Minimal interval", false,
                    true, false, 25);
  p.density->SetValue(25);
  TSpinEdit::Create(&p.width, w, kWidth, kLabelBase + 2, 0, 200, 0, 200, "Width", "Average width of triangles",
                    true, false, false, 80);
  p.width->SetValue(80);
  TSpinEdit::Create(&p.strength, w, kStrength, kLabelBase + 3, 0, 200, 0, 400, "Light Strength", "Light strength",
                    false, true, true, 100);
  p.strength->SetValue(100);
  TSpinEdit::Create(&p.centreX, w, kCentreX, kLabelBase + 7, -100, 100, -100, 100, "Center X",
                    "Enter X coordinate of center", false, false, false, 0);
  TSpinEdit::Create(&p.centreY, w, kCentreY, kLabelBase + 8, -100, 100, -100, 100, "Center Y",
                    "Enter Y coordinate of center", false, false, false, 0);

  p.slider = FindControlAs<TMacSlider>(GetDlgItem(w, kSlider), kMacSliderClass);
  p.slider->SetRange(0, 100);
  p.slider->SetLimits(true, 20, 80);
  p.slider->SetValue(50);
  p.colour = FindControlAs<TContanerColor>(GetDlgItem(w, kColour), kContanerColorClass);
  p.colour->SetColour(RGB(0xC0, 0x40, 0x30));
  FindControlAs<TContanerColor>(GetDlgItem(w, kColourOff), kContanerColorClass)->SetColour(RGB(0x30, 0x60, 0xC0));
  AttachTip(GetDlgItem(w, kColour), "Diffuse color of material");
  FindControlAs<TGlassSlider>(GetDlgItem(w, kGlass), kGlassSliderClass)->SetValue(35);

  p.preview = FindControlAs<TPreviewContaner>(GetDlgItem(w, kPreview), kPreviewContanerClass);
  // The picture fills the preview at 100 %, as the dialog's would.
  p.shared.imageWidth = p.preview->width;
  p.shared.imageHeight = p.preview->height;
  p.shared.zoom = 1.0f;
  p.shared.recordCentreX = &p.recordX;
  p.shared.recordCentreY = &p.recordY;
  p.shared.centreSetter = CentreSetter;
  p.shared.refresh = Refresh;
  const std::vector<uint32_t> picture = Picture(p.preview->width, p.preview->height);
  p.preview->SetShared(&p.shared);
  p.preview->SetMode(PreviewMode::Main);
  p.preview->SetPixels(picture.data(), p.preview->width, p.preview->height);
  p.preview->SetViewSize(p.preview->width / 2, p.preview->height / 2);
  p.preview->SetShowCentre(1);
  p.preview->SetFields(p.centreX, p.centreY, 0);
  AttachTip(GetDlgItem(w, kPreview),
            "Use left mouse button to shift preview area. And right mouse button to setup a center of emitter");
  p.shared.mainPreview = &p.preview->record;
  p.navigator = FindControlAs<TPreviewContaner>(GetDlgItem(w, kNavigator), kPreviewContanerClass);
  p.navigator->SetShared(&p.shared);
  p.navigator->SetMode(PreviewMode::Navigator);
  p.navigator->SetPixels(picture.data(), p.preview->width, p.preview->height);
  p.navigator->SetViewSize(p.navigator->width, p.navigator->height);
  p.navigator->SetNavScale(static_cast<float>(p.navigator->width) / static_cast<float>(p.preview->width));
  p.navigator->SetFrame(p.navigator->width / 4, p.navigator->height / 4);

  auto rotor = [&](int32_t id, RotorKind kind, bool pad, int32_t editWidth, const char* caption, float value,
                   float elevation) {
    TRotor* r = FindControlAs<TRotor>(GetDlgItem(w, id), kRotorClass);
    r->SetKind(kind, pad, editWidth);
    r->SetCaption(caption);
    r->SetDefaults(value, elevation);
    return r;
  };
  p.pad = rotor(kPad, RotorKind::Polar, true, 0, "Position of effect", 0, 0);
  p.pad->SetPadEdits(p.centreX->Edit(), p.centreY->Edit());
  p.pad->SetPoint(0, 0);
  AttachTip(GetDlgItem(w, kPad),
            "The center of ice figure. You can adjust this parameter directly in preview by moving a crosshair mark "
            "with mouse");
  p.rotate = rotor(kRotate, RotorKind::AngleDial, false, Scaled(44), "Rotation by X", 0, 0);
  p.rotate->SetValue(30, 0);
  p.light = rotor(kLight, RotorKind::Polar, false, 0, "Light direction", 0, 45);
  p.light->SetValue(45, 50);
  AttachTip(GetDlgItem(w, kLight), "Direction on a light source");
  // The dial's limits come first; the mapped range is laid over them.
  FindControlAs<TRotor>(GetDlgItem(w, kMapped), kRotorClass)->SetLimits(true, 0, 300);
  p.mapped = rotor(kMapped, RotorKind::ValueDial, false, Scaled(36), "Mapped", 0, 0);
  p.mapped->SetValueRange(0, 50, true);
  p.mapped->SetMappedValue(20);

  SetHostColourPicker(HostPicker, nullptr);
}

void WriteLayout() {
  const std::string path = g_page.folder + "\\layout.txt";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return;
  auto item = [&](int32_t id) { return GetDlgItem(g_page.window, id); };
  struct Item {
    const char* name;
    HWND window;
  };
  // The controls, then the children the driver aims at inside a field.
  for (const Item i : {Item{"density", item(kDensity)}, Item{"width", item(kWidth)}, Item{"strength", item(kStrength)},
                       Item{"slider", item(kSlider)}, Item{"colour", item(kColour)}, Item{"preview", item(kPreview)},
                       Item{"navigator", item(kNavigator)}, Item{"pad", item(kPad)}, Item{"rotate", item(kRotate)},
                       Item{"light", item(kLight)}, Item{"mapped", item(kMapped)}, Item{"window", g_page.window},
                       Item{"density.edit", g_page.density->Edit()}, Item{"density.arrows", g_page.density->Arrows()},
                       Item{"density.slider", g_page.density->Slider()->window},
                       Item{"width.slider", g_page.width->Slider()->window}, Item{"width.edit", g_page.width->Edit()}}) {
    RECT r = {};
    GetWindowRect(i.window, &r);
    std::fprintf(f, "%s %ld %ld %ld %ld\n", i.name, r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  std::fclose(f);
}

// ---- Checks ----------------------------------------------------------------------------

std::vector<Note> NotesOf(int32_t id) {
  std::vector<Note> out;
  for (const Note& n : g_page.notes)
    if (n.id == id) out.push_back(n);
  return out;
}

void ExpectNear(const char* what, float got, float want, float tolerance) {
  if (!(std::fabs(got - want) <= tolerance)) Problem("%s: got %.3f, expected %.3f", what, got, want);
}

void CheckType() {
  // Typed 42.5 and Tab, 150 and Enter (clamped to 100), then 100.005 (no change).
  const std::vector<Note> n = NotesOf(kDensity);
  if (n.size() != 2) return Problem("density: %zu notifications, expected 2", n.size());
  for (const Note& x : n)
    if (x.code != kSpinCommitted) Problem("density: notification code %d", x.code);
  ExpectNear("first typed value", n[0].value, 42.5f, 1e-4f);
  ExpectNear("clamped typed value", n[1].value, 100.0f, 1e-4f);
}

void CheckArrows() {
  // Three quick clicks on the up arrow: one notification, half a second later.
  const std::vector<Note> n = NotesOf(kWidth);
  if (n.size() != 1) return Problem("width: %zu notifications, expected 1", n.size());
  ExpectNear("width after three steps", n[0].value, 83.0f, 1e-4f);
}

void CheckDrag() {
  // Dragged from the left end to the middle of the width field's slider.
  const std::vector<Note> n = NotesOf(kWidth);
  int32_t steps = 0;
  for (const Note& x : n) steps += x.code == kSpinDragging ? 1 : 0;
  if (steps < 1) Problem("width: no drag-step notification");
  if (n.empty() || n.back().code != kSpinCommitted) return Problem("width: the drag did not end with a commit");
  const float step = 200.0f / static_cast<float>(g_page.width->Slider()->width - 10);
  ExpectNear("width after the drag", n.back().value, 100.0f, step + 1.0f);
  ExpectNear("field and slider agree", g_page.width->Value(), g_page.width->Slider()->Value(), 1.0f);
}

void CheckDoubleClick() {
  const std::vector<Note> n = NotesOf(kWidth);
  if (n.size() != 1 || n[0].code != kSpinReset)
    return Problem("width: expected exactly one reset notification, got %zu", n.size());
  ExpectNear("width after the reset", g_page.width->Value(), 80.0f, 0.0f);
}

void CheckDial() {
  // A turn and a quarter clockwise from just right of the top.
  const std::vector<Note> n = NotesOf(kRotate);
  if (n.size() != 1) return Problem("rotation dial: %zu notifications, expected 1 at the end of the drag", n.size());
  ExpectNear("rotation after a turn and a quarter", g_page.rotate->Value(), 450.0f, 12.0f);
  char text[32] = {};
  GetWindowTextA(g_page.rotate->Edit(), text, sizeof text);
  ExpectNear("rotation dial's box", ParseValue(text, 32), g_page.rotate->Value(), 0.006f);
}

void CheckPreview() {
  // A left drag by (+60, +30), then a right click at the image's top-left.
  const std::vector<Note> n = NotesOf(kPreview);
  if (n.size() != 1 || n[0].code != kPreviewGestureEnd) Problem("preview: expected one end-of-gesture notification");
  int32_t sx = 0, sy = 0;
  g_page.preview->GetScroll(sx, sy);
  if (sx != -60 || sy != -30) Problem("preview: scroll (%d, %d), expected (-60, -30)", sx, sy);
  // The click was at the image's top-left corner as it is now shown.
  if (g_page.shared.imageWidth != 400) Problem("preview: run at 96 dots per inch only");
  ExpectNear("Center X", g_page.recordX, -100.0f, 0.0f);
  ExpectNear("Center Y", g_page.recordY, 100.0f, 0.0f);
  if (g_page.setterCalls < 1 || g_page.refreshes != 1)
    Problem("preview: %d centre setter calls, %d refreshes", g_page.setterCalls, g_page.refreshes);
  float x = 0, y = 0;
  g_page.pad->GetPoint(x, y);
  ExpectNear("pad x", x, g_page.recordX, 0.02f);
  ExpectNear("pad y", y, g_page.recordY, 0.02f);
  ExpectNear("X field", g_page.centreX->Value(), g_page.recordX, 0.02f);
}

void CheckSetValue() {
  const std::vector<Note> n = NotesOf(kDensity);
  if (n.size() != 1 || n[0].code != kSpinCommitted) return Problem("density: expected one notification from OK");
  ExpectNear("density value", g_page.density->Value(), 150.0f, 1e-4f);
  ExpectNear("density minimum", g_page.density->value.rangeMin, -20.0f, 1e-4f);
  ExpectNear("density maximum", g_page.density->value.rangeMax, 180.0f, 1e-4f);
}

void CheckColour() {
  // First click: the host's picker chooses; second: the user cancels in it.
  const std::vector<Note> n = NotesOf(kColour);
  if (n.size() != 1) Problem("colour: %zu notifications, expected 1", n.size());
  if (g_page.colour->Colour() != RGB(32, 128, 128)) Problem("colour: 0x%06X", g_page.colour->Colour());
  if (g_page.pickerCalls != 2) Problem("colour: host picker called %d times", g_page.pickerCalls);
  if (g_page.pickerPrompt != "Select a Color") Problem("colour: prompt '%s'", g_page.pickerPrompt.c_str());
}

// ---- Bad input, run from inside ------------------------------------------------------------

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

void BadInput() {
  Page& p = g_page;
  const float bad[] = {NAN, INFINITY, -INFINITY};
  for (float v : bad) {
    p.density->SetValue(v);
    p.density->SetRange(v, 5);
    p.slider->SetValue(v);
    p.rotate->SetValue(v, v);
    p.mapped->SetMappedValue(v);
    p.pad->SetPoint(v, 0);
  }
  ExpectNear("density after non-finite values", p.density->Value(), 25.0f, 0.0f);
  ExpectNear("dial after non-finite values", p.rotate->Value(), 30.0f, 0.0f);
  // Beyond the widest range: the range stops at the widest, the value shows.
  p.density->SetValue(1e30f);
  ExpectNear("density range at the widest", p.density->value.rangeMax, 200.0f, 0.0f);
  p.density->SetValue(25);
  // Empty and 1000-character texts in the edit boxes, committed by losing the focus.
  const std::string longText(1000, '7');
  for (const std::string& text : {std::string(), longText, std::string("1e999"), std::string("nan")}) {
    for (HWND edit : {p.density->Edit(), p.rotate->Edit(), p.mapped->Edit()}) {
      SetFocus(edit);
      SetWindowTextA(edit, text.c_str());
      SetFocus(p.window);
      Pump();
    }
    if (!std::isfinite(p.density->Value()) || p.density->Value() < p.density->value.rangeMin ||
        p.density->Value() > p.density->value.rangeMax)
      Problem("density after typing '%.20s': %f", text.c_str(), p.density->Value());
    if (!std::isfinite(p.rotate->Value())) Problem("dial after typing '%.20s'", text.c_str());
  }
  // Zero-size controls of every class, painted and clicked.
  const char* classes[] = {kSpinEditClass, kSpinEditHorClass, kMacSliderClass, kContanerColorClass, kRotorClass,
                           kPreviewContanerClass, kControlClass, kControlButtonClass, kControlButtonFireClass,
                           kGlassSliderClass, kControlGlassClass, kContanerClass, kContanerAnimClass, kContaner1Class,
                           kColorEqualizerClass, kContainerLinkClass, kMacStyleBtnClass};
  for (const char* cls : classes) {
    HWND c = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE, 5, 5, 0, 0, p.window, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!c) {
      Problem("no zero-size %s", cls);
      continue;
    }
    if (TRotor* r = FindControlAs<TRotor>(c, kRotorClass)) r->SetKind(RotorKind::AngleDial, false);
    if (TPreviewContaner* v = FindControlAs<TPreviewContaner>(c, kPreviewContanerClass)) v->SetShared(&p.shared);
    InvalidateRect(c, nullptr, TRUE);
    UpdateWindow(c);
    for (UINT m : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP})
      SendMessageA(c, m, m == WM_MOUSEMOVE ? MK_LBUTTON : 0, MAKELPARAM(0, 0));
    Sleep(250);
    Pump();
    DestroyWindow(c);
  }
  // A preview without a picture and without an image size.
  PreviewShared empty;
  p.preview->SetShared(&empty);
  p.preview->SetPixels(nullptr, 0, 0);
  p.preview->SetBitmap(nullptr);
  HWND pv = p.preview->window;
  for (UINT m : {WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONUP, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) {
    SendMessageA(pv, m, m == WM_MOUSEMOVE ? MK_LBUTTON | MK_RBUTTON : 0, MAKELPARAM(30, 40));
    UpdateWindow(pv);
  }
  Sleep(250);
  Pump();
  RedrawWindow(pv, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  if (empty.centreX != 0.0f || empty.centreY != 0.0f) Problem("a preview without an image size moved the centre");
  // A real bitmap handed over, then replaced.
  HDC screen = GetDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(screen, 64, 48);
  ReleaseDC(nullptr, screen);
  p.preview->SetBitmap(bm);
  if (p.preview->record.pictureWidth != 64) Problem("bitmap not read");
  p.preview->SetBitmap(nullptr);
  RedrawWindow(p.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// ---- The window ----------------------------------------------------------------------------------

void Finish() {
  const std::string& s = g_page.scenario;
  const struct {
    const char* scenario;
    void (*check)();
  } kChecks[] = {{"type", CheckType},         {"arrows", CheckArrows},   {"drag", CheckDrag},
                 {"doubleclick", CheckDoubleClick}, {"dial", CheckDial},   {"preview", CheckPreview},
                 {"setvalue", CheckSetValue},   {"colour", CheckColour}};
  for (const auto& c : kChecks)
    if (s == c.scenario) c.check();
  const std::string path = g_page.folder + "\\result.txt";
  if (FILE* f = std::fopen(path.c_str(), "w")) {
    std::fprintf(f, "%s %s\n", g_page.problems.empty() ? "PASS" : "FAIL", s.c_str());
    std::fputs(g_page.problems.c_str(), f);
    for (const Note& n : g_page.notes) std::fprintf(f, "  note id %d code %d value %.3f\n", n.id, n.code, n.value);
    std::fclose(f);
  }
  PostQuitMessage(g_page.problems.empty() ? 0 : 1);
}

// The value a notification reports: the mapped dial's in its own units.
float ValueOf(int32_t id) {
  Page& p = g_page;
  if (id == kMapped) return p.mapped->MappedValue();
  for (const TSpinEdit* f : {p.density, p.width, p.strength, p.centreX, p.centreY})
    if (f->id == id) return f->Value();
  for (const TRotor* r : {p.rotate, p.light, p.pad})
    if (r->id == id) return r->Value();
  return 0.0f;
}

constexpr UINT_PTR kPollTimer = 77;
int32_t g_polls = 0;

LRESULT CALLBACK PageProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(g_page.font);
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      // The title sits on the skinned strip and lets it show through.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kLabelBase)
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      return reinterpret_cast<LRESULT>(g_page.background);
    case WM_COMMAND: {
      const int32_t id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) return 0;
      HWND from = GetDlgItem(w, id);
      char cls[64] = {};
      if (from) GetClassNameA(from, cls, sizeof cls);
      // Numeric fields and the slider carry their code in the second
      // parameter; the other controls in the high word.
      const bool codeInParam = lstrcmpiA(cls, kSpinEditClass) == 0 || lstrcmpiA(cls, kSpinEditHorClass) == 0 ||
                               lstrcmpiA(cls, kMacSliderClass) == 0;
      const int32_t code = codeInParam ? static_cast<int32_t>(lParam) : HIWORD(wParam);
      if (from) g_page.notes.push_back({id, code, ValueOf(id)});
      return 0;
    }
    case WM_TIMER:
      if (wParam == kPollTimer) {
        const std::string done = g_page.folder + "\\done";
        if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES || ++g_polls > 600) {
          KillTimer(w, kPollTimer);
          if (g_polls > 600) Problem("the driver never finished");
          Finish();
        }
      }
      return 0;
    case WM_CLOSE:
      PostQuitMessage(2);
      return 0;
  }
  return DefWindowProcA(w, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: controls_window SCENARIO FOLDER\n");
    return 2;
  }
  g_page.scenario = argv[1];
  g_page.folder = argv[2];
  // The page lays itself out by the screen's density, as the dialog does.
  SetProcessDPIAware();
  g_page.dpi = ReadScreenDensity();
  SetScreenDensity(g_page.dpi);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HBRUSH background = CreateSolidBrush(RGB(0xE8, 0xE8, 0xE8));
  g_page.background = background;
  if (!RegisterControlClasses(instance, background)) return 3;
  g_page.font = CreateFontA(-MulDiv(8, g_page.dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                            CLEARTYPE_QUALITY, 0, "Tahoma");
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PageProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = "RimeflowerControlsPage";
  RegisterClassExA(&wc);
  g_page.window = CreateWindowExA(WS_EX_CONTROLPARENT, wc.lpszClassName, "Rimeflower controls",
                                  WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, 0, 0, Scaled(842), Scaled(514), nullptr,
                                  nullptr, instance, nullptr);
  if (!g_page.window) return 4;
  Build();
  ShowWindow(g_page.window, SW_SHOW);
  UpdateWindow(g_page.window);
  if (g_page.scenario == "badinput") {
    BadInput();
    Finish();
  } else {
    WriteLayout();
    SetTimer(g_page.window, kPollTimer, 100, nullptr);
  }
  MSG m;
  int result = 0;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(g_page.window, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  result = static_cast<int>(m.wParam);
  DestroyWindow(g_page.window);
  UnregisterControlClasses(instance);
  DeleteObject(background);
  DeleteObject(g_page.font);
  return result;
}
