// The application object: its title, and the one place where an exception from event handling is shown.
#pragma once

#include <QApplication>
#include <QString>

namespace tavrin {

inline constexpr char kApplicationTitle[] = "Tavrin_GUI 20110108";

class TavrinApplication : public QApplication {
  Q_OBJECT

 public:
  // Initialises the toolkit and sets the application title that the main window takes as caption.
  TavrinApplication(int& argc, char** argv);

  // Delivers every event; an exception that escapes a handler is shown and the event loop goes on.
  bool notify(QObject* receiver, QEvent* event) override;

  // The standard display of an exception: a message box captioned with the application title.
  static void ShowException(const QString& message);
};

}  // namespace tavrin
