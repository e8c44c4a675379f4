// tavrin-gui.exe: the Windows window that converts dropped S98, VGM and VGZ files into text reports beside them.
#include "win32/tavrin_main.h"

#include <commctrl.h>  // InitCommonControlsEx

#include <string>
#include <vector>

namespace {

// Files named on the command line ("Open with", a shortcut, files dropped on the program's icon),
// as full paths, so their reports land beside them whatever the working folder.
std::vector<std::wstring> CommandLineFiles() {
  std::vector<std::wstring> files;
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return files;
  for (int i = 1; i < count; ++i) {
    const DWORD size = ::GetFullPathNameW(arguments[i], 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    full.resize(size != 0 ? ::GetFullPathNameW(arguments[i], size, full.data(), nullptr) : 0);
    files.push_back(full.empty() ? std::wstring(arguments[i]) : full);
  }
  ::LocalFree(arguments);
  return files;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  int exitCode = 0;
  const bool ran = tavrin::win32::RunGuarded(nullptr, [&] {
    // The check boxes and the list take the themed look of Common Controls 6, which the manifest selects.
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&classes);

    // A top-level window without an owner, so it stands in the task bar by itself.
    TTAVRIN_MAIN window(instance);
    ::ShowWindow(window.Handle(), show);
    ::UpdateWindow(window.Handle());

    // Files on the command line arrive as one drop once the message loop runs.
    if (const std::vector<std::wstring> files = CommandLineFiles(); !files.empty()) {
      if (const HDROP drop = tavrin::win32::MakeDropHandle(files); drop != nullptr) {
        ::PostMessageW(window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
      }
    }
    exitCode = tavrin::win32::RunMessageLoop(window.Handle());
  });
  return ran ? exitCode : 1;
}
