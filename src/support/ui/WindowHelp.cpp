#include "support/ui/WindowHelp.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <memory>

namespace kal {

namespace {

class THelpHolder final : public QObject {
 public:
  THelpHolder(QWidget& window, std::unique_ptr<THPTWindowHelp> help)
      : QObject(&window), help_(std::move(help)) {
    setObjectName("HelpControl");
  }
  THPTWindowHelp& Help() { return *help_; }

 private:
  std::unique_ptr<THPTWindowHelp> help_;
};

THPTWindowHelp& Attach(QWidget& window, std::unique_ptr<THPTWindowHelp> made, bool withF1) {
  auto* holder = new THelpHolder(window, std::move(made));
  THPTWindowHelp& help = holder->Help();
  if (withF1) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &window);
    f1->setObjectName("HelpKey");
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, holder, [&help] { help.HPTShowTopic(); });
  }
  return help;
}

}  // namespace

THPTWindowHelp& HPTAttachHelp(QWidget& window, THPTHelpPort& port, int32_t context, bool withF1) {
  return Attach(window, port.HPTAttach(context), withF1);
}

THPTWindowHelp* HPTAttachHelp(QWidget& window, int32_t context) {
  for (QWidget* up = window.parentWidget(); up != nullptr; up = up->parentWidget()) {
    if (THPTWindowHelp* help = HPTWindowHelpOf(*up))
      return &Attach(window, help->HPTAttachAnother(context), true);
  }
  return nullptr;
}

THPTWindowHelp* HPTWindowHelpOf(const QWidget& window) {
  // Only THelpHolder takes this name.
  QObject* holder = window.findChild<QObject*>("HelpControl", Qt::FindDirectChildrenOnly);
  return holder != nullptr ? &static_cast<THelpHolder*>(holder)->Help() : nullptr;
}

}  // namespace kal
