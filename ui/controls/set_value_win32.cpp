// The "Set value" dialog (template 15092) over a numeric field or a dial.
#include <string>

#include "ui/controls/control_resources.h"
#include "ui/controls/set_value_rules.h"
#include "ui/controls/toolkit_win32.h"

namespace rf::controls {

namespace {

struct SetValueState {
  SetValueRules rules;
  TSpinEdit* field = nullptr;
  TRotor* rotor = nullptr;
  HFONT bold = nullptr;
  bool closing = false;
  bool changed = false;
};

constexpr struct {
  int id;
  SetValueBox box;
} kBoxes[] = {{RF_IDC_SV_VALUE, SetValueBox::Value},
              {RF_IDC_SV_VALUE2, SetValueBox::Value2},
              {RF_IDC_SV_MIN, SetValueBox::Min},
              {RF_IDC_SV_MAX, SetValueBox::Max}};

int BoxId(SetValueBox box) {
  for (const auto& b : kBoxes)
    if (b.box == box) return b.id;
  return RF_IDC_SV_VALUE;
}

bool BoxOf(int id, SetValueBox& box) {
  for (const auto& b : kBoxes)
    if (b.id == id) {
      box = b.box;
      return true;
    }
  return false;
}

std::string Text(HWND dialog, int id) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void Init(HWND dialog, SetValueState& s) {
  const SetValueTexts& t = s.rules.Opening();
  SetDlgItemTextA(dialog, RF_IDC_SV_NAME, t.name.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_CURRENT1, t.current1.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_CURRENT2, t.current2.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_TYPE, t.type.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_RANGE, t.range.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_VALUE, t.value.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_VALUE2, t.value2.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_MIN, t.min.c_str());
  SetDlgItemTextA(dialog, RF_IDC_SV_MAX, t.max.c_str());
  EnableWindow(GetDlgItem(dialog, RF_IDC_SV_VALUE2), t.value2Enabled);
  for (int id : {RF_IDC_SV_MIN, RF_IDC_SV_MAX, RF_IDC_SV_MIN_LABEL, RF_IDC_SV_MAX_LABEL})
    EnableWindow(GetDlgItem(dialog, id), t.rangeEnabled);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  LOGFONTA lf = {};
  if (font && GetObjectA(font, sizeof lf, &lf)) {
    lf.lfWeight = FW_BOLD;
    s.bold = CreateFontIndirectA(&lf);
    if (s.bold) SendDlgItemMessageA(dialog, RF_IDC_SV_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(s.bold), FALSE);
  }
  HWND first = GetDlgItem(dialog, RF_IDC_SV_VALUE);
  SetFocus(first);
  SendMessageA(first, EM_SETSEL, 0, -1);
}

void Apply(SetValueState& s, const SetValueOutcome& out) {
  if (s.field) {
    s.field->SetValue(out.value);
    s.field->SetRange(out.min, out.max);
    s.field->SetValue(out.value);
    RedrawWindow(s.field->window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    SendMessageA(GetParent(s.field->window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(s.field->id), 0),
                 kSpinCommitted);
  } else if (s.rotor) {
    TRotor& r = *s.rotor;
    if (r.rotor.kind == RotorKind::Polar && r.rotor.padMode)
      r.SetPoint(out.value, -out.value2);
    else if (r.rotor.kind == RotorKind::Polar)
      r.SetValue(out.value, out.value2);
    else if (r.rotor.kind == RotorKind::ValueDial)
      r.SetMappedValue(out.value);
    else
      r.SetValue(out.value, 0.0f);
    SendMessageA(GetParent(r.window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(r.id), 0), 0);
  }
  s.changed = true;
}

INT_PTR CALLBACK SetValueProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<SetValueState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      Init(dialog, *reinterpret_cast<SetValueState*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND: {
      if (!s) return FALSE;
      const int item = LOWORD(wParam);
      const int code = HIWORD(wParam);
      SetValueBox box;
      if (BoxOf(item, box)) {
        if (code == EN_KILLFOCUS && !s->closing) {
          const SetValueBoxResult r = s->rules.Leave(box, Text(dialog, item).c_str());
          SetDlgItemTextA(dialog, item, r.text.c_str());
          if (r.beep) MessageBeep(MB_OK);
        } else if (code == kEditEscapeCode) {
          SetDlgItemTextA(dialog, item, s->rules.Escape(box).c_str());
          SendDlgItemMessageA(dialog, item, EM_SETSEL, 0, -1);
        }
        return TRUE;
      }
      HWND focus = GetFocus();
      const int focusId = focus && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
      const bool inBox = BoxOf(focusId, box);
      if (item == IDOK) {
        // Enter in a box moves on (which checks that box) instead of closing.
        if (inBox) {
          SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
          return TRUE;
        }
        const SetValueOutcome out =
            s->rules.Ok(Text(dialog, RF_IDC_SV_VALUE).c_str(), Text(dialog, RF_IDC_SV_VALUE2).c_str(),
                        Text(dialog, RF_IDC_SV_MIN).c_str(), Text(dialog, RF_IDC_SV_MAX).c_str());
        if (!out.accepted) {
          const int id = BoxId(out.rejected);
          SetDlgItemTextA(dialog, id, out.text.c_str());
          MessageBeep(MB_OK);
          SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
          return TRUE;
        }
        s->closing = true;
        Apply(*s, out);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (item == IDCANCEL) {
        if (inBox) {
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(focusId, kEditEscapeCode), reinterpret_cast<LPARAM>(focus));
          return TRUE;
        }
        s->closing = true;
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      if (s) s->closing = true;
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

bool Run(HWND owner, SetValueState& s) {
  DialogBoxParamA(win32::ToolkitInstance(), MAKEINTRESOURCEA(RF_IDD_SET_VALUE), owner, SetValueProc,
                  reinterpret_cast<LPARAM>(&s));
  if (s.bold) DeleteObject(s.bold);
  return s.changed;
}

}  // namespace

bool RunSetValueDialog(HWND owner, TSpinEdit& field) {
  SetValueState s{SetValueRules::ForField(field.value, field.Name())};
  s.field = &field;
  return Run(owner, s);
}

bool RunSetValueDialog(HWND owner, TRotor& rotor) {
  SetValueState s{SetValueRules::ForRotor(rotor.rotor)};
  s.rotor = &rotor;
  return Run(owner, s);
}

}  // namespace rf::controls
