#pragma once

#include <QObject>
#include <QTimer>

#include "workbench/MainWindowPorts.h"

class QWidget;

namespace kal {

// A QTimer behind the core's timer port; it runs on the thread that creates
// it (the GUI thread).
class TCEXQtTimer final : public ICEXTimer {
 public:
  TCEXQtTimer(bool repeating, std::function<void()> onExpiry);
  ~TCEXQtTimer() override;
  void CEXStart(std::chrono::milliseconds interval) override;
  void CEXStop() override { timer_->stop(); }
  bool CEXActive() const override { return timer_->isActive(); }

 private:
  QTimer* timer_;
};

class TCEXQtTimerFactory final : public ICEXTimerFactory {
 public:
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating,
                                            std::function<void()> onExpiry) override;
};

// Message boxes and file dialogs over the given window.
class TCEXQtDialogs final : public ICEXDialogs {
 public:
  explicit TCEXQtDialogs(QWidget* parent) : parent_(parent) {}
  void CEXShowMessage(const std::string& text) override;
  TCEXAnswer CEXAskYesNoCancel(const std::string& text) override;
  bool CEXOpenFile(const TCEXFileDialog& dialog, std::string& chosen) override;
  bool CEXSaveFile(const TCEXFileDialog& dialog, std::string& chosen) override;
  bool CEXChooseDirectory(const std::string& title, const std::string& initialDir,
                          std::string& chosen) override;

  // "Text|*.a;*.b|All|*.*" as a Qt name filter: "Text (*.a *.b);;All (*.*)".
  static QString CEXQtFilter(const std::string& filter);

 private:
  QWidget* parent_;
};

}  // namespace kal
