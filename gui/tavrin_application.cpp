// The application object: its title, and the one place where an exception from event handling is shown.
#include "gui/tavrin_application.h"

#include <QMessageBox>

#include <exception>

namespace tavrin {

TavrinApplication::TavrinApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("tavrin-gui"));
  setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
}

bool TavrinApplication::notify(QObject* receiver, QEvent* event) {
  // Handlers run inside the toolkit's dispatch; this is the outermost frame that can still catch
  // what they throw before it would unwind through the event loop and end the program.
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowException(QString());
  }
  return false;
}

void TavrinApplication::ShowException(const QString& message) {
  QMessageBox::critical(activeWindow(), applicationDisplayName(), message);
}

}  // namespace tavrin
