// Window tests: the form's controls, drops and their log lines, options changed mid-batch, exceptions.
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "gui/tavrin_application.h"
#include "gui/tavrin_main.h"
#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

using tavrin::testing::S98Builder;
using tavrin::testing::VgmBuilder;

namespace {

const QString kInstructionLine =
    QString::fromUtf8("*.s98をドロップすると同じ場所に拡張子を*.txtに変えて結果を出力します");

std::vector<std::uint8_t> KeyOnSong() { return tavrin::testing::KeyOnSong().Build(); }

void WriteBytes(const QString& path, const std::vector<std::uint8_t>& bytes) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QStringList Lines(const QListWidget* list) {
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines.append(list->item(i)->text());
  return lines;
}

QByteArray EngineReport(const std::vector<std::uint8_t>& bytes, const char* name, bool verbose) {
  std::string report;
  const std::string status =
      tavrin::ConvertS98Bytes(bytes, name, tavrin::ConversionOptions{.verbose = verbose}, report);
  return status.empty() ? QByteArray::fromStdString(report) : QByteArray();
}

std::unique_ptr<QMimeData> FileUrls(const QStringList& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  data->setUrls(urls);
  return data;
}

// Delivers a drag over the list and a drop, as the platform's drag-and-drop does; true when the
// window took both.
bool Drop(TTAVRIN_MAIN& window, const QMimeData* data) {
  const QPoint at = window.LIST->geometry().center();
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  return drop.isAccepted();
}

// Runs `action` once, the first time LIST reaches `lineCount` lines: a stand-in for the user
// who acts while a batch is running.
void WhenListReaches(TTAVRIN_MAIN& window, int lineCount, std::function<void()> action) {
  auto done = std::make_shared<bool>(false);
  QObject::connect(window.LIST->model(), &QAbstractItemModel::rowsInserted, &window,
                   [&window, lineCount, action, done] {
                     if (*done || window.LIST->count() != lineCount) return;
                     *done = true;
                     action();
                   });
}

// Receives events and throws from its handler, as a faulty handler anywhere in the window would.
class ThrowingObject : public QObject {
 public:
  static QEvent::Type StdError() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  static QEvent::Type Other() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  int handled = 0;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == StdError()) throw std::runtime_error("Register table is corrupt");
    if (event->type() == Other()) throw 42;
    if (event->type() == QEvent::User) {
      ++handled;
      return true;
    }
    return QObject::event(event);
  }
};

}  // namespace

class TavrinMainTest : public QObject {
  Q_OBJECT

 private:
  QString Path(const QString& name) const { return dir_->filePath(name); }
  QString WriteSong(const QString& name) {
    WriteBytes(Path(name), KeyOnSong());
    return Path(name);
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TTAVRIN_MAIN> window_;

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    window_ = std::make_unique<TTAVRIN_MAIN>();
  }
  void cleanup() {
    window_.reset();
    dir_.reset();
  }

  void TitleNamesAndStartState() {
    TTAVRIN_MAIN& w = *window_;
    QCOMPARE(w.windowTitle(), QStringLiteral("Tavrin_GUI 20110108"));
    QCOMPARE(w.objectName(), QStringLiteral("TAVRIN_MAIN"));
    QCOMPARE(w.findChild<QFrame*>(QStringLiteral("Panel")), w.Panel);
    QCOMPARE(w.findChild<QCheckBox*>(QStringLiteral("C_v")), w.C_v);
    QCOMPARE(w.findChild<QCheckBox*>(QStringLiteral("C_f")), w.C_f);
    QCOMPARE(w.findChild<QListWidget*>(QStringLiteral("LIST")), w.LIST);
    QCOMPARE(w.C_v->parentWidget(), w.Panel);
    QCOMPARE(w.C_f->parentWidget(), w.Panel);
    QCOMPARE(w.C_v->text(), QStringLiteral("-v : show detail log (PSG/OPN/OPN2/OPNA/OPM only)"));
    QCOMPARE(w.C_f->text(), QStringLiteral("-f : do not check S98 format version"));
    QVERIFY(!w.C_v->isChecked());
    QVERIFY(!w.C_f->isChecked());
    QCOMPARE(Lines(w.LIST), QStringList{kInstructionLine});
    QVERIFY(!w.LIST->isSortingEnabled());
    QCOMPARE(w.Panel->frameShape(), QFrame::NoFrame);

    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(w.acceptDrops());
  }

  void Geometry_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("panel");
    QTest::addColumn<QRect>("list");
    QTest::newRow("start size") << QSize(469, 346) << QRect(0, 0, 469, 49) << QRect(0, 49, 469, 297);
    QTest::newRow("widened") << QSize(640, 346) << QRect(0, 0, 640, 49) << QRect(0, 49, 640, 297);
    QTest::newRow("taller") << QSize(469, 500) << QRect(0, 0, 469, 49) << QRect(0, 49, 469, 451);
    QTest::newRow("shrunk") << QSize(300, 200) << QRect(0, 0, 300, 49) << QRect(0, 49, 300, 151);
  }
  void Geometry() {
    QFETCH(QSize, client);
    QFETCH(QRect, panel);
    QFETCH(QRect, list);
    TTAVRIN_MAIN& w = *window_;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(client);
    QTRY_COMPARE(w.size(), client);
    QTRY_COMPARE(w.Panel->geometry(), panel);
    QTRY_COMPARE(w.LIST->geometry(), list);
    // The check boxes keep their place in the panel whatever the window's size.
    QCOMPARE(w.C_v->geometry(), QRect(8, 8, 281, 17));
    QCOMPARE(w.C_f->geometry(), QRect(8, 24, 281, 17));
  }

  // Whatever font stands in for Tahoma, the captions are shown whole in their 281-pixel boxes and
  // the log lines are 13 pixels apart, as drawn for the 8-point form font.
  void CaptionsFitAndLinesAreThirteenPixelsApart() {
    TTAVRIN_MAIN& w = *window_;
    QVERIFY(w.C_v->sizeHint().width() <= w.C_v->width());
    QVERIFY(w.C_f->sizeHint().width() <= w.C_f->width());
    if (w.LIST->fontMetrics().height() > 13) QSKIP("the stand-in font is taller than 13 pixels");
    w.LIST->addItem(QStringLiteral("a.s98"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.LIST->visualItemRect(w.LIST->item(1)).top() - w.LIST->visualItemRect(w.LIST->item(0)).top(), 13);
  }

  void CentredWhenFirstShown() {
    TTAVRIN_MAIN& w = *window_;
    QCOMPARE(w.size(), QSize(469, 346));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect screen = w.screen()->availableGeometry();
    QVERIFY2((w.geometry().center() - screen.center()).manhattanLength() <= 2,
             qPrintable(QStringLiteral("window centre %1,%2")
                            .arg(w.geometry().center().x())
                            .arg(w.geometry().center().y())));
  }

  void TabOrderListThenCheckBoxes() {
    TTAVRIN_MAIN& w = *window_;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.LIST));
    const std::vector<QWidget*> order = {w.C_v, w.C_f, w.LIST, w.C_v};
    for (QWidget* next : order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
  }

  void DropOfThreeFilesLogsSixLinesInDropOrder() {
    const std::vector<std::uint8_t> song = KeyOnSong();
    for (const char* name : {"c.s98", "a.s98", "b.s98"}) WriteSong(QString::fromLatin1(name));
    const auto data = FileUrls({Path("c.s98"), Path("a.s98"), Path("b.s98")});
    QVERIFY(Drop(*window_, data.get()));
    QTRY_COMPARE(window_->LIST->count(), 7);
    QCOMPARE(Lines(window_->LIST),
             (QStringList{kInstructionLine, "c.s98", "-> ok", "a.s98", "-> ok", "b.s98", "-> ok"}));
    for (const char* name : {"c", "a", "b"}) {
      const QString stem = QString::fromLatin1(name);
      QCOMPARE(ReadAll(Path(stem + ".txt")), EngineReport(song, qPrintable(stem + ".s98"), false));
    }
  }

  void DragsWithoutLocalFilesAreRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("text") << "text";
    QTest::newRow("web link") << "web";
    QTest::newRow("no data") << "empty";
  }
  void DragsWithoutLocalFilesAreRefused() {
    QFETCH(QString, kind);
    QMimeData data;
    if (kind == "text") data.setText(Path("a.s98"));
    if (kind == "web") data.setUrls({QUrl(QStringLiteral("https://example.org/a.s98"))});
    QVERIFY(!Drop(*window_, &data));
    QTest::qWait(20);
    QCOMPARE(window_->LIST->count(), 1);
  }

  void OutcomeLines_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");  // "<dir>" makes a folder, "<none>" nothing at all
    QTest::addColumn<bool>("skipVersionCheck");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("reportName");
    QTest::addColumn<bool>("reportWritten");
    QTest::addColumn<QByteArray>("reportHead");

    auto bytes = [](const S98Builder& builder) { return QByteArray::fromStdString(builder.BuildString()); };
    const QByteArray song = bytes(S98Builder().Device(4, 7987200).Write(0, 0, 0x28, 0xF1).End());
    // Two device records announced, the file ends after the first.
    const QByteArray cutDevices = bytes(S98Builder().Device(4, 7987200).DeviceCount(2));
    const QByteArray version4 = bytes(S98Builder().Version('4').Device(4, 7987200).End());
    const auto vgz = VgmBuilder().Clock(0x2C, 7670453).Command({0x52, 0x28, 0xF1}).Wait(10).End().BuildGzip();
    const QByteArray vgzSong(reinterpret_cast<const char*>(vgz.data()), qsizetype(vgz.size()));
    const QByteArray s98Head("[ S98 Information ]\r\n");

    QTest::newRow("10-byte file") << "short.s98" << song.left(10) << false << "-> File read error."
                                  << "short.txt" << false << s98Head;
    QTest::newRow("folder") << "folder.s98" << QByteArray("<dir>") << false << "-> File open error."
                            << "folder.txt" << false << s98Head;
    QTest::newRow("missing file") << "gone.s98" << QByteArray("<none>") << false << "-> File open error."
                                  << "gone.txt" << false << s98Head;
    QTest::newRow("device list cut short") << "cut.s98" << cutDevices << false << "-> File read error."
                                           << "cut.txt" << false << s98Head;
    QTest::newRow("lower-case magic") << "magic.s98" << QByteArray("s98").append(song.mid(3)) << false
                                      << "-> This is not S98 format." << "magic.txt" << false << s98Head;
    QTest::newRow("version 4, -f off") << "v4.s98" << version4 << false << "-> S98 version error."
                                       << "v4.txt" << false << s98Head;
    QTest::newRow("version 4, -f on") << "v4.s98" << version4 << true << "-> ok" << "v4.txt" << true << s98Head;
    QTest::newRow("any extension") << "song.vgm" << song << false << "-> ok" << "song.txt" << true << s98Head;
    // A gzip-compressed VGM, told by its content; its report is song.txt as well.
    QTest::newRow("VGZ") << "song.vgz" << vgzSong << false << "-> ok" << "song.txt" << true
                         << QByteArray("[ VGM Information ]\r\n");
    QTest::newRow("no extension") << "song" << song << false << "-> ok" << "song.txt" << true << s98Head;
    QTest::newRow("name ending in a dot") << "song." << song << false << "-> ok" << "song.txt" << true << s98Head;
    QTest::newRow("dot in the folder only") << "old.disk/song" << song << false << "-> ok"
                                            << "old.disk/song.txt" << true << s98Head;
    QTest::newRow("non-ASCII name") << QString::fromUtf8("曲 ü.s98") << song << false << "-> ok"
                                    << QString::fromUtf8("曲 ü.txt") << true << s98Head;
  }
  void OutcomeLines() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, skipVersionCheck);
    QFETCH(QString, outcome);
    QFETCH(QString, reportName);
    QFETCH(bool, reportWritten);
    QFETCH(QByteArray, reportHead);

    const QString input = Path(name);
    QVERIFY(QDir().mkpath(QFileInfo(input).absolutePath()));
    if (content == "<dir>") {
      QVERIFY(QDir().mkdir(input));
    } else if (content != "<none>") {
      WriteBytes(input, std::vector<std::uint8_t>(content.begin(), content.end()));
    }
    window_->C_f->setChecked(skipVersionCheck);
    window_->WMDropFiles({input});

    QCOMPARE(Lines(window_->LIST), (QStringList{kInstructionLine, QFileInfo(input).fileName(), outcome}));
    QCOMPARE(QFileInfo::exists(Path(reportName)), reportWritten);
    if (reportWritten) QVERIFY(ReadAll(Path(reportName)).startsWith(reportHead));
  }

  void ReportPathEqualToInputIsRefused() {
    const std::vector<std::uint8_t> song = KeyOnSong();
    const QString input = WriteSong("song.txt");
    window_->WMDropFiles({input});
    QCOMPARE(Lines(window_->LIST),
             (QStringList{kInstructionLine, "song.txt", "-> Input and output are the same file."}));
    QCOMPARE(ReadAll(input), QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size())));
  }

  void FailingFileDoesNotStopTheBatch() {
    WriteSong("a.s98");
    WriteBytes(Path("bad.s98"), {'S', '9', '8'});
    WriteSong("b.s98");
    window_->WMDropFiles({Path("a.s98"), Path("bad.s98"), Path("b.s98")});
    QCOMPARE(Lines(window_->LIST), (QStringList{kInstructionLine, "a.s98", "-> ok", "bad.s98",
                                                "-> File read error.", "b.s98", "-> ok"}));
    QVERIFY(QFileInfo::exists(Path("b.txt")));
  }

  // The user ticks -v while the first file of a drop is being converted: the click waits for the
  // pause before the second file, which is converted with -v on; the first is not.
  void CheckBoxChangedBetweenFilesOfOneDrop() {
    const std::vector<std::uint8_t> song = KeyOnSong();
    WriteSong("first.s98");
    WriteSong("second.s98");
    TTAVRIN_MAIN& w = *window_;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    WhenListReaches(w, 3, [&w] {
      const QPoint centre = w.C_v->rect().center();
      const QPointF global(w.C_v->mapToGlobal(centre));
      QCoreApplication::postEvent(w.C_v, new QMouseEvent(QEvent::MouseButtonPress, QPointF(centre), global,
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
      QCoreApplication::postEvent(w.C_v, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(centre), global,
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    const auto data = FileUrls({Path("first.s98"), Path("second.s98")});
    QVERIFY(Drop(w, data.get()));
    QTRY_COMPARE(w.LIST->count(), 5);
    QVERIFY(w.C_v->isChecked());

    const QByteArray first = ReadAll(Path("first.txt"));
    const QByteArray second = ReadAll(Path("second.txt"));
    QCOMPARE(first, EngineReport(song, "first.s98", false));
    QCOMPARE(second, EngineReport(song, "second.s98", true));
    QVERIFY(!first.contains("Key-ON/OFF"));
    QVERIFY(second.contains("FM#1 Key-ON/OFF slot: 1 2 3 4"));
  }

  // A second drop that arrives in the pause before a file is handled at once, all of it, and the
  // interrupted batch then goes on.
  void DropDuringPauseIsHandledAtOnce() {
    for (const char* name : {"a.s98", "b.s98", "x.s98", "y.s98"}) WriteSong(QString::fromLatin1(name));
    TTAVRIN_MAIN& w = *window_;
    const auto second = FileUrls({Path("x.s98"), Path("y.s98")});
    WhenListReaches(w, 3, [&w, &second] {
      const QPoint at = w.LIST->geometry().center();
      QCoreApplication::postEvent(
          &w, new QDragEnterEvent(at, Qt::CopyAction, second.get(), Qt::LeftButton, Qt::NoModifier));
      QCoreApplication::postEvent(
          &w, new QDropEvent(QPointF(at), Qt::CopyAction, second.get(), Qt::LeftButton, Qt::NoModifier));
    });
    const auto first = FileUrls({Path("a.s98"), Path("b.s98")});
    QVERIFY(Drop(w, first.get()));
    QTRY_COMPARE(w.LIST->count(), 9);
    QCOMPARE(Lines(w.LIST), (QStringList{kInstructionLine, "a.s98", "-> ok", "x.s98", "-> ok", "y.s98",
                                         "-> ok", "b.s98", "-> ok"}));
  }

  // Files of one drop whose reports would land on one file: the first is written, the later ones are
  // refused, and no dropped file is overwritten by another's report.
  void ReportsOfOneDropNeverCollide() {
    const std::vector<std::uint8_t> song = KeyOnSong();
    for (const char* name : {"a.s98", "a.S98", "b.s98", "b.txt"}) WriteSong(QString::fromLatin1(name));
    window_->WMDropFiles({Path("a.s98"), Path("a.S98"), Path("b.s98"), Path("b.txt")});
    const QString clash = QStringLiteral("-> ") + QString::fromLatin1(tavrin::kStatusBatchClash);
    QCOMPARE(Lines(window_->LIST), (QStringList{kInstructionLine, "a.s98", "-> ok", "a.S98", clash, "b.s98", clash,
                                                "b.txt", "-> Input and output are the same file."}));
    QCOMPARE(ReadAll(Path("a.txt")), EngineReport(song, "a.s98", false));
    QCOMPARE(ReadAll(Path("b.txt")), QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size())));
  }

  // A fifo that no program writes to is refused at once and the drop goes on.
  void FifoInADropIsRefusedAndTheBatchGoesOn() {
    QVERIFY(::mkfifo(QFile::encodeName(Path("pipe.s98")).constData(), 0644) == 0);
    WriteSong("after.s98");
    window_->WMDropFiles({Path("pipe.s98"), Path("after.s98")});
    QCOMPARE(Lines(window_->LIST),
             (QStringList{kInstructionLine, "pipe.s98", "-> File open error.", "after.s98", "-> ok"}));
  }

  // Closing the window while a drop is converted ends the batch after the file in hand.
  void ClosingTheWindowEndsTheBatch() {
    for (const char* name : {"a.s98", "b.s98", "c.s98"}) WriteSong(QString::fromLatin1(name));
    TTAVRIN_MAIN& w = *window_;
    QGuiApplication::setQuitOnLastWindowClosed(false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    WhenListReaches(w, 3, [&w] { w.close(); });
    w.WMDropFiles({Path("a.s98"), Path("b.s98"), Path("c.s98")});
    QGuiApplication::setQuitOnLastWindowClosed(true);
    QCOMPARE(Lines(w.LIST), (QStringList{kInstructionLine, "a.s98", "-> ok"}));
    QVERIFY(QFileInfo::exists(Path("a.txt")));
    QVERIFY(!QFileInfo::exists(Path("b.txt")));
    QVERIFY(!QFileInfo::exists(Path("c.txt")));
  }

  // A name that is not UTF-8 converts, dropped (a file manager sends its bytes percent-encoded) and
  // named as the file system spells it (the command line).
  void NamesThatAreNotUtf8() {
    const std::string folder = QFile::encodeName(dir_->path()).toStdString();
    const std::vector<std::uint8_t> song = KeyOnSong();
    for (const char* name : {"/drop\xff.s98", "/argv\xfe.s98"}) {
      std::ofstream(folder + name, std::ios::binary).write(reinterpret_cast<const char*>(song.data()),
                                                          static_cast<std::streamsize>(song.size()));
    }
    QMimeData data;
    data.setUrls({QUrl::fromEncoded(QByteArray::fromStdString("file://" + folder + "/drop%FF.s98"))});
    QVERIFY(Drop(*window_, &data));
    QTRY_COMPARE(window_->LIST->count(), 3);
    window_->WMDropFiles(std::vector<std::filesystem::path>{folder + "/argv\xfe.s98"});
    QCOMPARE(window_->LIST->item(2)->text(), QStringLiteral("-> ok"));
    QCOMPARE(window_->LIST->item(4)->text(), QStringLiteral("-> ok"));
    QVERIFY(std::filesystem::exists(folder + "/drop\xff.txt"));
    QVERIFY(std::filesystem::exists(folder + "/argv\xfe.txt"));
  }

  void AppendingDoesNotScrollTheList() {
    TTAVRIN_MAIN& w = *window_;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QStringList paths;
    for (int i = 0; i < 40; ++i) paths.append(Path(QStringLiteral("missing%1.s98").arg(i)));
    w.WMDropFiles(paths);
    QCOMPARE(w.LIST->count(), 81);
    QTRY_VERIFY(w.LIST->verticalScrollBar()->maximum() > 0);
    QCOMPARE(w.LIST->verticalScrollBar()->value(), 0);
    QCOMPARE(w.LIST->indexAt(QPoint(4, 4)).row(), 0);
  }

  // A handler that throws: the message is shown in a message box titled with the application
  // title, and the event loop keeps delivering events afterwards.
  void ExceptionInEventHandlingIsShownAndLoopGoesOn_data() {
    QTest::addColumn<int>("eventType");
    QTest::addColumn<QString>("message");
    QTest::newRow("std::exception") << int(ThrowingObject::StdError()) << "Register table is corrupt";
    QTest::newRow("anything else") << int(ThrowingObject::Other()) << "";
  }
  void ExceptionInEventHandlingIsShownAndLoopGoesOn() {
    QFETCH(int, eventType);
    QFETCH(QString, message);
    ThrowingObject target;
    QStringList shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&shown] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        shown << box->windowTitle() << box->text();
        box->accept();
      }
    });
    closer.start(10);
    QCoreApplication::postEvent(&target, new QEvent(static_cast<QEvent::Type>(eventType)));
    QTRY_COMPARE(shown, (QStringList{"Tavrin_GUI 20110108", message}));
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QTRY_COMPARE(target.handled, 1);
  }
};

int main(int argc, char** argv) {
  tavrin::TavrinApplication app(argc, argv);
  TavrinMainTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tavrin_main_test.moc"
