// The Win32 window in process: drops through real DROPFILES handles, LIST read back, options mid-batch, the form.
#include "win32/tavrin_main.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/paths.h"
#include "tests/support/s98_builder.h"
#include "tests/windows/list_lines.h"
#include "tests/windows/wide_files.h"

namespace tavrin::win32 {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::wstring>;
using testing::ListLines;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Song() { return testing::KeyOnSong().BuildString(); }

// The report the engine itself writes for `path`, for comparison with what the window left on disk.
std::string EngineReport(const fs::path& path, bool verbose) {
  const std::string bytes = ReadBytes(path);
  std::string report;
  const std::string status =
      ConvertS98Bytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, HeaderFileName(path),
                      ConversionOptions{.verbose = verbose}, report);
  return status.empty() ? report : "status: " + status;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A control's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND control) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

::testing::AssertionResult SameRect(const RECT& actual, const RECT& expected) {
  if (::EqualRect(&actual, &expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << actual.left << "," << actual.top << ")-(" << actual.right << ","
                                       << actual.bottom << "), expected (" << expected.left << "," << expected.top
                                       << ")-(" << expected.right << "," << expected.bottom << ")";
}

// Runs `action` once, when LIST first reaches `lineCount` lines: a stand-in for the user who acts
// while a batch runs. What the action posts waits in the queue for the pause before the next file.
class WhenListReaches {
 public:
  WhenListReaches(HWND list, LRESULT lineCount, std::function<void()> action)
      : list_(list), lineCount_(lineCount), action_(std::move(action)) {
    active_ = this;
    original_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WhenListReaches::Procedure)));
  }
  ~WhenListReaches() {
    if (::IsWindow(list_)) ::SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    active_ = nullptr;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WhenListReaches& self = *active_;
    const LRESULT result = ::CallWindowProcW(self.original_, window, message, wParam, lParam);
    if (message == LB_ADDSTRING && !self.done_ && ::SendMessageW(window, LB_GETCOUNT, 0, 0) == self.lineCount_) {
      self.done_ = true;
      self.action_();
    }
    return result;
  }

  static inline WhenListReaches* active_ = nullptr;
  HWND list_;
  LRESULT lineCount_;
  std::function<void()> action_;
  WNDPROC original_ = nullptr;
  bool done_ = false;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // The folder's own name is not ASCII, so every path the window handles goes through UTF-16.
    dir_ = fs::temp_directory_path() / (L"tavrin-window-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                        std::wstring(test.begin(), test.end()) + L"-\u00e9t\u00e9");
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    window_ = std::make_unique<TTAVRIN_MAIN>(::GetModuleHandleW(nullptr));
    ::ShowWindow(window_->Handle(), SW_SHOWNORMAL);
    Pump();
  }
  void TearDown() override {
    window_.reset();
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
      ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
      DispatchOne(window_->Handle(), message);
    }
  }

  // The full path of `name` in the test's folder, spelled with backslashes and a drive colon.
  std::wstring In(const std::wstring& name) const { return dir_.native() + L"\\" + name; }
  std::wstring WriteSong(const std::wstring& name) const {
    WriteBytes(In(name), Song());
    return In(name);
  }

  // What the shell does on a drop: WM_DROPFILES with a DROPFILES handle, handled before this returns.
  void Drop(const std::vector<std::wstring>& paths) {
    ::SendMessageW(window_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDropHandle(paths)), 0);
  }

  Lines Logged() const { return ListLines(window_->LIST); }

  void ResizeClient(int width, int height) {
    RECT frame{}, client{};
    ::GetWindowRect(window_->Handle(), &frame);
    ::GetClientRect(window_->Handle(), &client);
    ::SetWindowPos(window_->Handle(), nullptr, 0, 0, width + (frame.right - frame.left) - client.right,
                   height + (frame.bottom - frame.top) - client.bottom, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
  }

  fs::path dir_;
  std::unique_ptr<TTAVRIN_MAIN> window_;
};

TEST_F(WindowTest, DropOfThreeFilesLogsSixLinesInDropOrder) {
  const std::wstring song = WriteSong(L"\u66f2 \u00fc.s98");
  WriteBytes(In(L"short.s98"), Song().substr(0, 10));
  fs::create_directory(In(L"folder.s98"));

  Drop({song, In(L"short.s98"), In(L"folder.s98")});

  EXPECT_EQ(Logged(), (Lines{kInstructionLine, L"\u66f2 \u00fc.s98", L"-> ok", L"short.s98", L"-> File read error.",
                             L"folder.s98", L"-> File open error."}));
  EXPECT_EQ(ReadBytes(In(L"\u66f2 \u00fc.txt")), EngineReport(song, false));
  EXPECT_FALSE(fs::exists(In(L"short.txt")));
  EXPECT_FALSE(fs::exists(In(L"folder.txt")));
}

// The user ticks -v while the first file of a drop is converted: the click waits for the pause
// before the second file, which is converted with -v on; the first is not.
TEST_F(WindowTest, CheckBoxClickedBetweenFilesOfOneDrop) {
  const std::wstring first = WriteSong(L"first.s98"), second = WriteSong(L"second.s98");
  WhenListReaches click(window_->LIST, 3, [this] { ::PostMessageW(window_->C_v, BM_CLICK, 0, 0); });

  Drop({first, second});

  EXPECT_EQ(::SendMessageW(window_->C_v, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(Logged(), (Lines{kInstructionLine, L"first.s98", L"-> ok", L"second.s98", L"-> ok"}));
  const std::string plain = ReadBytes(In(L"first.txt")), verbose = ReadBytes(In(L"second.txt"));
  EXPECT_EQ(plain, EngineReport(first, false));
  EXPECT_EQ(verbose, EngineReport(second, true));
  EXPECT_EQ(plain.find("Key-ON/OFF"), std::string::npos);
  EXPECT_NE(verbose.find("FM#1 Key-ON/OFF slot: 1 2 3 4"), std::string::npos);
}

// A second drop that arrives in the pause before a file is handled at once, all of it; then the
// interrupted batch goes on.
TEST_F(WindowTest, DropDuringThePauseIsHandledAtOnce) {
  for (const wchar_t* name : {L"a.s98", L"b.s98", L"x.s98", L"y.s98"}) WriteSong(name);
  WhenListReaches nested(window_->LIST, 3, [this] {
    ::PostMessageW(window_->Handle(), WM_DROPFILES,
                   reinterpret_cast<WPARAM>(MakeDropHandle({In(L"x.s98"), In(L"y.s98")})), 0);
  });

  Drop({In(L"a.s98"), In(L"b.s98")});

  EXPECT_EQ(Logged(), (Lines{kInstructionLine, L"a.s98", L"-> ok", L"x.s98", L"-> ok", L"y.s98", L"-> ok", L"b.s98",
                             L"-> ok"}));
}

// Closing the window in the pause ends the batch after the file in hand, and the program's loop
// is told to end with code 0.
TEST_F(WindowTest, ClosingDuringADropEndsTheBatch) {
  for (const wchar_t* name : {L"a.s98", L"b.s98", L"c.s98"}) WriteSong(name);
  WhenListReaches close(window_->LIST, 3, [this] { ::PostMessageW(window_->Handle(), WM_CLOSE, 0, 0); });

  Drop({In(L"a.s98"), In(L"b.s98"), In(L"c.s98")});

  EXPECT_FALSE(window_->IsOpen());
  EXPECT_TRUE(fs::exists(In(L"a.txt")));
  EXPECT_FALSE(fs::exists(In(L"b.txt")));
  EXPECT_FALSE(fs::exists(In(L"c.txt")));
  MSG quit{};
  ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(WindowTest, AppendingDoesNotScrollTheList) {
  std::vector<std::wstring> missing;
  for (int i = 0; i < 40; ++i) missing.push_back(In(L"missing" + std::to_wstring(i) + L".s98"));
  Drop(missing);
  EXPECT_EQ(::SendMessageW(window_->LIST, LB_GETCOUNT, 0, 0), 81);
  EXPECT_EQ(::SendMessageW(window_->LIST, LB_GETTOPINDEX, 0, 0), 0);
  // The lines are there to scroll to by hand: the vertical scroll bar shows.
  EXPECT_TRUE(::GetWindowLongPtrW(window_->LIST, GWL_STYLE) & WS_VSCROLL);
}

TEST_F(WindowTest, FormAtStart) {
  const HWND w = window_->Handle();
  const HDC screen = ::GetDC(nullptr);
  ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 96) << "the form's measures are checked at 96 DPI";
  wchar_t className[64]{};
  ::GetClassNameW(w, className, 64);
  EXPECT_STREQ(className, L"TTAVRIN_MAIN");
  EXPECT_EQ(WindowText(w), L"Tavrin_GUI 20110108");

  const LONG_PTR style = ::GetWindowLongPtrW(w, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_EQ(::GetClassLongPtrW(w, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);

  // Client area 469 x 346, the whole window centred on the work area.
  RECT client{}, frame{};
  ::GetClientRect(w, &client);
  EXPECT_TRUE(SameRect(client, {0, 0, 469, 346}));
  ::GetWindowRect(w, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_LE(std::abs((frame.left + frame.right) - (monitor.rcWork.left + monitor.rcWork.right)), 1);
  EXPECT_LE(std::abs((frame.top + frame.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)), 1);

  // The controls: where they sit, their identifiers, captions and start states.
  EXPECT_EQ(::GetDlgItem(w, kPanelId), window_->Panel);
  EXPECT_EQ(::GetDlgItem(w, kListId), window_->LIST);
  EXPECT_EQ(::GetDlgItem(window_->Panel, kVerboseId), window_->C_v);
  EXPECT_EQ(::GetDlgItem(window_->Panel, kSkipVersionId), window_->C_f);
  EXPECT_EQ(WindowText(window_->C_v), L"-v : show detail log (PSG/OPN/OPN2/OPNA/OPM only)");
  EXPECT_EQ(WindowText(window_->C_f), L"-f : do not check S98 format version");
  EXPECT_EQ(::SendMessageW(window_->C_v, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(window_->C_f, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(::GetWindowLongPtrW(window_->Panel, GWL_STYLE) & WS_BORDER);
  EXPECT_FALSE(::GetWindowLongPtrW(window_->Panel, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));

  const LONG_PTR listStyle = ::GetWindowLongPtrW(window_->LIST, GWL_STYLE);
  EXPECT_FALSE(listStyle & LBS_SORT);
  EXPECT_TRUE(listStyle & LBS_NOINTEGRALHEIGHT);
  EXPECT_EQ(::SendMessageW(window_->LIST, LB_GETITEMHEIGHT, 0, 0), 13);
  EXPECT_EQ(Logged(), Lines{kInstructionLine});

  // Tahoma 8 point where the system has Tahoma (asked here by creating it), else the dialog font.
  const HFONT tahoma = ::CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  ::SelectObject(screen, tahoma);
  wchar_t realised[LF_FACESIZE]{};
  ::GetTextFaceW(screen, LF_FACESIZE, realised);
  LOGFONTW dialog{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof dialog, &dialog);
  const std::wstring expectedFace = std::wstring(realised) == L"Tahoma" ? L"Tahoma" : dialog.lfFaceName;
  ::ReleaseDC(nullptr, screen);
  ::DeleteObject(tahoma);
  for (const HWND control : {window_->C_v, window_->C_f, window_->LIST}) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_EQ(std::wstring(font.lfFaceName), expectedFace);
  }

  // Tab order: LIST, then the panel's check boxes, and round again.
  EXPECT_EQ(::GetNextDlgTabItem(w, window_->LIST, FALSE), window_->C_v);
  EXPECT_EQ(::GetNextDlgTabItem(w, window_->C_v, FALSE), window_->C_f);
  EXPECT_EQ(::GetNextDlgTabItem(w, window_->C_f, FALSE), window_->LIST);
  EXPECT_EQ(::GetFocus(), window_->LIST);
}

TEST_F(WindowTest, LayoutFollowsTheWindowSize) {
  struct Case {
    int width, height;
  };
  for (const Case c : {Case{469, 346}, Case{640, 346}, Case{469, 500}, Case{300, 200}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    ResizeClient(c.width, c.height);
    EXPECT_TRUE(SameRect(PlaceInParent(window_->Panel), {0, 0, c.width, 49}));
    EXPECT_TRUE(SameRect(PlaceInParent(window_->LIST), {0, 49, c.width, c.height}));
    // The check boxes keep their place in the panel whatever the window's size.
    EXPECT_TRUE(SameRect(PlaceInParent(window_->C_v), {8, 8, 8 + 281, 8 + 17}));
    EXPECT_TRUE(SameRect(PlaceInParent(window_->C_f), {8, 24, 8 + 281, 24 + 17}));
  }
}

TEST(DropHandle, NamesComeBackWholeAndInOrder) {
  const std::wstring longName = L"C:\\" + std::wstring(300, L'x') + L".s98";  // beyond MAX_PATH
  for (const Lines& names : {Lines{L"C:\\music\\a.s98"},
                             Lines{longName, L"Z:\\\u66f2\\\u00fc.s98", L"C:\\old.disk\\song"}}) {
    const HDROP drop = MakeDropHandle(names);
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(DroppedFileNames(drop), names);
    ::DragFinish(drop);
  }
}

// The message box an exception leaves: its caption and text, read and closed from a timer that
// runs inside the box's own message loop.
struct ShownBox {
  static inline std::wstring caption, text;
  static void CALLBACK CloseIt(HWND, UINT, UINT_PTR timer, DWORD) {
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND box, LPARAM) -> BOOL {
          wchar_t name[16]{};
          ::GetClassNameW(box, name, 16);
          if (std::wstring(name) != L"#32770") return TRUE;
          caption = WindowText(box);
          text = WindowText(::GetDlgItem(box, 0xFFFF));  // the message box's text control
          ::PostMessageW(box, WM_COMMAND, IDOK, 0);
          return FALSE;
        },
        0);
    if (!caption.empty()) ::KillTimer(nullptr, timer);
  }
};

TEST(ExceptionDisplay, AHandlerThatThrowsIsShownAndTheNextMessageIsHandled) {
  struct Case {
    std::function<void()> handler;
    const wchar_t* text;
  };
  const Case cases[] = {
      {[] { throw std::runtime_error("Register table is corrupt"); }, L"Register table is corrupt"},
      {[] { throw 42; }, L""},
  };
  for (const Case& c : cases) {
    ShownBox::caption.clear();
    ShownBox::text = L"(none)";
    ::SetTimer(nullptr, 0, 20, &ShownBox::CloseIt);
    EXPECT_FALSE(RunGuarded(nullptr, c.handler));
    EXPECT_EQ(ShownBox::caption, L"Tavrin_GUI 20110108");
    EXPECT_EQ(ShownBox::text, c.text);
    int handled = 0;
    EXPECT_TRUE(RunGuarded(nullptr, [&handled] { ++handled; }));
    EXPECT_EQ(handled, 1);
  }
}

// tavrin-gui.exe carries the manifest that selects Common Controls 6 and declares DPI awareness;
// this test program links the same resources, so its check boxes are the themed ones.
TEST(Manifest, SelectsCommonControls6AndDeclaresDpiAwareness) {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path program = fs::path(std::wstring(self, length)).parent_path() / L"tavrin-gui.exe";
  const HMODULE image = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr) << program.string();
  const HRSRC found = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(image, found))),
                             ::SizeofResource(image, found));
  ::FreeLibrary(image);
  EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm<"),
            std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos);

  // The button class in force is Common Controls 6's, not the system's old one.
  WNDCLASSEXW button{};
  button.cbSize = sizeof button;
  ASSERT_TRUE(::GetClassInfoExW(nullptr, L"Button", &button));
  HMODULE owner = nullptr;
  ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(button.lpfnWndProc), &owner));
  wchar_t ownerPath[MAX_PATH]{};
  ::GetModuleFileNameW(owner, ownerPath, MAX_PATH);
  EXPECT_EQ(fs::path(ownerPath).filename().wstring().substr(0, 8), L"comctl32") << fs::path(ownerPath).string();
}

}  // namespace
}  // namespace tavrin::win32
