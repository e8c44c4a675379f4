// tavrin-gui: the window that converts dropped S98 files into text reports beside them.
#include <QFileInfo>
#include <QStringList>

#include <exception>

#include "gui/tavrin_application.h"
#include "gui/tavrin_main.h"

int main(int argc, char** argv) {
  tavrin::TavrinApplication app(argc, argv);
  try {
    // The main window is a top-level window of its own and so stands in the task bar by itself.
    TTAVRIN_MAIN window;
    window.show();

    // Files named on the command line ("Open with", desktop launchers) arrive as one drop once
    // the event loop runs.
    QStringList files;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) files.append(QFileInfo(arguments[i]).absoluteFilePath());
    if (!files.isEmpty()) QCoreApplication::postEvent(&window, new tavrin::DropFilesEvent(files));

    QApplication::exec();
  } catch (const std::exception& error) {
    tavrin::TavrinApplication::ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    tavrin::TavrinApplication::ShowException(QString());
  }
  return 0;
}
