#include "support/ui/ErrorForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/TraceLogger.h"

namespace kal {

class TestErrorForm : public QObject {
  Q_OBJECT

 private slots:
  void ShowsCodeAndComposedTextModallyUntilOk() {
    TTDBTraceList traceList;
    TTDBDebug trace(&traceList);
    TForm8 form(&trace);
    QCOMPARE(form.windowTitle(), QString("Error Message Window"));
    QCOMPARE(form.findChild<QLabel*>("Label1")->text(), QString("Error Message"));
    QVERIFY(form.findChild<QLabel*>("Label1")->font().bold());
    QCOMPARE(form.findChild<QLabel*>("Label2")->text(), QString("Error ID"));
    auto* ok = form.findChild<QPushButton*>("Ok");
    QCOMPARE(ok->text(), QString("Ok"));
    QCOMPARE(traceList.Lines().size(), size_t{1});
    QVERIFY(traceList.Lines()[0].find("TForm8") != std::string::npos);

    // The call returns once the window is closed with Ok; a second error
    // raised meanwhile replaces the text in the open window.
    bool sawSecond = false;
    QTimer::singleShot(0, &form, [&] {
      QVERIFY(form.isVisible());
      form.ERRSetErrorMessage(7002, "Server Socket Error: in use");
      sawSecond =
          form.findChild<QPlainTextEdit*>("Memo1")->toPlainText() == "Server Socket Error: in use";
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    form.ERRSetError(4005, "detail");
    QVERIFY(sawSecond);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.findChild<QLineEdit*>("Edit1")->text(), QString("7002"));

    QTimer::singleShot(0, &form, [&] { QTest::mouseClick(ok, Qt::LeftButton); });
    form.ERRSetError(4005, "detail");
    QCOMPARE(form.findChild<QLineEdit*>("Edit1")->text(), QString("4005"));
    QCOMPARE(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText(),
             QString("error during decryption of session key cryptogram:  detail. "
                     "cryptogram is smaller than 41"));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestErrorForm)
#include "TestErrorForm.moc"
