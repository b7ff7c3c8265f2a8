// Rimeflower controls: the window classes the dialog is built from (Windows).
//
// Every control is a child window of one of the module's own classes; the
// class's window procedure only routes messages to the one object the window
// carries (created at WM_CREATE, or handed in as the creation parameter;
// freed at WM_NCDESTROY). The decisions live in the portable headers beside
// this one; the objects here turn messages into those calls, paint the
// pixel buffers and talk to the page.
//
// How a dialog uses the toolkit:
//   1. RegisterControlClasses(instance, brush) before its window is created
//      (SetScreenDensity first if it has read the density already);
//      UnregisterControlClasses(instance) after it is gone.
//   2. Its templates name the classes ("Spin Edit CPP", "Rotor CPP", ...).
//   3. At page creation: TSpinEdit::Create for every numeric field, the
//      setters of TPreviewContaner and TRotor, AttachTip for tool tips,
//      SetHostColourPicker when the host offers colour services.
//   4. It listens to WM_COMMAND from the controls:
//      - numeric field: LOWORD(wParam) = field id, lParam = SpinNotify code
//        (0 committed, 1 slider drag step, 2 reset to the default; 0 and 2
//        both carry a committed value), read back with Value();
//      - colour swatch: LOWORD(wParam) = id, HIWORD 0, lParam = its window,
//        after a colour was chosen; read back with Colour();
//      - preview container: LOWORD(wParam) = id, HIWORD 2 (double click) or
//        9 (end of a left-button gesture without Control), lParam 0;
//      - dial: LOWORD(wParam) = id, HIWORD 0, lParam 0;
//      - skinned and rounded buttons: BN_CLICKED, lParam = the button.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/controls/colour_swatch.h"
#include "ui/controls/preview.h"
#include "ui/controls/rotor.h"
#include "ui/controls/slider.h"
#include "ui/controls/value_field.h"

namespace rf::controls {

// ---- Window class names ------------------------------------------------------

constexpr const char* kSpinEditClass = "Spin Edit CPP";
constexpr const char* kSpinEditHorClass = "Spin Edit CPP Hor";
constexpr const char* kMacSliderClass = "Mac Slider CPP";
constexpr const char* kContanerColorClass = "Contaner Color CPP";
constexpr const char* kRotorClass = "Rotor CPP";
constexpr const char* kPreviewContanerClass = "Preview Contaner CPP";
constexpr const char* kControlClass = "Control CPP";
constexpr const char* kControlButtonClass = "Control Button CPP";
constexpr const char* kControlButtonFireClass = "Control Button Fire CPP";
constexpr const char* kGlassSliderClass = "Glass Slider CPP";
constexpr const char* kControlGlassClass = "Control Glass CPP";
constexpr const char* kContanerClass = "Contaner CPP";
constexpr const char* kContanerAnimClass = "Contaner Anim CPP";
constexpr const char* kContaner1Class = "Contaner1 CPP";
constexpr const char* kColorEqualizerClass = "Color Equalizer CPP";
constexpr const char* kContainerLinkClass = "ContainerLinkC";
constexpr const char* kMacStyleBtnClass = "MacStyleBtn";

// ---- The toolkit as a whole --------------------------------------------------

// Registers every class above as a set (arrow cursor, `background` as the
// class brush and the colour every control paints behind itself) and the
// common controls the fields use. False, with nothing left registered, when
// one class cannot be registered. The brush stays the caller's.
bool RegisterControlClasses(HINSTANCE instance, HBRUSH background);
void UnregisterControlClasses(HINSTANCE instance);

// Vertical dots per logical inch of the screen. The dialog reads it once
// (ReadScreenDensity) and passes it in; until then the toolkit reads it
// itself at registration.
int32_t ReadScreenDensity();
void SetScreenDensity(int32_t dotsPerInch);
int32_t ScreenDensity();

// The host's colour picker, installed by the dialog while the host offers
// colour services (null: the system colour dialog only).
void SetHostColourPicker(HostColourPicker picker, void* context);

// A balloon tool tip over the whole client area of `window` (any window; a
// toolkit control owns and destroys its tip). `title` may be null. A second
// call on the same control replaces the text.
void AttachTip(HWND window, const char* text, const char* title = nullptr);

// ---- The common head and the routing frame ------------------------------------

class TContaner {
 public:
  TContaner() = default;
  TContaner(const TContaner&) = delete;
  TContaner& operator=(const TContaner&) = delete;
  virtual ~TContaner();
  // Every message of the window after WM_CREATE. The head's version keeps
  // the client size and the enabled flag and leaves the rest to the default
  // window procedure.
  virtual LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window = nullptr;
  int32_t id = 0;  // the child window's dialog identifier
  int32_t width = 0, height = 0;
  bool enabled = true;
  HWND tip = nullptr;

 protected:
  // WM_COMMAND to the parent: (id, code) in the first parameter.
  void Notify(WORD code, LPARAM lParam) const;
  void Redraw(bool now) const;
};

// The control object of `window`, only when the window's class name is
// `className` (compared without regard to case, as Windows compares class
// names); otherwise null.
TContaner* FindControl(HWND window, const char* className);
template <typename T>
T* FindControlAs(HWND window, const char* className) {
  return dynamic_cast<T*>(FindControl(window, className));
}

// ---- Slider ------------------------------------------------------------------

class TMacSlider : public TContaner {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  void SetRange(float min, float max);
  void SetLimits(bool on, float min, float max);
  // Programmatic value: clamped to the limits, redrawn, mirrored.
  void SetValue(float v);
  float Value() const { return model.value; }
  // Items of the parent that mirror the value: a text item (written as a
  // decimal integer) and an up-down control; 0 for none.
  void SetMirrors(int32_t textId, int32_t upDownId);

  SliderModel model;

 private:
  void Paint(HDC dc);
  void Apply(const SliderActions& a);
  int32_t Along(LPARAM lParam) const;
  SliderGesture gesture_{model};
  HWND trackBar_ = nullptr;
  int32_t mirrorText_ = 0, mirrorUpDown_ = 0;
};

// ---- Numeric field -------------------------------------------------------------

class TSpinEdit : public TContaner {
 public:
  // Finds the field fieldId ("Spin Edit CPP" or "Spin Edit CPP Hor") in
  // `page`, stores the flags, the default and the name, attaches the tool tip,
  // gives the caption label labelId (0: none) the dialog's font, sets the
  // range, and puts the object in *holder. Null (and *holder null) when the
  // page has no such field.
  static TSpinEdit* Create(TSpinEdit** holder, HWND page, int32_t fieldId, int32_t labelId, float rangeMin,
                           float rangeMax, float hardMin, float hardMax, const char* name, const char* tipText,
                           bool isInteger, bool rangeEditable, bool notifyContinuously, float defaultValue);

  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // Widens an editable range to take the value in (never beyond the widest
  // range) and shows it; non-finite values are ignored.
  void SetValue(float v);
  void SetRange(float min, float max);
  float Value() const { return value.value; }
  const std::string& Name() const { return name_; }
  HWND Edit() const { return edit_; }
  HWND Arrows() const { return arrows_; }
  TMacSlider* Slider() const { return slider_; }
  HWND Label() const { return label_; }
  bool Horizontal() const { return horizontal_; }
  // Opens the "Set value" dialog for this field (what the right button does
  // on a field whose range is editable).
  void OpenSetValue();
  // Escape while the field's box has the focus (the dialog sees the key): the
  // text goes back to the stored value. The same as sending the field
  // WM_COMMAND with (1, 27).
  void CancelTyping() { Show(); }

  SpinValue value;

 private:
  void Layout();
  void Show();  // text, arrows and slider from the value
  void NotifyPage(int32_t code) const;
  void Commit();

  HWND edit_ = nullptr, arrows_ = nullptr, label_ = nullptr;
  TMacSlider* slider_ = nullptr;
  HWND sliderWindow_ = nullptr;
  bool horizontal_ = false;
  bool notifyPending_ = false;
  std::string name_;
};

// ---- Colour swatch ---------------------------------------------------------------

class TContanerColor : public TContaner {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  void SetColour(uint32_t colorRef);  // COLORREF, red in the low byte
  uint32_t Colour() const { return colour_; }
  // Runs the colour choice now (what a click does).
  void Choose();

 private:
  uint32_t colour_ = 0;
  bool hover_ = false;
  COLORREF custom_[16] = {};
};

// ---- Preview container -------------------------------------------------------------

class TPreviewContaner : public TContaner {
 public:
  ~TPreviewContaner() override;
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // The dialog's shared values and callbacks; it outlives the window.
  void SetShared(PreviewShared* shared);
  void SetMode(PreviewMode mode);
  // Takes ownership of `bitmap` (any DIB-compatible bitmap; released when
  // replaced or with the window); null clears the picture.
  void SetBitmap(HBITMAP bitmap);
  // Copies a 32-bit picture (0x00RRGGBB, rows packed, top row first).
  void SetPixels(const uint32_t* pixels, int32_t w, int32_t h);
  void SetOffset(int32_t x, int32_t y);
  void SetViewSize(int32_t w, int32_t h);
  void SetDrawSize(int32_t w, int32_t h);
  void SetScroll(int32_t x, int32_t y);
  void GetScroll(int32_t& x, int32_t& y) const;
  void SetNavScale(float scale);
  void SetFrame(int32_t x, int32_t y);
  void GetFrame(int32_t& x, int32_t& y, int32_t& w, int32_t& h) const;
  void SetHandles(const PreviewHandle* handles, int32_t count);
  void SetShowCentre(uint8_t show);
  void SetOverlay(const uint8_t* bytes, size_t count, bool on);
  // The page's controls that show the centre: numeric fields (kind 0) or
  // dials' edit boxes (any other kind: a TRotor whose SetValue is called).
  void SetFields(TContaner* x, TContaner* y, uint8_t kind);

  PreviewRecord record;

 private:
  void Apply(const PreviewActions& a);
  HBITMAP bitmap_ = nullptr;
  HCURSOR cursor_ = nullptr;
  TContaner* xField_ = nullptr;
  TContaner* yField_ = nullptr;
  uint8_t fieldKind_ = 0;
};

// ---- Dial ---------------------------------------------------------------------

class TRotor : public TContaner {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // Kind 0 polar dial (padMode: the position pad), 3 angle dial, 4 value
  // dial. Kinds 3 and 4 get their own edit box (identifier 1), centred,
  // `editWidth` pixels wide (0: half the dial).
  void SetKind(RotorKind kind, bool padMode, int32_t editWidth = 0);
  // padMode: the page's X and Y edit boxes, written from the point.
  void SetPadEdits(HWND x, HWND y);
  void SetLimits(bool on, float min, float max);
  void SetValueRange(float min, float max, bool integer);  // kind 4
  void SetDefaults(float value, float elevation);
  void SetNotifyOnDrag(bool on) { rotor.notifyOnDrag = on; }
  void SetCaption(const char* caption);
  void SetKnobInset(int32_t inset) { rotor.knobInset = inset; }
  void SetStyle(const RotorStyle& style);

  void SetValue(float v, float elevation);
  void SetMappedValue(float v);
  void SetPoint(float x, float y);
  // padMode: the point the boxes show.
  void GetPoint(float& x, float& y) const;
  float Value() const { return rotor.value; }
  float Elevation() const { return rotor.elevation; }
  float MappedValue() const { return rotor.mappedValue; }
  HWND Edit() const { return edit_; }
  void OpenSetValue();

  RotorRecord rotor;

 private:
  void Apply(const RotorActions& a);
  void WriteTexts();
  HWND edit_ = nullptr, secondEdit_ = nullptr;
  RotorStyle style_;
  bool hasStyle_ = false;
};

// ---- Skinned buttons and containers ----------------------------------------------

// The common head with the skinned painting shared by the buttons.
class TControl : public TContaner {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  virtual void Paint(HDC dc);
};

class TControlButton : public TControl {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  void Paint(HDC dc) override;
  virtual float Glow() const { return hover_ ? 1.0f : 0.0f; }
  bool pressed_ = false, hover_ = false, inside_ = false;
};

// A skinned button whose glow pulses while the mouse is over it.
class TControlButtonFire : public TControlButton {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  float Glow() const override;
  uint32_t phase_ = 0;
};

// A glass-look horizontal slider 0..100 (position in Value()); sends its
// parent WM_HSCROLL with SB_THUMBTRACK while dragging and SB_ENDSCROLL when
// released (second parameter: the slider's window).
class TGlassSlider : public TControlButtonFire {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  void SetValue(float v);
  float Value() const { return value_; }

 protected:
  void Paint(HDC dc) override;
  float value_ = 0.0f;
};

// "MacStyleBtn": rounded push buttons (OK, Cancel, zoom).
class TMacStyleBtn : public TContaner {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);
  void Click();
  bool pressed_ = false, inside_ = false, hover_ = false, focused_ = false, defaultButton_ = false;
};

// The further skinned containers: a panel that passes its children's
// notifications on to its parent.
class TPanelContaner : public TContaner {
 public:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);
  bool strip_ = false;  // "Control CPP" and "Control Glass CPP": a skinned strip
};

// ---- "Set value" ---------------------------------------------------------------

// Template 15092, modal over `owner`. True when OK changed the control (which
// has then notified its parent with code 0).
bool RunSetValueDialog(HWND owner, TSpinEdit& field);
bool RunSetValueDialog(HWND owner, TRotor& rotor);

}  // namespace rf::controls
