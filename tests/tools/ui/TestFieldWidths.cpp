// Every field shows its longest value whole at its window's default size:
// the windows are made as the program makes them and shown offscreen at the
// size they choose; each field gets a value of its full length, written with
// the widest characters of the test font (DejaVu Sans: "D" of the hex
// digits), which must fit the width the field draws its text in.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyleOptionFrame>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTest>

#include "tools/ui/FormTVREditor.h"
#include "tools/ui/ToolWindows.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceRunner.h"
#include "workbench/ui/MainFormHome.h"
#include "workbench/ui/MessageDialogs.h"
#include "workbench/ui/ProgramWindows.h"

namespace kal {

namespace {

QString Hex(int bytes) {
  return QStringList(bytes, "DD").join(' ');
}
QString Digits(int count) {
  return QString(count, '9');
}

QWidget& Shown(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() != name) continue;
    w->show();
    if (QTest::qWaitForWindowExposed(w)) return *w;
  }
  qFatal("no window %s", name);
}

// Empty when `field` shows `text` whole, else what is cut. Line edits and
// labels are filled with the text. A line edit draws it within the style's
// contents rectangle less its text margins and 2 pixels a side, with a
// 1-pixel cursor; a label within its contents rectangle; a list item within
// the style's text rectangle of its visible part less the focus margin.
QString Cut(QWidget& field, const QString& text) {
  int need = field.fontMetrics().horizontalAdvance(text);
  int room = 0;
  if (auto* edit = qobject_cast<QLineEdit*>(&field)) {
    edit->setText(text);
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QMargins margins = edit->textMargins();
    need += 1;
    room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() -
           margins.left() - margins.right() - 4;
  } else if (auto* label = qobject_cast<QLabel*>(&field)) {
    label->setText(text);
    QApplication::processEvents();
    room = label->contentsRect().width() - 2 * label->margin();
  } else if (auto* list = qobject_cast<QListWidget*>(&field)) {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(list->findItems(text, Qt::MatchExactly).value(0));
    option.rect &= list->viewport()->rect();
    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator;
    option.text = text;
    room = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, list).width() -
           2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
  }
  if (need <= room) return {};
  return QString("%1 '%2' needs %3, has %4").arg(field.objectName(), text).arg(need).arg(room);
}

}  // namespace

class TestFieldWidths : public QObject {
  Q_OBJECT

  test::TempDir home_;
  test::MessageDialogs dialogs_;
  TCEXProgramWindows windows_;
  std::unique_ptr<TForm1> form_;

 private slots:
  void initTestCase() {
    form_ = test::MakeMainForm(home_, dialogs_, test::kQuietCommunicationIni, &windows_);
    windows_.CEXMake(
        *form_, &dialogs_,
        [](TTDBDebug& trace, QWidget* parent) {
          return static_cast<IEDFEmvEditor*>(new TFormTVREditor(&trace, parent));
        },
        TOLMakeToolWindow);
    for (TCEXWindow w : {TCEXWindow::MessageHeader, TCEXWindow::DirectoryAliases})
      static_cast<void>(form_->CEXOpenWindow(w, false));
  }
  void cleanupTestCase() {
    windows_.CEXDestroy();
    form_.reset();
  }

  // Keys, account data and their cryptograms, hashes, MACs, run texts.
  void valuesFitTheirFields() {
    const QString track2 = Digits(19) + 'D' + Digits(17);
    std::vector<std::tuple<const char*, QString, QString>> rows = {
        {"TForm6", "Edit10", Digits(12)},
        {"TForm6", "Edit11", Hex(8)},
        {"TForm6", "Edit12", Digits(19)},
        {"TForm6", "Edit13", Hex(16)},
        {"TForm6", "Edit14", track2},
        {"TForm6", "Edit15", Hex(24)},
        {"TForm6", "Edit1", track2},
        {"TForm6", "Edit2", Hex(24)},
        {"TForm17", "Edit10", Hex(32)},
        {"TForm7", "Edit2", Hex(16)},
        {"TForm26", "Hash", Hex(32)},
        {"TForm26", "MAC", Hex(8)},
        {"TForm25", "HashResult", Hex(32)},
        {"TFormCRYSessionKeyCryptogramm", "Cryptogramm", Hex(41)},
        {"TFormCRYSessionKeyCryptogramm", "Seed", Hex(32)},
        {"TForm15", "Note", TSEQRunner::SEQcNoRepeat}};
    for (const char* end :
         {TSQSRunStatus::SQScStoppedByUser, TSEQRunner::SEQcErrorCount, TSEQRunner::SEQcStopTime,
          TSEQRunner::SEQcRestarts, TSEQRunner::SEQcAlarmLog})
      rows.emplace_back("TForm15", "CurrentAction", end);
    for (int i = 0; i < 6; ++i) {
      rows.emplace_back("TForm5", QString("Edit%1").arg(i + 1), Hex(24));
      rows.emplace_back("TForm28", i == 0 ? QString("Key") : QString("Variant%1").arg(i - 1),
                        Hex(24));
    }
    for (const auto& [window, name, value] : rows) {
      auto* field = Shown(window).findChild<QWidget*>(name);
      QVERIFY2(field != nullptr, qPrintable(name));
      const QString cut = Cut(*field, value);
      QVERIFY2(cut.isEmpty(), qPrintable(window + (": " + cut)));
    }
  }

  // Every item of the attribute lists and the EMV editor's bit lists.
  void listItemsFitTheirLists() {
    for (const char* name :
         {"TForm6", "TForm3", "TForm14", "TForm18", "TFormAlias", "TFormTVREditor"}) {
      QWidget& window = Shown(name);
      auto* pages = window.findChild<QTabWidget*>();
      for (int page = 0; page < (pages != nullptr ? pages->count() : 1); ++page) {
        if (pages != nullptr) pages->setCurrentIndex(page);
        QApplication::processEvents();
        for (QListWidget* list : window.findChildren<QListWidget*>()) {
          for (int i = 0; list->isVisible() && i < list->count(); ++i) {
            const QString cut = Cut(*list, list->item(i)->text());
            QVERIFY2(cut.isEmpty(), qPrintable(name + (": " + cut)));
          }
        }
      }
    }
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFieldWidths)
#include "TestFieldWidths.moc"
