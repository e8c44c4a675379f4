// tavrin-gui: the window that converts dropped S98 files into text reports beside them.
#include <QStringList>

#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include "gui/tavrin_application.h"
#include "engine/process_guard.h"
#include "gui/tavrin_main.h"

int main(int argc, char** argv) {
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
