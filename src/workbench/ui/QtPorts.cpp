#include "workbench/ui/QtPorts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace kal {

TCEXQtTimer::TCEXQtTimer(bool repeating, std::function<void()> onExpiry) : timer_(new QTimer) {
  timer_->setSingleShot(!repeating);
  QObject::connect(timer_, &QTimer::timeout, timer_, std::move(onExpiry));
}

TCEXQtTimer::~TCEXQtTimer() {
  delete timer_;
}

void TCEXQtTimer::CEXStart(std::chrono::milliseconds interval) {
  timer_->start(interval);
}

std::unique_ptr<ICEXTimer> TCEXQtTimerFactory::CEXCreateTimer(bool repeating,
                                                              std::function<void()> onExpiry) {
  return std::make_unique<TCEXQtTimer>(repeating, std::move(onExpiry));
}

void TCEXQtDialogs::CEXShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QCoreApplication::applicationName(),
                           QString::fromStdString(text));
}

TCEXAnswer TCEXQtDialogs::CEXAskYesNoCancel(const std::string& text) {
  const auto answer = QMessageBox::question(
      parent_, QCoreApplication::applicationName(), QString::fromStdString(text),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Yes) return TCEXAnswer::Yes;
  if (answer == QMessageBox::No) return TCEXAnswer::No;
  return TCEXAnswer::Cancel;
}

QString TCEXQtDialogs::CEXQtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << parts[i] + " (" + patterns + ")";
  }
  return filters.join(";;");
}

namespace {

bool RunFileDialog(QWidget* parent, const TCEXFileDialog& d, QFileDialog::AcceptMode mode,
                   std::string& chosen) {
  QFileDialog dialog(parent, QString::fromStdString(d.title), QString::fromStdString(d.initialDir),
                     TCEXQtDialogs::CEXQtFilter(d.filter));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  if (!d.defaultExt.empty()) dialog.setDefaultSuffix(QString::fromStdString(d.defaultExt));
  if (!d.fileName.empty()) dialog.selectFile(QString::fromStdString(d.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosen = dialog.selectedFiles().front().toStdString();
  return true;
}

}  // namespace

bool TCEXQtDialogs::CEXOpenFile(const TCEXFileDialog& dialog, std::string& chosen) {
  return RunFileDialog(parent_, dialog, QFileDialog::AcceptOpen, chosen);
}

bool TCEXQtDialogs::CEXSaveFile(const TCEXFileDialog& dialog, std::string& chosen) {
  return RunFileDialog(parent_, dialog, QFileDialog::AcceptSave, chosen);
}

bool TCEXQtDialogs::CEXChooseDirectory(const std::string& title, const std::string& initialDir,
                                       std::string& chosen) {
  const QString dir = QFileDialog::getExistingDirectory(parent_, QString::fromStdString(title),
                                                        QString::fromStdString(initialDir));
  if (dir.isEmpty()) return false;
  chosen = dir.toStdString();
  if (chosen.back() != '/') chosen += '/';
  return true;
}

}  // namespace kal
