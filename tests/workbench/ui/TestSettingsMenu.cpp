#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "comm/ui/FormCommunication.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "config/ui/DialogTestSupport.h"
#include "config/ui/FormMessageHeader.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"
#include "workbench/ui/ProgramWindows.h"

namespace kal {

// The Parameters menu's dialogs as the main window opens them and what it
// does after they close.
class TestSettingsMenu : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  std::unique_ptr<TCEXProgramWindows> windows_;
  std::unique_ptr<TForm1> form_;

  // Wired as the program wires it: the commands reach the dialogs through
  // the program's window port.
  TForm1* Make(const std::string& ini) {
    home_ = std::make_unique<test::TempDir>();
    test::WriteFile(home_->file("config.ini"), ini);
    windows_ = std::make_unique<TCEXProgramWindows>();
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.windows = windows_.get();
    form_ = std::make_unique<TForm1>(std::move(parts));
    windows_->CEXMake(*form_, &dialogs_, {});
    form_->show();
    return form_.get();
  }

  // Runs the action; the modal dialog it opens gets `answer`.
  template <class D>
  static bool Answer(TForm1& form, TCEXAction action, std::function<void(D&)> answer) {
    QAction* item = form.CEXActionObject(action);
    if (!QTest::qWaitFor([item] { return item->isEnabled(); }, 10000)) return false;
    bool answered = false;
    QTimer::singleShot(0, &form, [&] {
      auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      answered = true;
      answer(*dialog);
    });
    item->trigger();
    return answered;
  }

 private slots:
  void cleanup() {
    if (windows_) windows_->CEXDestroy();
    form_.reset();
    windows_.reset();
  }

  // Encoding information off: "Security header" hidden; on: shown with the
  // MAC-only setting's choice.
  void messageHeaderUpdatesSecurityHeader() {
    auto form = Make(
        "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n"
        "[Component]\r\nEncodingInformation=1\r\nMacOnly=1\r\n");
    auto* group = form->findChild<QGroupBox*>("RadioGroup1");
    QVERIFY(group->isVisible());
    for (const char* encoding : {"0", "1"}) {
      QVERIFY(Answer<TForm7>(*form, TCEXAction::Component, [encoding](TForm7& dialog) {
        test::SetWidgetValue(&dialog, "RadioGroup1", encoding);
        dialog.findChild<QPushButton*>("Ok")->click();
      }));
      const bool on = *encoding == '1';
      QCOMPARE(group->isVisible(), on);
      QCOMPARE(form->CEXCore().CEXConfiguration().CFGGetEncodingInformation(), uint8_t(on ? 1 : 0));
      if (on) QVERIFY(group->findChildren<QRadioButton*>()[0]->isChecked());
    }
  }

  // After "Ok" the listener follows the new settings: a python3 client
  // reaches the new port.
  void communicationOkRestartsTheListener() {
    auto form = Make("[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n");
    const int port = test::FreeLoopbackPort();
    QVERIFY(Answer<TForm9>(*form, TCEXAction::Communication, [port](TForm9& dialog) {
      test::SetWidgetValue(&dialog, "RadioGroup1", "0");
      test::SetWidgetValue(&dialog, "RadioGroup2", "1");
      test::SetWidgetValue(&dialog, "Edit1", QString::number(port));
      dialog.findChild<QPushButton*>("Ok")->click();
    }));
    QCOMPARE(form->findChild<QLabel*>("Panel2")->text(),
             QString("Server listening on port %1").arg(port));
    int status = -1;
    const std::string out = test::RunPython(
        "import socket\n"
        "s = socket.create_connection(('127.0.0.1', " +
            std::to_string(port) +
            "), timeout=20)\n"
            "print('connected')\n"
            "s.close()\n",
        "", &status);
    QCOMPARE(out, std::string("connected\n"));
    QCOMPARE(status, 0);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestSettingsMenu)
#include "TestSettingsMenu.moc"
