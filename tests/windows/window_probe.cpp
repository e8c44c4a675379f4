// Reaches the running tavrin-gui.exe from another process, for the real-drop test: prints LIST, or closes the window.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "tests/windows/list_lines.h"
#include "win32/tavrin_main.h"

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc == 2 ? argv[1] : L"";
  if (command != L"list" && command != L"close") {
    std::fputs("usage: tavrin-window-probe list|close\n", stderr);
    return 2;
  }
  const HWND window = ::FindWindowW(tavrin::win32::kWindowClass, tavrin::win32::kApplicationTitle);
  if (window == nullptr) {
    std::fputs("no TTAVRIN_MAIN window is open\n", stderr);
    return 1;
  }
  if (command == L"close") return ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;

  // One line of LIST per line of output, in UTF-8; the listbox messages cross the process boundary.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  for (const std::wstring& line : tavrin::testing::ListLines(::GetDlgItem(window, tavrin::win32::kListId))) {
    const std::string bytes = Utf8(line) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  }
  return 0;
}
