#include "workbench/ui/FormLogin.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "support/ui/RowEditGrid.h"
#include "workbench/UserList.h"
#include "workbench/ui/FormAUSAdminUsers.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

// One answer to the login dialog: the texts typed, then "Ok" or "Cancel".
struct Answer {
  QString user, password;
  bool ok;
};

}  // namespace

class TestFormLogin : public QObject {
  Q_OBJECT

 private:
  // Answers each login dialog that comes up with the next answer; checks
  // that the dialog came with empty fields.
  void AnswerLogins(std::deque<Answer> answers) {
    answers_ = std::move(answers);
    shown_ = 0;
    emptyFields_ = true;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer] {
      auto* dialog = qobject_cast<TForm19*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      if (answers_.empty()) {
        timer->stop();
        timer->deleteLater();
        dialog->reject();
        return;
      }
      ++shown_;
      auto* user = dialog->findChild<QLineEdit*>("Edit1");
      auto* password = dialog->findChild<QLineEdit*>("Edit2");
      emptyFields_ &= user->text().isEmpty() && password->text().isEmpty();
      QCOMPARE(password->echoMode(), QLineEdit::Password);
      const Answer answer = answers_.front();
      answers_.pop_front();
      QTest::keyClicks(user, answer.user);
      QTest::keyClicks(password, answer.password);
      dialog->findChild<QPushButton*>(answer.ok ? "Ok" : "Cancel")->click();
    });
    timer->start(10);
  }

  std::unique_ptr<TForm1> Make(int useLogin) {
    test::WriteFile(home_->path() + "config.ini",
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n"
                    "[Admin]\r\nUseLogin=" +
                        std::to_string(useLogin) + "\r\n");
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    return std::make_unique<TForm1>(std::move(parts));
  }

  static bool MenuEnabled(TForm1& form, const char* name) {
    return form.findChild<QMenu*>(name)->menuAction()->isEnabled();
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  std::deque<Answer> answers_;
  int shown_ = 0;
  bool emptyFields_ = true;

 private slots:
  void init() {
    home_ = std::make_unique<test::TempDir>();
    test::WriteFile(home_->path() + "users.ini", "Admin\t" + AUUEncodePassword("Secret") +
                                                     "\tA\r\nclerk\t" +
                                                     AUUEncodePassword("counter") + "\t\r\n");
    dialogs_ = test::MessageDialogs();
  }

  void RetriesUntilValidAndAdministratorGetsEverything() {
    auto form = Make(1);
    AnswerLogins(
        {{"Admin", "wrong", true}, {"nobody", "Secret", true}, {" admin ", "SECRET", true}});
    form->show();
    QTRY_VERIFY_WITH_TIMEOUT(answers_.empty() && QApplication::activeModalWidget() == nullptr,
                             10000);
    QCOMPARE(shown_, 3);
    QVERIFY(emptyFields_);
    QCOMPARE(dialogs_.messages,
             (std::vector<std::string>(2, "Login information is not valid. Please retry")));
    QVERIFY(form->isVisible());
    QVERIFY(form->CEXCore().CEXUserIsAdmin());
    for (const char* menu : {"Edit1", "Parameters1", "Admin1"}) QVERIFY(MenuEnabled(*form, menu));
    QVERIFY(form->CEXActionObject(TCEXAction::LoadConfiguration)->isEnabled());
    QVERIFY(form->findChild<QAction*>("Users1") != nullptr);
  }

  void OtherUsersLoseTheTaggedMenusAndActions() {
    auto form = Make(1);
    AnswerLogins({{"Clerk", "Counter ", true}});
    form->show();
    QTRY_VERIFY_WITH_TIMEOUT(shown_ == 1 && QApplication::activeModalWidget() == nullptr, 10000);
    QVERIFY(dialogs_.messages.empty());
    QVERIFY(!form->CEXCore().CEXUserIsAdmin());
    for (const char* menu : {"Edit1", "Parameters1", "Admin1"}) QVERIFY(!MenuEnabled(*form, menu));
    for (const char* menu : {"File1", "View1", "Sequences1", "Help1"})
      QVERIFY(MenuEnabled(*form, menu));
    QVERIFY(!form->CEXActionObject(TCEXAction::LoadConfiguration)->isEnabled());
    QVERIFY(form->CEXActionObject(TCEXAction::Logout)->isEnabled());

    // Logging out and in again as the administrator gives the rights back.
    AnswerLogins({{"admin", "secret", true}});
    form->CEXActionObject(TCEXAction::Logout)->trigger();
    QVERIFY(form->CEXCore().CEXUserIsAdmin());
    QVERIFY(MenuEnabled(*form, "Admin1"));
  }

  void CancelClosesTheWindow() {
    auto form = Make(1);
    AnswerLogins({{"Admin", "wrong", true}, {"Admin", "Secret", false}});
    form->show();
    QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 10000);
    QCOMPARE(shown_, 2);
    QVERIFY(!form->CEXCore().CEXUserIsAdmin());
  }

  void WithoutLoginEveryoneIsAdministrator() {
    auto form = Make(0);
    AnswerLogins({{"clerk", "counter", true}});
    form->show();
    QTRY_VERIFY_WITH_TIMEOUT(form->CEXCore().CEXUserIsAdmin(), 10000);
    QTest::qWait(100);
    QCOMPARE(shown_, 0);
    QVERIFY(MenuEnabled(*form, "Admin1"));
    QVERIFY(form->CEXActionObject(TCEXAction::SaveConfiguration)->isEnabled());
  }

  void AdministrationSavesUsersAndTheLoginSwitch() {
    auto form = Make(0);
    form->show();
    auto* admin = form->findChild<QAction*>("Users1");
    QVERIFY(admin != nullptr);
    admin->trigger();
    auto* users = qobject_cast<TForm18*>(QApplication::activeModalWidget());
    QVERIFY(users != nullptr);
    QCOMPARE(users->windowTitle(), QString("User Administrator"));
    QStringList messages;
    users->AUSSetMessageSink([&messages](const QString& text) { messages << text; });
    IStringGrid& grid = users->AUSGrid();
    QCOMPARE(QString::fromStdString(grid.Cell(2, 1)), QString("Secret"));
    auto* activate = users->findChild<QCheckBox*>("CheckBox1");
    QVERIFY(!activate->isChecked());

    // Login on, but the only administrator loses the right: refused, the
    // dialog stays and the file is kept.
    const std::string before = test::ReadFile(home_->path() + "users.ini");
    activate->click();
    TRowEditGrid& table = users->AUSGrid();
    auto* attributes = users->findChild<QListWidget*>("CheckListBox1")->item(0);
    QCOMPARE(attributes->text(), QString("A Administrator"));
    table.setCurrentCell(2, 1);
    QCOMPARE(attributes->checkState(), Qt::Unchecked);
    table.setCurrentCell(1, 3);  // the attributes are not edited in the grid
    QTRY_COMPARE(table.currentColumn(), 1);
    QCOMPARE(attributes->checkState(), Qt::Checked);
    attributes->setCheckState(Qt::Unchecked);
    QCOMPARE(grid.Cell(3, 1), "");
    users->findChild<QPushButton*>("Ok")->click();
    QCOMPARE(messages.size(), 1);
    QVERIFY(users->isVisible());
    QCOMPARE(test::ReadFile(home_->path() + "users.ini"), before);

    grid.SetCell(1, 3, "new");
    grid.SetCell(2, 3, "pass");
    grid.SetCell(3, 3, "A");
    users->findChild<QPushButton*>("Ok")->click();
    QVERIFY(!users->isVisible());
    QCOMPARE(form->CEXServices().CEXConfiguration().CFGGetUseLogin(), 1);
    const std::string after = test::ReadFile(home_->path() + "users.ini");
    QVERIFY(after.find("new\t" + AUUEncodePassword("pass") + "\tA\r\n") != std::string::npos);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormLogin)
#include "TestFormLogin.moc"
