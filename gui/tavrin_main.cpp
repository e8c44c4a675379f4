// The main window: two option check boxes over a list that logs each dropped file's conversion.
#include "gui/tavrin_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QListWidget>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <string>

#include "engine/batch.h"
#include "engine/convert.h"
#include "engine/paths.h"
#include "ui_tavrin_main.h"

namespace tavrin {

namespace {

// The form is drawn for an 11-pixel font (8 point at 96 dpi); the check boxes are sized for it.
constexpr int kFormFontPixels = 11;
constexpr int kListItemHeight = 13;
// The most the pause before each file of a batch spends on pending events.
constexpr int kPauseMilliseconds = 100;

// Paths reach the engine as the bytes the file system uses (POSIX) or as UTF-16 (Windows), so
// names in any script survive the trip.
std::filesystem::path ToFileSystemPath(const QString& path) {
#ifdef Q_OS_WIN
  return std::filesystem::path(path.toStdWString());
#else
  const QByteArray bytes = QFile::encodeName(path);
  return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

QString FromNativeName(const std::filesystem::path::string_type& name) {
#ifdef Q_OS_WIN
  return QString::fromStdWString(name);
#else
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
#endif
}

// A dropped file's path as the file system spells it. On POSIX the URL's percent-encoded bytes are
// decoded as bytes: a name that is not UTF-8 has no QString that leads back to it.
std::filesystem::path LocalPathOf(const QUrl& url) {
#ifdef Q_OS_WIN
  return ToFileSystemPath(QDir::toNativeSeparators(url.toLocalFile()));
#else
  const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

std::vector<std::filesystem::path> LocalFilesOf(const QMimeData* data) {
  std::vector<std::filesystem::path> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(LocalPathOf(url));
  }
  return paths;
}

// Every line of the log has the same height, never less than the font needs.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(kListItemHeight, option.fontMetrics.height()));
    return size;
  }
};

QFont FormFont() {
  QFont font = QApplication::font();
  if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) font.setFamily(QStringLiteral("Tahoma"));
  font.setPixelSize(kFormFontPixels);
  return font;
}

// The check boxes keep the form's size whatever font stands in for Tahoma; a wider font is
// condensed just enough that the caption is not cut off.
void FitCaption(QCheckBox* box) {
  QFont font = box->font();
  const QFontMetrics plain(font);
  const int overhead = box->sizeHint().width() - plain.horizontalAdvance(box->text());
  const int room = box->width() - overhead;
  int stretch = 100;
  while (stretch > 50 && QFontMetrics(font).horizontalAdvance(box->text()) > room) {
    stretch -= 2;
    font.setStretch(stretch);
  }
  if (stretch != 100) box->setFont(font);
}

}  // namespace

QEvent::Type DropFilesEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

DropFilesEvent::DropFilesEvent(std::vector<std::filesystem::path> paths)
    : QEvent(EventType()), paths_(std::move(paths)) {}

}  // namespace tavrin

TTAVRIN_MAIN::TTAVRIN_MAIN(QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::TAVRIN_MAIN>()) {
  ui_->setupUi(this);
  Panel = ui_->Panel;
  C_v = ui_->C_v;
  C_f = ui_->C_f;
  LIST = ui_->LIST;

  setFont(tavrin::FormFont());
  tavrin::FitCaption(C_v);
  tavrin::FitCaption(C_f);
  LIST->setItemDelegate(new tavrin::FixedHeightDelegate(LIST));
  LIST->setFocus();
  setWindowTitle(QGuiApplication::applicationDisplayName());

  // Centred on the screen the window will open on; the window manager keeps the position after that.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
  }
}

TTAVRIN_MAIN::~TTAVRIN_MAIN() = default;

bool TTAVRIN_MAIN::event(QEvent* event) {
  if (event->type() == tavrin::DropFilesEvent::EventType()) {
    WMDropFiles(static_cast<tavrin::DropFilesEvent*>(event)->Paths());
    return true;
  }
  return QWidget::event(event);
}

void TTAVRIN_MAIN::dragEnterEvent(QDragEnterEvent* event) {
  if (!tavrin::LocalFilesOf(event->mimeData()).empty()) event->acceptProposedAction();
}

void TTAVRIN_MAIN::dragMoveEvent(QDragMoveEvent* event) {
  if (!tavrin::LocalFilesOf(event->mimeData()).empty()) event->acceptProposedAction();
}

void TTAVRIN_MAIN::dropEvent(QDropEvent* event) {
  std::vector<std::filesystem::path> paths = tavrin::LocalFilesOf(event->mimeData());
  if (paths.empty()) return;
  event->acceptProposedAction();
  // The batch runs from the window's own queue: the source's drag ends now instead of waiting
  // for every conversion, as it does with a shell drop on Windows.
  QCoreApplication::postEvent(this, new tavrin::DropFilesEvent(std::move(paths)));
}

void TTAVRIN_MAIN::closeEvent(QCloseEvent* event) {
  // The batch running below this event (if any) ends after its file in hand, so the process can end.
  closing_ = true;
  QWidget::closeEvent(event);
}

void TTAVRIN_MAIN::WMDropFiles(const std::vector<std::filesystem::path>& paths) {
  std::vector<tavrin::BatchFile> batch;
  for (const std::filesystem::path& path : paths) batch.push_back({path, tavrin::ReportPathFor(path)});
  const std::vector<std::string> refusals = tavrin::BatchClashes(batch);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    // Everything pending, not one round of the toolkit's event sources: a close request or a click
    // that waits behind a busier source is still taken before the next file.
    QCoreApplication::processEvents(QEventLoop::AllEvents, tavrin::kPauseMilliseconds);
    if (closing_) return;
    // A drop that arrived during the pause is handled now, all its files, before this batch goes on.
    QCoreApplication::sendPostedEvents(this, tavrin::DropFilesEvent::EventType());
    if (closing_) return;
    ProcessDroppedFile(paths[i], refusals[i]);
  }
}

void TTAVRIN_MAIN::WMDropFiles(const QStringList& paths) {
  std::vector<std::filesystem::path> native;
  for (const QString& path : paths) native.push_back(tavrin::ToFileSystemPath(path));
  WMDropFiles(native);
}

void TTAVRIN_MAIN::ProcessDroppedFile(const std::filesystem::path& input, std::string_view refusal) {
  const std::filesystem::path output = tavrin::ReportPathFor(input);
  LIST->addItem(tavrin::FromNativeName(tavrin::FileNamePart(input)));
  const std::string status = refusal.empty()
                                 ? tavrin::ConvertS98File(input, output, C_v->isChecked(), C_f->isChecked())
                                 : std::string(refusal);
  LIST->addItem(status.empty() ? QStringLiteral("-> ok")
                               : QStringLiteral("-> ") + QString::fromStdString(status));
}

void TTAVRIN_MAIN::ProcessDroppedFile(const QString& inputPath) {
  ProcessDroppedFile(tavrin::ToFileSystemPath(inputPath));
}
