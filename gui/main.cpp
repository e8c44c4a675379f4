// tavrin-gui: the window that converts dropped S98, VGM and VGZ files into text reports beside them.
#include <QStringList>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>
#include <string_view>

#include "gui/tavrin_application.h"
#include "engine/process_guard.h"
#include "gui/tavrin_main.h"

namespace {

constexpr const char* kHelp = R"(Usage: tavrin-gui [FILE...]
       tavrin-gui -h|--help
       tavrin-gui --version

Opens the Tavrin window. Every S98, VGM or VGZ file dropped on it (the format
is told by the content) is converted into a text report beside it, with the
extension replaced by .txt (song.vgz gives song.txt), and its list logs the
file's name and "-> ok" or "-> " and the reason it failed. The check boxes -v
(annotate every register write) and -f (accept any S98 version) apply to the
files that follow. FILEs named here are converted as if dropped on the window
once it is shown.

The same conversions from a terminal or a script: tavrin --help.
)";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so they need no display and open no window.
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::puts("tavrin-gui " TAVRIN_VERSION);
      return 0;
    }
  }
  tavrin::GuardStandardDescriptors();
  tavrin::RemoveTemporaryReportsOnSignals();
  tavrin::TavrinApplication app(argc, argv);
  try {
    // The main window is a top-level window of its own and so stands in the task bar by itself.
    TTAVRIN_MAIN window;
    window.show();

    // Files named on the command line ("Open with", desktop launchers) arrive as one drop once
    // the event loop runs. The names are taken as the bytes the system passed (argc and argv less the
    // toolkit's own options): QCoreApplication::arguments() decodes them, which a name that is not
    // UTF-8 does not survive. (Windows: the toolkit's arguments come from the UTF-16 command line.)
    std::vector<std::filesystem::path> files;
#ifdef Q_OS_WIN
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) files.emplace_back(arguments[i].toStdWString());
#else
    for (int i = 1; i < argc; ++i) files.emplace_back(argv[i]);
#endif
    for (std::filesystem::path& file : files) {
      std::error_code ec;
      if (std::filesystem::path absolute = std::filesystem::absolute(file, ec); !ec) file = std::move(absolute);
    }
    if (!files.empty()) QCoreApplication::postEvent(&window, new tavrin::DropFilesEvent(std::move(files)));

    QApplication::exec();
  } catch (const std::exception& error) {
    tavrin::TavrinApplication::ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    tavrin::TavrinApplication::ShowException(QString());
  }
  return 0;
}
