#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "support/ui/FormSERSearch.h"
#include "support/ui/HexLineEdit.h"
#include "support/ui/ToolMemo.h"

namespace kal {

namespace {

// Answers the next opening of the prompt: types `text` (unless null) and
// presses the named button.
void AnswerPrompt(TForm16& prompt, const char* text, const char* button) {
  QTimer::singleShot(0, &prompt, [&prompt, text, button] {
    if (text != nullptr) prompt.findChild<QLineEdit*>("Edit1")->setText(text);
    QTest::mouseClick(prompt.findChild<QPushButton*>(button), Qt::LeftButton);
  });
}

QAction* Action(const QList<QAction*>& actions, const QString& caption) {
  for (QAction* a : actions) {
    if (a->text() == caption) return a;
  }
  return nullptr;
}

}  // namespace

class TestSearchWidgets : public QObject {
  Q_OBJECT

 private slots:
  void PromptKeepsItsTextAndAnswersOkOneCancelTwo() {
    TForm16 prompt;
    QCOMPARE(prompt.windowTitle(), QString("Search text"));
    AnswerPrompt(prompt, "needle", "Ok");
    QCOMPARE(prompt.Execute(), 1);
    QCOMPARE(prompt.SearchText(), QString("needle"));
    AnswerPrompt(prompt, nullptr, "Cancel");
    QCOMPARE(prompt.Execute(), 2);
    QCOMPARE(prompt.SearchText(), QString("needle"));
  }

  void HexMenuActions() {
    HexLineEdit edit;
    QStringList captions;
    for (QAction* a : edit.HexActions()) captions << a->text();
    QCOMPARE(captions, QStringList({"Compress", "Expand", "Cut", "&Copy", "&Paste", "&Delete",
                                    "Select all"}));
    QSignalSpy edited(&edit, &QLineEdit::textEdited);
    QClipboard* clipboard = QApplication::clipboard();

    struct Step {
      const char* before;
      const char* action;
      const char* after;
      const char* clipboardAfter;  // null: not looked at
    };
    // clang-format off
    const Step steps[] = {
        {"01 a2  3C 4", "Compress", "01a23C4",   nullptr},
        {"01a2 3C4",    "Expand",   "01 a2 3C ", nullptr},
        {"AB CD",       "&Copy",    "AB CD",     "AB CD"},
        {"12 34",       "Cut",      "",          "12 34"},
        {"xx",          "&Paste",   "12 34",     "12 34"},
        {"56 78",       "&Delete",  "",          nullptr},
    };
    // clang-format on
    for (const Step& step : steps) {
      edit.setText(step.before);
      Action(edit.HexActions(), step.action)->trigger();
      QCOMPARE(edit.text(), QString(step.after));
      if (step.clipboardAfter != nullptr) QCOMPARE(clipboard->text(), QString(step.clipboardAfter));
    }
    QCOMPARE(edited.count(), 5);  // every change but the copy

    edit.setText("11 22 33");
    Action(edit.HexActions(), "Select all")->trigger();
    QCOMPARE(edit.selectedText(), QString("11 22 33"));
    edit.setSelection(3, 3);
    Action(edit.HexActions(), "&Delete")->trigger();
    QCOMPARE(edit.text(), QString("11 33"));
  }

  void MemoFindFindNextAndKeys() {
    TForm16 prompt;
    TToolMemo memo(&prompt);
    QStringList messages;
    memo.SetMessageSink([&](const QString& m) { messages << m; });
    memo.setPlainText("alpha KEY beta\nkey gamma\nKey");
    QStringList captions;
    for (QAction* a : memo.MemoActions()) captions << a->text();
    QCOMPARE(captions,
             QStringList({"Cut", "Copy", "Paste", "Delete", "Select all", "Find", "Find Next"}));

    auto selection = [&] {
      return qMakePair(memo.textCursor().selectionStart(), memo.textCursor().selectedText());
    };
    // Find from the menu starts at the beginning, whatever is selected.
    QTextCursor c = memo.textCursor();
    c.setPosition(20);
    memo.setTextCursor(c);
    AnswerPrompt(prompt, "key", "Ok");
    Action(memo.MemoActions(), "Find")->trigger();
    QCOMPARE(selection(), qMakePair(6, QString("KEY")));
    // Find Next and F3 go on from behind the selection.
    Action(memo.MemoActions(), "Find Next")->trigger();
    QCOMPARE(selection(), qMakePair(15, QString("key")));
    QTest::keyClick(&memo, Qt::Key_F3);
    QCOMPARE(selection(), qMakePair(25, QString("Key")));
    QVERIFY(messages.isEmpty());
    QTest::keyClick(&memo, Qt::Key_F3);
    QCOMPARE(messages, QStringList({"String not found: key"}));
    QCOMPARE(selection(), qMakePair(25, QString("Key")));

    // Ctrl+F asks again; a cancelled prompt searches nothing.
    AnswerPrompt(prompt, "gamma", "Ok");
    QTest::keyClick(&memo, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(selection(), qMakePair(19, QString("gamma")));
    AnswerPrompt(prompt, "beta", "Cancel");
    QTest::keyClick(&memo, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(selection(), qMakePair(19, QString("gamma")));

    // An empty text does nothing.
    AnswerPrompt(prompt, "", "Ok");
    Action(memo.MemoActions(), "Find")->trigger();
    QCOMPARE(selection(), qMakePair(19, QString("gamma")));
    QCOMPARE(messages.size(), 1);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestSearchWidgets)
#include "TestSearchWidgets.moc"
