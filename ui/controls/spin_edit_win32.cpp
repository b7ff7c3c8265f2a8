// The numeric field ("Spin Edit CPP", "Spin Edit CPP Hor") and the slider
// ("Mac Slider CPP") as windows.
#include <algorithm>
#include <cmath>
#include <new>

#include "ui/controls/toolkit_win32.h"

#include <commctrl.h>

namespace rf::controls {

using win32::Now;

namespace {

constexpr int32_t kEditId = 1, kArrowsId = 2, kSliderId = 3;
constexpr Pixel kAccent = 0x3A7BC8;

}  // namespace

// ---- Slider -----------------------------------------------------------------

int32_t TMacSlider::Along(LPARAM lParam) const {
  return model.orientation == SliderOrientation::Vertical ? win32::MouseY(lParam) : win32::MouseX(lParam);
}

void TMacSlider::SetRange(float min, float max) {
  if (!model.SetRange(min, max)) return;
  Redraw(false);
}

void TMacSlider::SetLimits(bool on, float min, float max) {
  model.SetLimits(on, min, max);
  Redraw(false);
}

void TMacSlider::SetMirrors(int32_t textId, int32_t upDownId) {
  mirrorText_ = textId;
  mirrorUpDown_ = upDownId;
}

void TMacSlider::SetValue(float v) {
  if (!model.SetValue(v)) return;
  if (trackBar_) {
    const float span = model.rangeMax - model.rangeMin;
    const float at = span > 0.0f ? (std::clamp(model.value, model.rangeMin, model.rangeMax) - model.rangeMin) / span : 0.0f;
    SendMessageA(trackBar_, TBM_SETPOS, TRUE, static_cast<LPARAM>(std::lround(at * 1000.0f)));
  } else {
    Redraw(false);
  }
  HWND parent = GetParent(window);
  if (mirrorText_) SetDlgItemInt(parent, mirrorText_, static_cast<UINT>(SpinValue::WholeNumber(model.value)), TRUE);
  if (mirrorUpDown_)
    SendDlgItemMessageA(parent, mirrorUpDown_, UDM_SETPOS32, 0, SpinValue::WholeNumber(model.value));
}

void TMacSlider::Apply(const SliderActions& a) {
  if (a.capture) SetCapture(window);
  if (a.release && GetCapture() == window) ReleaseCapture();
  if (a.redraw) Redraw(true);
  HWND parent = GetParent(window);
  if (a.scroll) SendMessageA(parent, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(window));
  if (a.notify >= 0) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), a.notify);
}

void TMacSlider::Paint(HDC dc) {
  Canvas c(width, height, win32::BackgroundPixel());
  if (c.Empty() || trackBar_) return win32::PresentCanvas(dc, c);
  const bool vertical = model.orientation == SliderOrientation::Vertical;
  const int32_t length = vertical ? height : width, across = vertical ? width : height;
  const int32_t thumb = model.ThumbAt();
  const int32_t mid = across / 2;
  auto box = [&](int32_t along, int32_t at, int32_t alongSize, int32_t atSize) {
    return vertical ? Rect{at, along, atSize, alongSize} : Rect{along, at, alongSize, atSize};
  };
  const Pixel groove = enabled ? 0xC9CCD1 : 0xD8D8D8;
  c.RoundedBox(box(3, mid - 2, std::max(length - 6, 0), 5), 2.5f, Mix(groove, 0x000000, 0.08f), groove, 0xA9ADB3);
  // The filled part runs from the low end: the bottom of a vertical slider.
  if (vertical)
    c.RoundedBox(box(thumb, mid - 2, std::max(length - 3 - thumb, 0), 5), 2.5f, enabled ? kAccent : 0xB0B0B0,
                 enabled ? 0x2F68AE : 0xA8A8A8, enabled ? 0x2A5C9A : 0xA0A0A0);
  else
    c.RoundedBox(box(3, mid - 2, std::max(thumb - 3, 0), 5), 2.5f, enabled ? kAccent : 0xB0B0B0,
                 enabled ? 0x2F68AE : 0xA8A8A8, enabled ? 0x2A5C9A : 0xA0A0A0);
  c.RoundedBox(box(thumb - 3, 2, 7, std::max(across - 4, 0)), 3.0f, 0xFFFFFF, enabled ? 0xDADDE2 : 0xEEEEEE,
               enabled ? 0x6F757E : 0xB4B4B4);
  win32::PresentCanvas(dc, c);
}

LRESULT TMacSlider::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (model.orientation == SliderOrientation::TrackBar) {
        trackBar_ = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | TBS_HORZ | TBS_NOTICKS, 0, 0,
                                    width, height, w, nullptr, win32::ToolkitInstance(), nullptr);
        SendMessageA(trackBar_, TBM_SETRANGE, FALSE, MAKELPARAM(0, 1000));
      } else if (model.length == 0 && height > width) {
        model.orientation = SliderOrientation::Vertical;  // a tall slider in a template
      }
      model.length = model.orientation == SliderOrientation::Vertical ? height : width;
      return 0;
    case WM_SIZE:
      TContaner::Handle(w, message, wParam, lParam);
      model.length = model.orientation == SliderOrientation::Vertical ? height : width;
      if (trackBar_) MoveWindow(trackBar_, 0, 0, width, height, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Paint(dc);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      Apply(gesture_.ButtonDown(Along(lParam)));
      return 0;
    case WM_MOUSEMOVE:
      Apply(gesture_.Move(Along(lParam), (wParam & MK_LBUTTON) != 0));
      return 0;
    case WM_LBUTTONUP: {
      const bool timer = SetTimer(w, kReleaseTimerId, kReleaseDelayMs, nullptr) != 0;
      Apply(gesture_.ButtonUp(Along(lParam), Now(), timer));
      return 0;
    }
    case WM_TIMER:
      if (wParam == kReleaseTimerId) {
        Apply(gesture_.Timer(Now()));
        if (!gesture_.TimerRunning()) KillTimer(w, kReleaseTimerId);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      Apply(gesture_.DoubleClick());
      return 0;
    case WM_RBUTTONDOWN:
      if (gesture_.ForwardRightButton()) SendMessageA(GetParent(w), WM_RBUTTONDOWN, wParam, lParam);
      return 0;
    case WM_HSCROLL:
      if (trackBar_ && reinterpret_cast<HWND>(lParam) == trackBar_) {
        const float at = static_cast<float>(SendMessageA(trackBar_, TBM_GETPOS, 0, 0)) / 1000.0f;
        model.SetValue(model.rangeMin + at * (model.rangeMax - model.rangeMin));
        SliderActions a;
        a.scroll = true;
        a.notify = LOWORD(wParam) == TB_ENDTRACK ? kSliderCommitted : kSliderDragging;
        Apply(a);
      }
      return 0;
    case WM_ENABLE:
      if (trackBar_) EnableWindow(trackBar_, wParam != 0);
      break;
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

// ---- Numeric field --------------------------------------------------------------

TSpinEdit* TSpinEdit::Create(TSpinEdit** holder, HWND page, int32_t fieldId, int32_t labelId, float rangeMin,
                             float rangeMax, float hardMin, float hardMax, const char* name, const char* tipText,
                             bool isInteger, bool rangeEditable, bool notifyContinuously, float defaultValue) {
  if (holder) *holder = nullptr;
  HWND w = page ? GetDlgItem(page, fieldId) : nullptr;
  TSpinEdit* f = FindControlAs<TSpinEdit>(w, kSpinEditClass);
  if (!f) f = FindControlAs<TSpinEdit>(w, kSpinEditHorClass);
  if (!f) return nullptr;
  f->value.Configure(rangeMin, rangeMax, hardMin, hardMax, isInteger, rangeEditable, notifyContinuously, defaultValue);
  f->name_ = name ? std::string(name).substr(0, 32) : std::string();
  if (tipText) AttachTip(w, tipText);
  f->label_ = labelId ? GetDlgItem(page, labelId) : nullptr;
  if (f->label_) SendMessageA(f->label_, WM_SETFONT, reinterpret_cast<WPARAM>(win32::DialogFont(w)), TRUE);
  f->SetRange(f->value.rangeMin, f->value.rangeMax);
  if (holder) *holder = f;
  return f;
}

void TSpinEdit::Layout() {
  const SpinEditLayout l = LayoutSpinEdit(horizontal_, width, height, ScreenDensity());
  auto place = [](HWND child, const Rect& r) {
    if (child) MoveWindow(child, r.x, r.y, r.width, r.height, TRUE);
  };
  place(edit_, l.edit);
  place(arrows_, l.arrows);
  place(sliderWindow_, l.slider);
}

void TSpinEdit::Show() {
  if (edit_) SetWindowTextA(edit_, value.Text().c_str());
  if (arrows_) SendMessageA(arrows_, UDM_SETPOS32, 0, value.ArrowPosition());
  if (slider_) {
    slider_->SetRange(value.rangeMin, value.rangeMax);
    slider_->SetValue(value.value);
  }
}

void TSpinEdit::SetValue(float v) {
  if (!value.SetValue(v)) return;
  SetRange(value.rangeMin, value.rangeMax);
}

void TSpinEdit::SetRange(float min, float max) {
  if (!value.SetRange(min, max)) return;
  // 32-bit limits: a seed or a count may run past what 16 bits hold.
  if (arrows_) SendMessageA(arrows_, UDM_SETRANGE32, SpinValue::WholeNumber(min), SpinValue::WholeNumber(max));
  Show();
}

void TSpinEdit::NotifyPage(int32_t code) const {
  SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), code);
}

void TSpinEdit::Commit() {
  char text[33] = {};
  if (edit_) GetWindowTextA(edit_, text, sizeof text);
  const bool changed = value.CommitText(text);
  Show();
  if (changed) NotifyPage(kSpinCommitted);
}

void TSpinEdit::OpenSetValue() { RunSetValueDialog(GetAncestor(window, GA_ROOT), *this); }

LRESULT TSpinEdit::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      char name[64] = {};
      GetClassNameA(w, name, sizeof name);
      horizontal_ = lstrcmpiA(name, kSpinEditHorClass) == 0;
      // The edit box inside takes part in the dialog's tab order.
      SetWindowLongPtrA(w, GWL_EXSTYLE, GetWindowLongPtrA(w, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      value.Configure(0, 100, 0, 100, false, false, false, 0);
      // The narrow box of the horizontal form keeps a thin border to fit
      // "100.00".
      edit_ = horizontal_ ? win32::CreateToolkitEdit(w, kEditId, WS_BORDER, 0)
                          : win32::CreateToolkitEdit(w, kEditId, 0, WS_EX_CLIENTEDGE);
      arrows_ = CreateWindowExA(0, UPDOWN_CLASSA, nullptr, WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS, 0, 0, 0, 0, w,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kArrowsId)), win32::ToolkitInstance(),
                                nullptr);
      if (arrows_ && edit_) SendMessageA(arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
      auto* slider = new (std::nothrow) TMacSlider();
      if (slider) {
        slider->model.insideField = true;
        slider->model.notifyOnDrag = true;
        sliderWindow_ = win32::CreateWithObject(slider, kMacSliderClass, WS_CHILD | WS_VISIBLE, {}, w, kSliderId);
        slider_ = sliderWindow_ ? slider : nullptr;
      }
      Layout();
      SetRange(0, 100);
      return 0;
    }
    case WM_SIZE:
      TContaner::Handle(w, message, wParam, lParam);
      Layout();
      return 0;
    case WM_SETFONT:
      if (edit_) SendMessageA(edit_, WM_SETFONT, wParam, lParam);
      return 0;
    case WM_HSCROLL:
      if (slider_ && reinterpret_cast<HWND>(lParam) == sliderWindow_) {
        float v = slider_->Value();
        if (value.isInteger) v = std::trunc(v);
        if (v != value.value) SetValue(v);
        if (value.notifyContinuously) NotifyPage(kSpinCommitted);
        if (edit_) {
          SetFocus(edit_);
          SendMessageA(edit_, EM_SETSEL, 0, -1);
        }
      }
      return 0;
    case WM_VSCROLL:
      if (arrows_ && reinterpret_cast<HWND>(lParam) == arrows_) {
        const float position = static_cast<float>(static_cast<int32_t>(SendMessageA(arrows_, UDM_GETPOS32, 0, 0)));
        if (LOWORD(wParam) == SB_THUMBPOSITION) {
          SetValue(position);
          if (value.notifyContinuously) NotifyPage(kSpinCommitted);
        } else if (LOWORD(wParam) == SB_ENDSCROLL && !value.notifyContinuously) {
          SetValue(position);
          // A run of clicks is told to the page once, after the last.
          if (SetTimer(w, kArrowTimerId, kArrowDelayMs, nullptr)) {
            notifyPending_ = true;
          } else {
            NotifyPage(kSpinCommitted);
          }
        }
      }
      return 0;
    case WM_TIMER:
      if (wParam == kArrowTimerId) {
        KillTimer(w, kArrowTimerId);
        notifyPending_ = false;
        NotifyPage(kSpinCommitted);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kEditId) {
        const WORD code = HIWORD(wParam);
        if (code == EN_KILLFOCUS || code == kEditEnterCode)
          Commit();
        else if (code == kEditEscapeCode)
          Show();
      } else if (LOWORD(wParam) == kSliderId) {
        if (lParam == kSliderDoubleClick) {
          SetValue(value.defaultValue);
          PostMessageA(GetParent(w), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), kSpinReset);
        } else if (!value.notifyContinuously && (lParam == kSliderCommitted || lParam == kSliderDragging)) {
          NotifyPage(lParam == kSliderCommitted ? kSpinCommitted : kSpinDragging);
        }
      }
      return 0;
    case WM_RBUTTONDOWN:
      if (value.rangeEditable) OpenSetValue();
      return 0;
    case WM_SETFOCUS:
      if (edit_) {
        SetFocus(edit_);
        SendMessageA(edit_, EM_SETSEL, 0, -1);
      }
      return 0;
    case WM_ENABLE:
      for (HWND child : {edit_, arrows_, sliderWindow_, label_})
        if (child) EnableWindow(child, wParam != 0);
      break;
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

}  // namespace rf::controls
