#include "workbench/ui/FormSequenceRun.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace kal {

class TestFormSequenceRun : public QObject {
  Q_OBJECT

 private:
  static QString Text(TForm15& form, const char* name) {
    return form.findChild<QLabel*>(name)->text();
  }
  static QString Caption(TForm15& form, const char* name) {
    auto* layout = form.findChild<QFormLayout*>();
    return qobject_cast<QLabel*>(layout->labelForField(form.findChild<QLabel*>(name)))->text();
  }

 private slots:
  void ShowsTheModelAndStopsTheRun() {
    TSQSRunStatus status;
    int stops = 0;
    status.OnStop = [&] { ++stops; };
    TForm15 form(status);
    QCOMPARE(form.windowTitle(), QString("Sequence Run"));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    const std::pair<const char*, const char*> captions[] = {
        {"RunNumber", "Run number"},       {"CurrentAction", "Current action"},
        {"MessagesSend", "Messages send"}, {"MessagesReceived", "Messages received"},
        {"ErrorsFound", "Errors found"},   {"MinTime", "Min time [ms]"},
        {"MaxTime", "Max time [ms]"},      {"AverageTime", "Average time [ms]"}};
    for (const auto& [name, caption] : captions) QCOMPARE(Caption(form, name), QString(caption));

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(Text(form, "RunNumber"), QString("1"));
    QCOMPARE(Text(form, "MessagesSend"), QString("0"));
    auto* close = form.findChild<QPushButton*>("Close");
    auto* stop = form.findChild<QPushButton*>("Stop");
    QVERIFY(!close->isEnabled());
    QVERIFY(stop->isEnabled());

    // Placed 60 px from the bottom right of the available area.
    const QRect area = form.screen()->availableGeometry();
    const QRect frame = form.frameGeometry();
    QCOMPARE(area.right() - frame.right(), 60);
    QCOMPARE(area.bottom() - frame.bottom(), 60);

    // Updates arrive coalesced; the last state is shown.
    for (int i = 0; i < 50; ++i) status.SQSMessageSend("dir/msg" + std::to_string(i) + ".epm");
    QTRY_COMPARE(Text(form, "MessagesSend"), QString("50"));
    QCOMPARE(Text(form, "CurrentAction"), QString("Send: msg49.epm"));
    status.SQSSetNote("Character timeout");
    QTRY_COMPARE(Text(form, "Note"), QString("Character timeout"));

    stop->click();
    QCOMPARE(stops, 1);
    QCOMPARE(Text(form, "CurrentAction"), QString("Sequence completed, stopped by user"));
    QVERIFY(close->isEnabled());
    QVERIFY(!stop->isEnabled());
    close->click();
    QVERIFY(!form.isVisible());

    // The next run starts afresh and keeps "Close" enabled.
    form.show();
    QCOMPARE(Text(form, "MessagesSend"), QString("0"));
    QVERIFY(close->isEnabled());
    QVERIFY(stop->isEnabled());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormSequenceRun)
#include "TestFormSequenceRun.moc"
