#include "comm/ui/FormModemStatus.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "comm/ModemStatusForm.h"

namespace kal {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QLabel* Value(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(name);
  return label;
}

}  // namespace

TForm10::TForm10(TRRSModemStatusForm& model, std::function<void(bool busy)> setBusy,
                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      model_(model),
      setBusy_(std::move(setBusy)) {
  setObjectName("TForm10");
  setWindowTitle(TRRSModemStatusForm::RRScCaption);
  status_ = Value("StatusLabel");
  calling_ = Value("PhoneLabel");
  user_ = Value("UserLabel");
  password_ = Value("PasswordLabel");
  address_ = Value("AddressLabel");
  port_ = Value("PortLabel");
  history_ = new QListWidget;
  history_->setObjectName("HistoryList");
  close_ = new QPushButton(TRRSModemStatusForm::RRScCloseButton);
  close_->setObjectName("Close");
  connect(close_, &QPushButton::clicked, this, [this] { model_.RRSClose(); });

  auto* grid = new QGridLayout;
  QLabel* values[] = {status_, calling_, user_, password_, address_, port_};
  for (int i = 0; i < 6; ++i) {
    grid->addWidget(new QLabel(TRRSModemStatusForm::RRScLabels[i]), i, 0);
    grid->addWidget(values[i], i, 1);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(new QLabel(TRRSModemStatusForm::RRScLabels[6]));
  layout->addWidget(history_, 1);
  layout->addWidget(close_, 0, Qt::AlignRight);
  resize(420, 360);

  // Changes come on the GUI thread while the dial-up client works; the
  // window shows them once the event loop runs again.
  model_.RRSSetChangeNotice([this] {
    if (refreshPosted_) return;
    refreshPosted_ = true;
    QMetaObject::invokeMethod(this, &TForm10::RRSRefresh, Qt::QueuedConnection);
  });
  RRSRefresh();
}

TForm10::~TForm10() {
  model_.RRSSetChangeNotice(nullptr);
  if (busy_ && setBusy_) setBusy_(false);
}

void TForm10::RRSRefresh() {
  refreshPosted_ = false;
  const TRRSStatusLine& line = model_.RRSGetStatusField();
  status_->setText(Q(line.RRSGetText()));
  const TRRSStatusColor color = line.RRSGetColor();
  status_->setStyleSheet(color == TRRSStatusColor::kGreen ? "color: green"
                         : color == TRRSStatusColor::kRed ? "color: red"
                                                          : "");
  calling_->setText(Q(model_.RRSCallingText()));
  user_->setText(Q(model_.RRSUserText()));
  password_->setText(Q(model_.RRSPasswordText()));
  address_->setText(Q(model_.RRSAddressText()));
  port_->setText(Q(model_.RRSPortText()));
  const std::vector<std::string>& lines = model_.RRSGetHistoryField().RRSLines();
  history_->clear();
  for (const std::string& text : lines) history_->addItem(Q(text));
  close_->setEnabled(model_.RRSCloseEnabled());
  if (model_.RRSBusyCursor() != busy_) {
    busy_ = model_.RRSBusyCursor();
    if (setBusy_) setBusy_(busy_);
  }
  if (model_.RRSStatusWindowVisible() && !isVisible())
    show();
  else if (!model_.RRSStatusWindowVisible() && isVisible())
    hide();
}

void TForm10::closeEvent(QCloseEvent* event) {
  // Closing the window closes the model, which restores the cursor.
  model_.RRSClose();
  RRSRefresh();
  QWidget::closeEvent(event);
}

}  // namespace kal
