// The main window on Windows: two option check boxes over a list that logs each dropped file's conversion.
#include "win32/tavrin_main.h"

#include <shlobj.h>  // DROPFILES

#include <algorithm>
#include <cwchar>      // std::wcsncpy
#include <filesystem>
#include <memory>       // std::unique_ptr, the drop handle's release
#include <stdexcept>
#include <type_traits>  // std::remove_pointer_t

#include "engine/convert.h"
#include "engine/paths.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace tavrin::win32 {

namespace {

constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

// The window's DPI: its monitor's on Windows 10 and later (the manifest declares per-monitor
// awareness), the system's before that.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr && window != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int Scale(int pixelsAt96, UINT dpi) {
  return ::MulDiv(pixelsAt96, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

bool HasFontFamily(const wchar_t* family) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  std::wcsncpy(query.lfFaceName, family, LF_FACESIZE - 1);
  bool found = false;
  const HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(
      screen, &query,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// Tahoma 8 point, as the form is drawn for; where Tahoma is missing, the system's dialog font at
// the same size.
HFONT CreateFormFont(UINT dpi) {
  LOGFONTW font{};
  if (HasFontFamily(L"Tahoma")) {
    std::wcsncpy(font.lfFaceName, L"Tahoma", LF_FACESIZE - 1);
  } else {
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  font.lfHeight = -::MulDiv(kFontPoints, static_cast<int>(dpi), 72);
  font.lfWidth = 0;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  return ::CreateFontIndirectW(&font);
}

HMENU ControlMenu(ControlId id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

void RegisterClasses(HINSTANCE instance, WNDPROC mainProcedure) {
  const HCURSOR arrow = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  const HBRUSH buttonFace = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = mainProcedure;
  main.hInstance = instance;
  main.hCursor = arrow;
  main.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  main.hbrBackground = buttonFace;
  main.lpszClassName = kWindowClass;
  // The panel only paints its background and hosts the check boxes, which need nothing of it.
  WNDCLASSEXW panel = main;
  panel.lpfnWndProc = ::DefWindowProcW;
  panel.hIcon = nullptr;
  panel.lpszClassName = kPanelClass;
  for (const WNDCLASSEXW* windowClass : {&main, &panel}) {
    if (::RegisterClassExW(windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw std::runtime_error("The window class cannot be registered.");
    }
  }
}

}  // namespace

HDROP MakeDropHandle(const std::vector<std::wstring>& paths) {
  std::size_t units = 1;  // the zero after the last name
  for (const std::wstring& path : paths) units += path.size() + 1;
  const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
  if (memory == nullptr) return nullptr;
  auto* head = static_cast<DROPFILES*>(::GlobalLock(memory));
  head->pFiles = sizeof(DROPFILES);
  head->fWide = TRUE;
  auto* names = reinterpret_cast<wchar_t*>(head + 1);
  for (const std::wstring& path : paths) {
    names = std::copy(path.begin(), path.end(), names);
    *names++ = L'\0';
  }
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

std::vector<std::wstring> DroppedFileNames(HDROP drop) {
  std::vector<std::wstring> names;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  names.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    // The length first, so a name longer than MAX_PATH arrives whole.
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    name.resize(::DragQueryFileW(drop, i, name.data(), length + 1));
    names.push_back(std::move(name));
  }
  return names;
}

std::wstring Widen(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  if (size > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), size);
  return wide;
}

void ShowException(HWND owner, const std::wstring& message) {
  ::MessageBoxW(owner != nullptr && ::IsWindow(owner) ? owner : nullptr, message.c_str(), kApplicationTitle,
                MB_OK | MB_ICONERROR);
}

void DispatchOne(HWND mainWindow, MSG& message) {
  if (mainWindow != nullptr && ::IsDialogMessageW(mainWindow, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

int RunMessageLoop(HWND mainWindow) {
  MSG message{};
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    DispatchOne(::IsWindow(mainWindow) ? mainWindow : nullptr, message);
  }
}

}  // namespace tavrin::win32

using namespace tavrin::win32;

TTAVRIN_MAIN::TTAVRIN_MAIN(HINSTANCE instance) {
  RegisterClasses(instance, &TTAVRIN_MAIN::WindowProc);
  // WS_EX_CONTROLPARENT: tab moves into the panel's check boxes as into any other control.
  handle_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, kApplicationTitle, kWindowStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (handle_ == nullptr) throw std::runtime_error("The main window cannot be created.");

  // The form's client size at the window's DPI, the frame around it as this system draws it,
  // centred on the work area of the screen the window opens on.
  RECT frame{}, client{};
  ::GetWindowRect(handle_, &frame);
  ::GetClientRect(handle_, &client);
  const int width = Scale(kClientWidth, dpi_) + (frame.right - frame.left) - client.right;
  const int height = Scale(kClientHeight, dpi_) + (frame.bottom - frame.top) - client.bottom;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(handle_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  ::SetWindowPos(handle_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

  ::DragAcceptFiles(handle_, TRUE);
}

TTAVRIN_MAIN::~TTAVRIN_MAIN() {
  quitOnDestroy_ = false;  // the program is ending already; this is no user's close
  if (handle_ != nullptr) ::DestroyWindow(handle_);
  if (font_ != nullptr) ::DeleteObject(font_);
}

LRESULT CALLBACK TTAVRIN_MAIN::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<TTAVRIN_MAIN*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    created->handle_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* self = reinterpret_cast<TTAVRIN_MAIN*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->handle_ = self->Panel = self->C_v = self->C_f = self->LIST = self->lastFocus_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  // A handler's exception stops here, shown; it never unwinds through Windows' own frames.
  LRESULT result = 0;
  RunGuarded(window, [&] { result = self->HandleMessage(message, wParam, lParam); });
  return result;
}

LRESULT TTAVRIN_MAIN::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return CreateControls() ? 0 : -1;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DROPFILES:
      WMDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ACTIVATE:
      // Focus comes back to the control that had it when the window was left.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(handle_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      ::SetFocus(lastFocus_ != nullptr && ::IsWindow(lastFocus_) ? lastFocus_ : LIST);
      return 0;
    case WM_DESTROY:
      if (quitOnDestroy_) ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(handle_, message, wParam, lParam);
}

bool TTAVRIN_MAIN::CreateControls() {
  const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(handle_, GWLP_HINSTANCE));
  // Tab order is creation order: LIST first, then the panel, whose check boxes come in their own order.
  LIST = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0, 0,
                           0, 0, handle_, ControlMenu(kListId), instance, nullptr);
  Panel = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                            0, 0, handle_, ControlMenu(kPanelId), instance, nullptr);
  if (LIST == nullptr || Panel == nullptr) return false;
  C_v = ::CreateWindowExW(0, L"BUTTON", kVerboseCaption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0,
                          0, 0, Panel, ControlMenu(kVerboseId), instance, nullptr);
  C_f = ::CreateWindowExW(0, L"BUTTON", kSkipVersionCaption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0,
                          0, 0, 0, Panel, ControlMenu(kSkipVersionId), instance, nullptr);
  if (C_v == nullptr || C_f == nullptr) return false;
  ApplyDpi(WindowDpi(handle_));
  AppendLine(kInstructionLine);
  return true;
}

void TTAVRIN_MAIN::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  const HFONT font = CreateFormFont(dpi);
  for (const HWND control : {C_v, C_f, LIST}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (font_ != nullptr) ::DeleteObject(font_);
  font_ = font;
  for (const auto& [box, place] : {std::pair{C_v, kVerboseBox}, std::pair{C_f, kSkipVersionBox}}) {
    ::MoveWindow(box, Scale(place.left, dpi), Scale(place.top, dpi), Scale(place.right - place.left, dpi),
                 Scale(place.bottom - place.top, dpi), TRUE);
  }
  ::SendMessageW(LIST, LB_SETITEMHEIGHT, 0, Scale(kListItemHeight, dpi));
  Layout();
  ::InvalidateRect(handle_, nullptr, TRUE);
}

void TTAVRIN_MAIN::Layout() {
  if (Panel == nullptr || LIST == nullptr) return;
  RECT client{};
  ::GetClientRect(handle_, &client);
  const int panelHeight = Scale(kPanelHeight, dpi_);
  ::MoveWindow(Panel, 0, 0, client.right, panelHeight, TRUE);
  ::MoveWindow(LIST, 0, panelHeight, client.right, std::max(0, static_cast<int>(client.bottom) - panelHeight), TRUE);
}

void TTAVRIN_MAIN::AppendLine(const std::wstring& line) {
  // LB_ADDSTRING leaves the view where it is: the list never scrolls by itself.
  ::SendMessageW(LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

bool TTAVRIN_MAIN::LetPendingMessagesRun() {
  MSG message{};
  while (IsOpen() && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The program is ending: the batch stops, and the outer loop must still see the quit.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    DispatchOne(handle_, message);
  }
  return IsOpen();
}

void TTAVRIN_MAIN::WMDropFiles(HDROP drop) {
  // The shell's memory is given back however the batch ends.
  const std::unique_ptr<std::remove_pointer_t<HDROP>, decltype(&::DragFinish)> release(drop, &::DragFinish);
  for (const std::wstring& name : DroppedFileNames(drop)) {
    // A close in the pause ends the batch here: the file in hand was the last.
    if (!LetPendingMessagesRun()) break;
    ProcessDroppedFile(name);
  }
}

void TTAVRIN_MAIN::ProcessDroppedFile(const std::wstring& inputPath) {
  const std::filesystem::path input(inputPath);
  const std::filesystem::path output = tavrin::ReportPathFor(input);
  // The part after the last '\\', '/' or ':'; the whole path when there is none.
  AppendLine(input.filename().native());
  const bool verbose = ::SendMessageW(C_v, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const bool skipVersionCheck = ::SendMessageW(C_f, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const std::string status = tavrin::ConvertS98File(input, output, verbose, skipVersionCheck);
  AppendLine(status.empty() ? std::wstring(L"-> ok") : L"-> " + Widen(status, CP_UTF8));
}
