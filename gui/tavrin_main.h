// The main window: two option check boxes over a list that logs each dropped file's conversion.
#pragma once

#include <QEvent>
#include <QStringList>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace Ui {
class TAVRIN_MAIN;
}
class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QFrame;
class QListWidget;

namespace tavrin {

// A drop, as the window's own event: the files in the order the source listed them, as the file
// system spells them (any bytes on POSIX, not only UTF-8). Posting it lets the drag source go free at
// once while the batch runs in the window's own event handling.
class DropFilesEvent : public QEvent {
 public:
  static QEvent::Type EventType();
  explicit DropFilesEvent(std::vector<std::filesystem::path> paths);
  const std::vector<std::filesystem::path>& Paths() const { return paths_; }

 private:
  std::vector<std::filesystem::path> paths_;
};

}  // namespace tavrin

class TTAVRIN_MAIN : public QWidget {
  Q_OBJECT

 public:
  explicit TTAVRIN_MAIN(QWidget* parent = nullptr);
  ~TTAVRIN_MAIN() override;

  // Converts the files one after another; pending events run before each file, so the window
  // repaints, the check boxes can change mid-batch and a nested drop is handled at once. Files whose
  // report would land on another file of the drop are refused; closing the window ends the batch
  // after the file in hand.
  void WMDropFiles(const std::vector<std::filesystem::path>& paths);
  void WMDropFiles(const QStringList& paths);
  // Converts one file beside itself (unless `refusal` stands instead) and logs its name and outcome
  // as two lines of LIST.
  void ProcessDroppedFile(const std::filesystem::path& inputPath, std::string_view refusal = {});
  void ProcessDroppedFile(const QString& inputPath);

  QFrame* Panel;
  QCheckBox* C_v;
  QCheckBox* C_f;
  QListWidget* LIST;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  std::unique_ptr<Ui::TAVRIN_MAIN> ui_;
  bool closing_ = false;  // the window was closed: no batch starts another file
};
