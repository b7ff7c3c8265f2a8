// The main dialog: its window, the tabs, the preview with its zoom and
// overview, the keys, the window's size and place, and the manual pages.
#include "ui/dialog_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/module_instance.h"
#include "presets/settings_file.h"
#include "ui/dialog_resources.h"
#include "ui/dialog_win32.h"

// The dialog procedure under its own name, for hosts and tools that look
// for it in the module.
extern "C" __declspec(dllexport) INT_PTR CALLBACK DissolveProc(HWND window, UINT message, WPARAM wParam,
                                                                LPARAM lParam) {
  return rf::ui::MainDialog::DialogProc(window, message, wParam, lParam);
}

namespace rf::ui {

using controls::FindControlAs;
using controls::TPreviewContaner;

namespace {

constexpr int32_t kHotKeyCount = 6;
constexpr COLORREF kBackground = RGB(0xE8, 0xE8, 0xE8);

void Move(HWND control, const Rect& r) {
  if (control) MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
}

bool IsEditWindow(HWND window) {
  char name[16] = {};
  return window && GetClassNameA(window, name, sizeof name) && lstrcmpiA(name, "Edit") == 0;
}

// The host's colour picker as the toolkit's swatches call it.
int16_t HostPicker(void* context, const char* prompt, uint16_t rgb16[3]) {
  return static_cast<DialogHost*>(context)->PickColour(prompt, rgb16);
}

}  // namespace

// ---- Fonts ------------------------------------------------------------------------

void DialogFonts::Create(int32_t density) {
  auto font = [density](int32_t height, int weight) {
    return CreateFontA(-FontHeight(height, density), 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  };
  caption = font(13, FW_BOLD);
  tab = font(14, FW_BOLD);
  normal = font(12, FW_NORMAL);
  list = font(13, FW_NORMAL);
}

void DialogFonts::Release() {
  for (HFONT* f : {&caption, &tab, &normal, &list}) {
    if (*f) DeleteObject(*f);
    *f = nullptr;
  }
}

// ---- The dialog's lifetime ------------------------------------------------------------

MainDialog::MainDialog(DialogHost& host, HINSTANCE instance) : host_(host), instance_(instance) {}

MainDialog::~MainDialog() { EndShellThread(); }

LRESULT MainDialog::ControlColour(HDC dc, HBRUSH background) {
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, kBackground);
  return reinterpret_cast<LRESULT>(background);
}

DialogResult MainDialog::Run() {
  density_ = controls::ReadScreenDensity();
  controls::SetScreenDensity(density_);
  background_ = CreateSolidBrush(kBackground);
  if (!background_ || !controls::RegisterControlClasses(instance_, background_)) {
    if (background_) DeleteObject(background_);
    platform::PluginAlert("The Rimeflower dialog cannot be shown: its windows could not be made.");
    return DialogResult::Cancel;
  }
  panCursor_ = static_cast<HCURSOR>(LoadImageA(instance_, MAKEINTRESOURCEA(RF_IDC_CURSOR), IMAGE_CURSOR, 0, 0,
                                               LR_DEFAULTSIZE));
  const INT_PTR answer = DialogBoxParamA(instance_, RF_IDD_MAIN, reinterpret_cast<HWND>(host_.OwnerWindow()),
                                         DissolveProc, reinterpret_cast<LPARAM>(this));
  // Written whether the user applied or cancelled: the window's place is
  // kept either way.
  presets::WriteSettingsFile(host_.Folders().settingsFile, Record().windowPlacement);
  if (panCursor_) DestroyCursor(panCursor_);
  panCursor_ = nullptr;
  controls::UnregisterControlClasses(instance_);
  DeleteObject(background_);
  background_ = nullptr;
  // Without a desktop (a service, a headless run) the window cannot be
  // made at all; the filter then runs with the values it was given, as a
  // recorded action without a dialog does.
  if (answer == -1) return DialogResult::Apply;
  return answer == IDOK ? DialogResult::Apply : DialogResult::Cancel;
}

INT_PTR CALLBACK MainDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RouteDialogMessage<MainDialog>(window, message, wParam, lParam);
}

bool MainDialog::Init() {
  HWND w = window_;
  queryMessage_ = RegisterWindowMessageA(kQueryMessageName);
  host_.BeginPreview();
  // Layers that cannot be read leave what was read; the preview then shows
  // less of the document behind the effect, never nothing.
  host_.ReadLayers();
  document_ = host_.Document();
  constexpr struct {
    HotKey key;
    UINT modifiers, vk;
  } kKeys[kHotKeyCount] = {{HotKey::ZoomIn, MOD_CONTROL, VK_ADD},  {HotKey::ZoomOut, MOD_CONTROL, VK_SUBTRACT},
                           {HotKey::WholeImage, MOD_CONTROL, '0'}, {HotKey::ActualSize, MOD_CONTROL, '1'},
                           {HotKey::Manual, 0, VK_F1},             {HotKey::ProductPage, 0, VK_F4}};
  for (int i = 0; i < kHotKeyCount; ++i)
    hotKeys_[i] = RegisterHotKey(w, int(kKeys[i].key), kKeys[i].modifiers, kKeys[i].vk) != FALSE;

  fonts_.Create(density_);
  SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.normal), FALSE);
  for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.normal), FALSE);
  SendDlgItemMessageA(w, RF_ID_ZOOM_LABEL, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.caption), FALSE);
  auto bitmap = [this](int id) { return LoadBitmapA(instance_, MAKEINTRESOURCEA(id)); };
  header_ = bitmap(RF_IDB_HEADER);
  headerSide_ = bitmap(RF_IDB_HEADER_SIDE);
  tabOn_ = bitmap(RF_IDB_TAB_SELECTED);
  tabOff_ = bitmap(RF_IDB_TAB);
  product_ = bitmap(RF_IDB_PRODUCT);

  controls::AttachTip(GetDlgItem(w, IDOK), "Apply effect");
  controls::AttachTip(GetDlgItem(w, IDCANCEL), "Don't apply effect");
  controls::AttachTip(GetDlgItem(w, RF_ID_ZOOM_IN), "Enlarge preview size (Use Ctrl+'+' or Ctrl+'1')");
  controls::AttachTip(GetDlgItem(w, RF_ID_ZOOM_OUT), "Decrease preview size (Use Ctrl+'-' or Ctrl+'0')");
  controls::AttachTip(GetDlgItem(w, RF_ID_ZOOM_LABEL), "Preview scale");
  controls::AttachTip(GetDlgItem(w, RF_ID_MANUAL), "View manual (F1)");
  controls::AttachTip(GetDlgItem(w, RF_ID_PRODUCT), "Visit the product page on site\n(Press F4 as alternative)");
  controls::AttachTip(GetDlgItem(w, RF_ID_PREVIEW),
                      "Use left mouse button to shift preview area. And right mouse button to setup a center of "
                      "emitter");
  controls::SetHostColourPicker(HostPicker, &host_);

  // The previews share the image's size, the zoom and the centre with us.
  ParameterRecord& r = Record();
  preview_ = FindControlAs<TPreviewContaner>(GetDlgItem(w, RF_ID_PREVIEW), controls::kPreviewContanerClass);
  overview_ = FindControlAs<TPreviewContaner>(GetDlgItem(w, RF_ID_OVERVIEW), controls::kPreviewContanerClass);
  if (!preview_ || !overview_) return false;
  shared_.imageWidth = document_.width;
  shared_.imageHeight = document_.height;
  shared_.centreX = r.CenterX;
  shared_.centreY = r.CenterY;
  shared_.recordCentreX = &r.CenterX;
  shared_.recordCentreY = &r.CenterY;
  shared_.hoverCursor = panCursor_;
  shared_.dragCursor = LoadCursor(nullptr, IDC_SIZEALL);
  shared_.mainPreview = &preview_->record;
  shared_.centreSetter = CentreSetter;
  shared_.refresh = PreviewRefresh;
  shared_.context = this;
  preview_->SetShared(&shared_);
  preview_->SetMode(controls::PreviewMode::Main);
  overview_->SetShared(&shared_);
  overview_->SetMode(controls::PreviewMode::Navigator);

  HWND tabs = GetDlgItem(w, RF_ID_TABS);
  const char* captions[2] = {" Geometry ", "   Material   "};
  for (int i = 0; i < 2; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(captions[i]);
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }

  presets_ = std::make_unique<PresetPanelWindow>(*this, host_.Presets());
  presets_->Create(w);
  geometry_ = std::make_unique<PageWindow>(*this, DialogPage::Geometry);
  if (!geometry_->Create(w)) return false;
  preview_->SetFields(geometry_->CentreXField(), geometry_->CentreYField(), 0);
  geometry_->ApplyEnabling();

  // The window where it was left, never smaller than the density allows
  // and never off the screen.
  const WindowPlacement& p = r.windowPlacement;
  const Size least = MinimumWindowSize(density_);
  const int32_t width = std::max(p.width, least.width), height = std::max(p.height, least.height);
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int32_t left = std::clamp<int32_t>(p.left, work.left, std::max<int32_t>(work.left, work.right - width));
  const int32_t top = std::clamp<int32_t>(p.top, work.top, std::max<int32_t>(work.top, work.bottom - height));
  SetWindowPos(w, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  placed_ = true;

  // The whole image once, for the overview; without it there is no dialog.
  if (host_.LoadPreviewSource() != 0) return false;
  Layout();
  BuildOverview();
  Render(false);
  SendMessageA(w, DM_SETDEFID, IDOK, 0);
  SetFocus(GetDlgItem(w, IDOK));
  return true;
}

void MainDialog::Destroy() {
  for (int i = 0; i < kHotKeyCount; ++i)
    if (hotKeys_[i]) UnregisterHotKey(window_, i + 1);
  // The place to open at next time: the outer rectangle as the user left it
  // (before a maximise).
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  RECT outer = {};
  if (IsZoomed(window_) && GetWindowPlacement(window_, &wp))
    outer = wp.rcNormalPosition;
  else
    GetWindowRect(window_, &outer);
  if (placed_) {
    WindowPlacement& p = Record().windowPlacement;
    p.left = outer.left;
    p.top = outer.top;
    p.width = outer.right - outer.left;
    p.height = outer.bottom - outer.top;
  }
  EndShellThread();
  controls::SetHostColourPicker(nullptr, nullptr);
  host_.SetProgressSink(nullptr, nullptr);
  host_.EndPreview();
  fonts_.Release();
  for (HBITMAP* b : {&header_, &headerSide_, &tabOn_, &tabOff_, &product_}) {
    if (*b) DeleteObject(*b);
    *b = nullptr;
  }
}

// ---- Layout -------------------------------------------------------------------------------

void MainDialog::Layout() {
  if (!geometry_ || !geometry_->Window()) return;
  HWND w = window_;
  RECT client = {};
  GetClientRect(w, &client);
  RECT pageRect = {};
  GetWindowRect(geometry_->Window(), &pageRect);
  const Size page{pageRect.right - pageRect.left, pageRect.bottom - pageRect.top};
  const MainLayout l = LayoutMain({client.right, client.bottom}, page, presets_->TemplateSize(), density_);
  Move(GetDlgItem(w, RF_ID_HEADER), l.header);
  Move(GetDlgItem(w, RF_ID_HEADER_SIDE), l.headerSide);
  Move(GetDlgItem(w, RF_ID_PREVIEW), l.preview);
  Move(GetDlgItem(w, RF_ID_OVERVIEW), l.overview);
  Move(GetDlgItem(w, RF_ID_ZOOM_OUT), l.zoomOut);
  Move(GetDlgItem(w, RF_ID_ZOOM_LABEL), l.zoomLabel);
  Move(GetDlgItem(w, RF_ID_ZOOM_IN), l.zoomIn);
  Move(GetDlgItem(w, RF_ID_PROGRESS), l.progress);
  Move(GetDlgItem(w, RF_ID_TABS), l.tabs);
  Move(GetDlgItem(w, RF_ID_PRODUCT), l.product);
  Move(GetDlgItem(w, RF_ID_MANUAL), l.manual);
  Move(GetDlgItem(w, IDOK), l.ok);
  Move(GetDlgItem(w, IDCANCEL), l.cancel);
  SendDlgItemMessageA(w, RF_ID_TABS, TCM_SETITEMSIZE, 0, MAKELPARAM(Scaled(118, density_), l.tabs.height - 2));
  for (PageWindow* p : {geometry_.get(), material_.get()})
    if (p && p->Window()) Move(p->Window(), l.page);
  if (presets_ && presets_->Window()) {
    Move(presets_->Window(), l.presets);
    presets_->Layout();
  }
  zoom_.SetSizes(document_.width, document_.height, l.preview.width, l.preview.height);
  const double factor = OverviewFactor(document_.width, document_.height, l.overview.width, l.overview.height);
  if (factor != overviewFactor_) {
    overviewFactor_ = factor;
    BuildOverview();
  }
  ShowZoom();
}

// The overview: the whole filter area scaled to fit, never enlarged.
void MainDialog::BuildOverview() {
  const uint8_t* source = host_.PreviewSource();
  if (!overview_ || !source || overviewFactor_ <= 0.0) return;
  const int32_t w = std::max(1, int32_t(document_.width * overviewFactor_));
  const int32_t h = std::max(1, int32_t(document_.height * overviewFactor_));
  std::vector<uint32_t> pixels(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y) {
    const int32_t sy = std::min(document_.height - 1, int32_t(y / overviewFactor_));
    for (int32_t x = 0; x < w; ++x) {
      const int32_t sx = std::min(document_.width - 1, int32_t(x / overviewFactor_));
      const uint8_t* p = source + (size_t(sy) * document_.width + sx) * 4;
      uint32_t c[3] = {p[0], p[1], p[2]};
      if (document_.hasTransparency) {
        const uint32_t ground = ((x / 7 + y / 7) & 1) ? 204 : 255;
        for (uint32_t& v : c) v = (v * p[3] + ground * (255 - p[3])) / 255;
      }
      pixels[size_t(y) * w + x] = (c[0] << 16) | (c[1] << 8) | c[2];
    }
  }
  overviewImage_ = {w, h};
  overview_->SetPixels(pixels.data(), w, h);
  overview_->SetViewSize(w, h);
  overview_->SetNavScale(float(overviewFactor_));
  overview_->SetOffset((overview_->width - w) / 2, (overview_->height - h) / 2);
}

void MainDialog::ShowZoom() {
  HWND w = window_;
  SetDlgItemTextA(w, RF_ID_ZOOM_LABEL, zoom_.Label().c_str());
  for (int32_t id : {RF_ID_ZOOM_IN, RF_ID_ZOOM_OUT}) {
    const bool on = id == RF_ID_ZOOM_IN ? zoom_.CanZoomIn() : zoom_.CanZoomOut();
    HWND button = GetDlgItem(w, id);
    // A button that goes grey under the keyboard hands the focus to OK.
    if (!on && GetFocus() == button) SendMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(w, IDOK)), TRUE);
    EnableWindow(button, on);
  }
  shared_.zoom = float(zoom_.Scale());
  if (preview_) {
    preview_->SetScroll(zoom_.OffsetX(), zoom_.OffsetY());
    preview_->SetOffset(zoom_.PlacementX(), zoom_.PlacementY());
    preview_->SetViewSize(zoom_.VisibleWidth(), zoom_.VisibleHeight());
  }
  if (overview_)
    overview_->SetFrame(FrameFromOffset(zoom_.OffsetX(), zoom_.Scale(), overviewFactor_),
                        FrameFromOffset(zoom_.OffsetY(), zoom_.Scale(), overviewFactor_));
}

// ---- Rendering --------------------------------------------------------------------------------

void MainDialog::Progress(void* context, int32_t done, int32_t total) {
  auto* self = static_cast<MainDialog*>(context);
  HWND bar = GetDlgItem(self->window_, RF_ID_PROGRESS);
  if (!bar) return;
  SendMessageA(bar, PBM_SETRANGE32, 0, std::max(total, 1));
  SendMessageA(bar, PBM_SETPOS, done, 0);
  UpdateWindow(bar);
}

void MainDialog::Render(bool reloadSource) {
  if (!preview_) return;
  PreviewView view;
  view.scale = zoom_.Scale();
  view.offsetX = zoom_.OffsetX();
  view.offsetY = zoom_.OffsetY();
  view.width = std::max(1, zoom_.VisibleWidth());
  view.height = std::max(1, zoom_.VisibleHeight());
  host_.SetProgressSink(Progress, this);
  const HCURSOR before = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const int16_t result = host_.RenderPreview(view, reloadSource, picture_);
  SetCursor(before);
  if (result == 0) {
    ++renders_;
    // The container draws a picture of its own size from where the image
    // starts; the render fills its top-left corner.
    const int32_t cw = std::max(preview_->width, 1), ch = std::max(preview_->height, 1);
    std::vector<uint32_t> client(size_t(cw) * size_t(ch), 0);
    const int32_t rows = std::min(ch, picture_.height), columns = std::min(cw, picture_.width);
    for (int32_t y = 0; y < rows; ++y)
      std::memcpy(&client[size_t(y) * cw], &picture_.pixels[size_t(y) * picture_.width], size_t(columns) * 4);
    preview_->SetPixels(client.data(), cw, ch);
  }
  ShowZoom();
  shared_.centreX = Record().CenterX;
  shared_.centreY = Record().CenterY;
  RedrawWindow(preview_->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  if (overview_) RedrawWindow(overview_->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void MainDialog::Changed(int32_t id) {
  MarkChanged(Record(), id);
  switch (id) {
    case RF_ID_EMITTER_PATHS:
    case RF_ID_EMITTER_CONTOURS:
    case RF_ID_EMITTER_FIXED:
    case RF_ID_EFFECT:
    case RF_ID_ALPHA_CUT:
      if (geometry_) geometry_->ApplyEnabling();
      break;
    default:
      break;
  }
  Render(false);
}

void MainDialog::RefreshFromRecord() {
  const uint8_t emitter = Record().EmitterType;
  for (PageWindow* p : {geometry_.get(), material_.get()})
    if (p) p->Refresh();
  if (geometry_) geometry_->ApplyEnabling();
  CentreMoved();
  Render(false);
  // "Auto" in a preset is resolved by the render; the buttons show what it
  // became.
  if (Record().EmitterType != emitter && geometry_) {
    geometry_->Refresh();
    geometry_->ApplyEnabling();
  }
}

void MainDialog::CentreMoved() {
  shared_.centreX = Record().CenterX;
  shared_.centreY = Record().CenterY;
  if (preview_) InvalidateRect(preview_->window, nullptr, FALSE);
}

void MainDialog::SetCrosshair(bool on) {
  if (!preview_) return;
  preview_->SetShowCentre(on ? 1 : 0);
  shared_.hoverCursor = on ? LoadCursor(nullptr, IDC_CROSS) : panCursor_;
}

void MainDialog::CentreSetter(void* context, float x, float y) {
  auto* self = static_cast<MainDialog*>(context);
  self->Record().SceneDirty = 1;
  if (self->geometry_) self->geometry_->ShowCentre(x, y);
}

void MainDialog::PreviewRefresh(void* context) { static_cast<MainDialog*>(context)->Render(false); }

// ---- Zoom and pan ------------------------------------------------------------------------------

void MainDialog::Zoomed(bool changed) {
  ShowZoom();
  if (changed) Render(false);
}

void MainDialog::PanEnded() {
  int32_t x = 0, y = 0;
  preview_->GetScroll(x, y);
  const bool moved = zoom_.MoveTo(x, y);
  ShowZoom();
  if (moved || x != zoom_.OffsetX() || y != zoom_.OffsetY()) Render(false);
}

void MainDialog::FrameMoved() {
  int32_t fx = 0, fy = 0, fw = 0, fh = 0;
  overview_->GetFrame(fx, fy, fw, fh);
  const bool moved = zoom_.MoveTo(OffsetFromFrame(fx, zoom_.Scale(), overviewFactor_),
                                  OffsetFromFrame(fy, zoom_.Scale(), overviewFactor_));
  ShowZoom();
  if (moved) Render(false);
}

// ---- Tabs -----------------------------------------------------------------------------------------

void MainDialog::SelectTab(int index) {
  currentTab_ = index == 1 ? 1 : 0;
  if (currentTab_ == 1 && !material_) {
    material_ = std::make_unique<PageWindow>(*this, DialogPage::Material);
    if (!material_->Create(window_)) material_.reset();
    Layout();
  }
  if (geometry_ && geometry_->Window()) ShowWindow(geometry_->Window(), currentTab_ == 0 ? SW_SHOW : SW_HIDE);
  if (material_ && material_->Window()) ShowWindow(material_->Window(), currentTab_ == 1 ? SW_SHOW : SW_HIDE);
  SendDlgItemMessageA(window_, RF_ID_TABS, TCM_SETCURSEL, currentTab_, 0);
  Render(false);
}

// ---- Owner-drawn parts ----------------------------------------------------------------------------

namespace {

void StretchBitmap(HDC dc, HBITMAP bitmap, const RECT& r) {
  BITMAP bm = {};
  if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

}  // namespace

void MainDialog::DrawOwnerItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  if (item.CtlType == ODT_TAB) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    StretchBitmap(dc, selected ? tabOn_ : tabOff_, r);
    char text[32] = {};
    TCITEMA tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = sizeof text;
    SendMessageA(item.hwndItem, TCM_GETITEMA, item.itemID, reinterpret_cast<LPARAM>(&tab));
    HGDIOBJ old = SelectObject(dc, fonts_.tab);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, selected ? RGB(0x1E, 0x3A, 0x5C) : RGB(0x50, 0x56, 0x5E));
    RECT t = r;
    DrawTextA(dc, text, -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    return;
  }
  if (item.CtlID == RF_ID_HEADER) return StretchBitmap(dc, header_, r);
  if (item.CtlID == RF_ID_HEADER_SIDE) return StretchBitmap(dc, headerSide_, r);
  if (item.CtlID == RF_ID_PRODUCT) {
    FillRect(dc, &r, background_);
    RECT face = r;
    if (item.itemState & ODS_SELECTED) OffsetRect(&face, 1, 1);
    StretchBitmap(dc, product_, face);
    if (item.itemState & ODS_FOCUS) {
      RECT f = r;
      InflateRect(&f, -1, -1);
      DrawFocusRect(dc, &f);
    }
  }
}

// ---- Keys, commands, the manual -----------------------------------------------------------------

void MainDialog::Command(int32_t id, int32_t code, HWND control) {
  HWND w = window_;
  switch (id) {
    case IDOK: {
      HWND focus = GetFocus();
      if (OnEnter(IsEditWindow(focus)) == KeyOutcome::NextControl) {
        SendMessageA(w, WM_NEXTDLGCTL, 0, FALSE);
        return;
      }
      EndDialog(w, IDOK);
      return;
    }
    case IDCANCEL: {
      HWND focus = GetFocus();
      if (OnEscape(IsEditWindow(focus)) == KeyOutcome::EndEditing) {
        // The field shows its value again (its owner knows the code), and
        // the focus goes back to OK, where Escape cancels.
        SendMessageA(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), controls::kEditEscapeCode),
                     reinterpret_cast<LPARAM>(focus));
        SendMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(w, IDOK)), TRUE);
        return;
      }
      EndDialog(w, IDCANCEL);
      return;
    }
    case RF_ID_ZOOM_IN:
      if (code == BN_CLICKED) Zoomed(zoom_.ZoomIn());
      return;
    case RF_ID_ZOOM_OUT:
      if (code == BN_CLICKED) Zoomed(zoom_.ZoomOut());
      return;
    case RF_ID_MANUAL:
      if (code == BN_CLICKED) OpenHelp(kManualPage);
      return;
    case RF_ID_PRODUCT:
      if (code == BN_CLICKED) OpenInShell(kProductPage);
      return;
    case RF_ID_PREVIEW:
      if (code == controls::kPreviewGestureEnd) PanEnded();
      return;
    case RF_ID_OVERVIEW:
      if (code == controls::kPreviewGestureEnd) FrameMoved();
      return;
    default:
      (void)control;
      return;
  }
}

void MainDialog::OnHotKey(int32_t id) {
  // The keys are the system's while they are registered; they act only when
  // this window is the one the user works in.
  HWND active = GetForegroundWindow();
  if (active != window_ && GetAncestor(active, GA_ROOTOWNER) != window_ && GetParent(active) != window_) return;
  switch (static_cast<ui::HotKey>(id)) {
    case HotKey::ZoomIn: return Zoomed(zoom_.ZoomIn());
    case HotKey::ZoomOut: return Zoomed(zoom_.ZoomOut());
    case HotKey::WholeImage: return Zoomed(zoom_.WholeImage());
    case HotKey::ActualSize: return Zoomed(zoom_.ActualSize());
    case HotKey::Manual: return OpenHelp(HelpPageFor(currentTab_ == 1 ? DialogPage::Material : DialogPage::Geometry));
    case HotKey::ProductPage: return OpenInShell(kProductPage);
  }
}

void MainDialog::OpenHelp(const char* page) { OpenInShell(host_.Folders().helpFolder + page); }

DWORD WINAPI MainDialog::ShellThread(void* parameter) {
  auto* self = static_cast<MainDialog*>(parameter);
  ShellExecuteA(reinterpret_cast<HWND>(self->shellOwner_), "open", self->shellTarget_.c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
  InterlockedExchange(&self->shellBusy_, 0);
  return 0;
}

// The shell may take its time to start a browser; the dialog goes on
// meanwhile, and a second request while one is on its way is dropped.
void MainDialog::OpenInShell(const std::string& target) {
  if (InterlockedCompareExchange(&shellBusy_, 1, 0) != 0) return;
  if (shellThread_) {
    CloseHandle(shellThread_);
    shellThread_ = nullptr;
  }
  shellTarget_ = target;
  shellOwner_ = reinterpret_cast<intptr_t>(window_);
  shellThread_ = CreateThread(nullptr, 0, ShellThread, this, 0, nullptr);
  if (!shellThread_) InterlockedExchange(&shellBusy_, 0);
}

// A worker must not outlive the module's code it runs: one still waiting
// for the shell when the dialog closes is given a moment, then ended.
void MainDialog::EndShellThread() {
  if (!shellThread_) return;
  if (WaitForSingleObject(shellThread_, 2000) == WAIT_TIMEOUT) TerminateThread(shellThread_, 0);
  CloseHandle(shellThread_);
  shellThread_ = nullptr;
  InterlockedExchange(&shellBusy_, 0);
}

// ---- What the Windows tests ask -----------------------------------------------------------------

LRESULT MainDialog::Query(WPARAM what) {
  switch (int32_t(what)) {
    case kQueryPreviewCheck: {
      // The kept picture against one rendered from nothing: the source read
      // again and the pattern regrown.
      const PreviewPicture kept = picture_;
      Record().SceneDirty = 1;
      PreviewView view{zoom_.Scale(), zoom_.OffsetX(), zoom_.OffsetY(), std::max(1, zoom_.VisibleWidth()),
                       std::max(1, zoom_.VisibleHeight())};
      PreviewPicture fresh;
      if (host_.RenderPreview(view, true, fresh) != 0) return 0;
      return fresh.pixels == kept.pixels && fresh.width == kept.width ? 1 : 2;
    }
    case kQueryScale: return zoom_.Scale();
    case kQueryOffsetX: return zoom_.OffsetX();
    case kQueryOffsetY: return zoom_.OffsetY();
    case kQueryRenders: return renders_;
    case kQueryCrosshair: return preview_ && preview_->record.showCentre ? 1 : 0;
    default: return -1;
  }
}

// ---- Messages -----------------------------------------------------------------------------------

INT_PTR MainDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND w = window_;
  if (message == queryMessage_ && message != 0) {
    SetWindowLongPtrA(w, DWLP_MSGRESULT, Query(wParam));
    return TRUE;
  }
  switch (message) {
    case WM_INITDIALOG:
      if (!Init()) EndDialog(w, IDCANCEL);
      return FALSE;  // the focus is OK's, set above
    case WM_DESTROY:
      Destroy();
      return FALSE;
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(lParam);
      if (n && n->idFrom == RF_ID_TABS && n->code == TCN_SELCHANGE)
        SelectTab(int(SendMessageA(n->hwndFrom, TCM_GETCURSEL, 0, 0)));
      return TRUE;
    }
    case WM_HOTKEY:
      OnHotKey(int32_t(wParam));
      return TRUE;
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
      if (info && info->dwContextId == DWORD(kParameterTopic))
        OpenHelp(kParameterPage);
      else
        OpenHelp(HelpPageFor(currentTab_ == 1 ? DialogPage::Material : DialogPage::Geometry));
      return TRUE;
    }
    case WM_DRAWITEM:
      if (lParam) DrawOwnerItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return ControlColour(reinterpret_cast<HDC>(wParam), background_);
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == GetDlgItem(w, RF_ID_PRODUCT)) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        SetWindowLongPtrA(w, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      const Size least = MinimumWindowSize(density_);
      info->ptMinTrackSize.x = least.width;
      info->ptMinTrackSize.y = least.height;
      return TRUE;
    }
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) return TRUE;
      Layout();
      // Maximise and restore come without a move loop around them.
      if (!inSizeMove_ && renders_ > 0) Render(false);
      return TRUE;
    case WM_ENTERSIZEMOVE:
      inSizeMove_ = true;
      return TRUE;
    case WM_EXITSIZEMOVE:
      inSizeMove_ = false;
      Render(false);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        EndDialog(w, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(w, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

DialogResult RunMainDialog(DialogHost& host) {
  MainDialog dialog(host, static_cast<HINSTANCE>(platform::win32::ModuleInstance()));
  return dialog.Run();
}

}  // namespace rf::ui
