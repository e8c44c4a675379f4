// The main window on Windows: two option check boxes over a list that logs each dropped file's conversion.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>  // HDROP

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::win32 {

inline constexpr wchar_t kWindowClass[] = L"TTAVRIN_MAIN";
inline constexpr wchar_t kPanelClass[] = L"TPanel";
inline constexpr wchar_t kApplicationTitle[] = L"Tavrin_GUI 20110108";
// "*.s98をドロップすると同じ場所に拡張子を*.txtに変えて結果を出力します", spelled in UTF-16 so
// the source's encoding and the system's code page play no part.
inline constexpr wchar_t kInstructionLine[] =
    L"*.s98\u3092\u30c9\u30ed\u30c3\u30d7\u3059\u308b\u3068\u540c\u3058\u5834\u6240\u306b\u62e1\u5f35"
    L"\u5b50\u3092*.txt\u306b\u5909\u3048\u3066\u7d50\u679c\u3092\u51fa\u529b\u3057\u307e\u3059";
inline constexpr wchar_t kVerboseCaption[] = L"-v : show detail log (PSG/OPN/OPN2/OPNA/OPM only)";
inline constexpr wchar_t kSkipVersionCaption[] = L"-f : do not check S98 format version";

// Control identifiers: the children are found by these (GetDlgItem), from this process or another.
enum ControlId : int { kPanelId = 100, kVerboseId = 101, kSkipVersionId = 102, kListId = 103 };

// The form's measures, in pixels at 96 dots per inch; scaled to the window's DPI.
inline constexpr int kClientWidth = 469;
inline constexpr int kClientHeight = 346;
inline constexpr int kPanelHeight = 49;
inline constexpr RECT kVerboseBox = {8, 8, 8 + 281, 8 + 17};
inline constexpr RECT kSkipVersionBox = {8, 24, 8 + 281, 24 + 17};
inline constexpr int kListItemHeight = 13;
inline constexpr int kFontPoints = 8;

// A drop handle laid out as the shell makes one: a DROPFILES head in movable global memory, then the
// UTF-16 names, each ending in a zero, and one more zero. DragQueryFileW reads it and DragFinish frees it.
HDROP MakeDropHandle(const std::vector<std::wstring>& paths);

// Every name of a drop in the shell's order, whatever its length (no 260-unit limit).
std::vector<std::wstring> DroppedFileNames(HDROP drop);

// Text of `bytes` in `codePage` as UTF-16.
std::wstring Widen(std::string_view bytes, UINT codePage);

// The standard display of an exception: a message box captioned with the application title.
void ShowException(HWND owner, const std::wstring& message);

// Runs `handler`; what it throws is shown with ShowException and goes no further, so one faulty
// message never ends the message loop. True when the handler returned normally.
template <typename Handler>
bool RunGuarded(HWND owner, Handler&& handler) noexcept {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    ShowException(owner, Widen(error.what(), CP_ACP));
  } catch (...) {
    ShowException(owner, std::wstring());
  }
  return false;
}

// Hands one message on: tab and arrow keys move between the window's controls, the rest is
// translated and dispatched.
void DispatchOne(HWND mainWindow, MSG& message);

// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop(HWND mainWindow);

}  // namespace tavrin::win32

class TTAVRIN_MAIN {
 public:
  // Registers the window classes and creates the window, hidden, centred on the screen at its form
  // size, registered as a drop target. Throws std::runtime_error when Windows refuses the window.
  explicit TTAVRIN_MAIN(HINSTANCE instance);
  TTAVRIN_MAIN(const TTAVRIN_MAIN&) = delete;
  TTAVRIN_MAIN& operator=(const TTAVRIN_MAIN&) = delete;
  ~TTAVRIN_MAIN();

  HWND Handle() const { return handle_; }
  // False once the window has been destroyed (closed by the user, or by the program ending).
  bool IsOpen() const { return handle_ != nullptr; }

  // Converts the dropped files one after another; pending messages run before each file, so the
  // window repaints, the check boxes can change mid-batch, a nested drop is handled at once, and a
  // close ends the batch. Frees the drop handle.
  void WMDropFiles(HDROP drop);
  // Converts one file beside itself and logs its name and outcome as two lines of LIST.
  void ProcessDroppedFile(const std::wstring& inputPath);

  HWND Panel = nullptr;
  HWND C_v = nullptr;
  HWND C_f = nullptr;
  HWND LIST = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateControls();
  void ApplyDpi(UINT dpi);
  void Layout();
  void AppendLine(const std::wstring& line);
  // Lets every pending message run; false when the window is gone or the program is ending.
  bool LetPendingMessagesRun();

  HWND handle_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  HWND lastFocus_ = nullptr;
  bool quitOnDestroy_ = true;
};
