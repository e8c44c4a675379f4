// A small window that starts a drag of the files named on its command line when pressed, for window tests.
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <cstdio>

namespace {

class DragSource : public QLabel {
 public:
  explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {
    setWindowTitle(QStringLiteral("tavrin drag source"));
    setText(QStringLiteral("drag %1 files").arg(urls_.size()));
    setAlignment(Qt::AlignCenter);
    setFixedSize(120, 60);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    auto* drag = new QDrag(this);
    auto* payload = new QMimeData;
    payload->setUrls(urls_);
    drag->setMimeData(payload);
    const Qt::DropAction action = drag->exec(Qt::CopyAction);
    // The script waits for this line to know the drag is over and how it ended.
    std::printf("drag finished: %s\n", action == Qt::CopyAction ? "copied" : "ignored");
    std::fflush(stdout);
  }

 private:
  QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QList<QUrl> urls;
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    urls.append(QUrl::fromLocalFile(QFileInfo(arguments[i]).absoluteFilePath()));
  }
  DragSource source(urls);
  source.move(20, 20);
  source.show();
  return QApplication::exec();
}
