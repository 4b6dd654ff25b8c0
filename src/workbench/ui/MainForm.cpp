#include "workbench/ui/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "comm/CommParams.h"
#include "comm/ui/FormCommunication.h"
#include "comm/ui/FormModemStatus.h"
#include "config/Config.h"
#include "config/ui/FormAlias.h"
#include "config/ui/FormMessageHeader.h"
#include "config/ui/FormTimeouts.h"
#include "ep2/MessageTree.h"
#include "platform/ui/QtEventPoster.h"
#include "support/HelpContexts.h"
#include "support/TraceLogger.h"
#include "support/ui/WindowHelp.h"
#include "workbench/CounterLists.h"
#include "workbench/MessageFiles.h"
#include "workbench/RecordingItemsList.h"
#include "workbench/RecordingLink.h"
#include "workbench/SequenceWindowForwarder.h"
#include "workbench/ui/FormABOut.h"
#include "workbench/ui/FormAUSAdminUsers.h"
#include "workbench/ui/FormAlarming.h"
#include "workbench/ui/FormKeys.h"
#include "workbench/ui/FormLFDLoadFile.h"
#include "workbench/ui/FormLogin.h"
#include "workbench/ui/FormSKISecItems.h"
#include "workbench/ui/FormSequence.h"
#include "workbench/ui/FormSequenceRun.h"
#include "workbench/ui/MainFormCommands.h"
#include "workbench/ui/MessageTreeView.h"
#include "workbench/ui/QtPorts.h"

namespace kal {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A memo shows at most this many characters of its text (a stream of
// megabytes would stall the widget); the core keeps the whole text.
constexpr size_t kMemoDisplayLimit = 64 * 1024;

// A memo that cannot be edited still has a caret the keys move.
constexpr Qt::TextInteractionFlags kReadOnlyMemo =
    Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;

// What a memo shows of a text: the whole text, or its start (cut at a
// character boundary) and how much is not shown.
QString MemoDisplayText(const std::string& text) {
  if (text.size() <= kMemoDisplayLimit) return Q(text);
  size_t cut = kMemoDisplayLimit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return Q(text.substr(0, cut)) +
         QString("\n[... %1 more characters not shown]").arg(text.size() - cut);
}

// A caption over a widget.
QWidget* Captioned(const char* caption, QWidget* widget, QWidget* beside = nullptr) {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(caption));
  row->addStretch(1);
  if (beside != nullptr) row->addWidget(beside);
  layout->addLayout(row);
  layout->addWidget(widget, 1);
  return box;
}

QButtonGroup* RadioItems(QGroupBox* box, std::initializer_list<const char*> items, int checked) {
  auto* group = new QButtonGroup(box);
  auto* layout = new QVBoxLayout(box);
  int id = 0;
  for (const char* item : items) {
    auto* button = new QRadioButton(item, box);
    group->addButton(button, id);
    button->setChecked(id == checked);
    layout->addWidget(button);
    ++id;
  }
  return group;
}

// The login of "users.ini": its dialogs need the core's trace, so they come
// after the core that holds this login; nobody logs in before that.
class TDeferredLogin final : public ICEXLogin {
 public:
  bool CEXShowLoginDialog(std::string& user, std::string& password) override {
    return login->CEXShowLoginDialog(user, password);
  }
  void CEXReloadUsers() override { login->CEXReloadUsers(); }
  bool CEXFindUser(const std::string& user, const std::string& password, bool& isAdmin) override {
    return login->CEXFindUser(user, password, isAdmin);
  }
  std::unique_ptr<TAUULogin> login;
};

}  // namespace

TForm1::TForm1(TParts parts, QWidget* parent) : QMainWindow(parent), args_(std::move(parts.args)) {
  setObjectName("TForm1");
  poster_ = new TPLTQtEventPoster(this);
  timers_ = std::make_unique<TCEXQtTimerFactory>();
  qtDialogs_ = std::make_unique<TCEXQtDialogs>(this);
  TCEXMessageFiles* messageFiles = nullptr;
  if (parts.messageFiles == nullptr) {
    auto own =
        std::make_unique<TCEXMessageFiles>(parts.dialogs != nullptr ? *parts.dialogs : *qtDialogs_);
    messageFiles = own.get();
    ownMessageFiles_ = std::move(own);
    parts.messageFiles = ownMessageFiles_.get();
  }
  if (parts.counters == nullptr) {
    ownCounters_ = std::make_unique<TCEXCounterLists>(
        parts.programDir, parts.dialogs != nullptr ? *parts.dialogs : *qtDialogs_);
    parts.counters = ownCounters_.get();
  }
  if (parts.recording == nullptr) {
    ownRecording_ = std::make_unique<TRFLRecordingItemsList>(parts.programDir);
    parts.recording = ownRecording_.get();
  }
  TDeferredLogin* usersLogin = nullptr;
  if (parts.login == nullptr) {
    auto login = std::make_unique<TDeferredLogin>();
    usersLogin = login.get();
    ownLogin_ = std::move(login);
    parts.login = ownLogin_.get();
  }

  if (parts.sequenceWindow == nullptr) {
    ownSequence_ = std::make_unique<TCEXSequenceWindowForwarder>();
    parts.sequenceWindow = ownSequence_.get();
  }

  BuildControls();
  BuildMenus();
  resize(1024, 768);
  LayoutStatusPanels();
  commands_ = std::make_unique<TCEXFormCommands>(this, memos_, [this](int i) {
    return core_ && core_->CEXGetMemo(static_cast<TCEXMemo>(i + 1)).size() > kMemoDisplayLimit;
  });

  core_ = std::make_unique<TCEXMainWindow>(
      parts.programDir,
      TCEXMainWindow::TPorts{.view = *this,
                             .dialogs = parts.dialogs != nullptr ? *parts.dialogs : *qtDialogs_,
                             .errorWindow = *this,
                             .timers = *timers_,
                             .clock = clock_,
                             .poster = *poster_,
                             .dialUp = parts.dialUp,
                             .random = nullptr,
                             .messageFiles = *parts.messageFiles,
                             .counters = *parts.counters,
                             .login = *parts.login,
                             .sequenceWindow = parts.sequenceWindow,
                             .recording = parts.recording,
                             .cursor = this,
                             .windows = parts.windows != nullptr ? parts.windows : this,
                             .helpControls = parts.helpControls,
                             .printer = commands_.get(),
                             .search = commands_.get()});
  // F1 here is "&Content"'s; the windows made below take their help through
  // this one's.
  core_->CEXHelp().HPTSetMainHelp(
      &HPTAttachHelp(*this, core_->CEXHelp(), HPTcHelpMainWindow, false));

  dialUp_ = parts.dialUp;
  form10_ = std::make_unique<TForm10>(core_->CEXCommParams().TCPStatusForm(), [this](bool busy) {
    if (busy)
      CEXSetBusyCursor();
    else
      CEXSetDefaultCursor();
  });
  HPTAttachHelp(*form10_, core_->CEXHelp(), HPTcHelpModemStatus);
  if (messageFiles != nullptr) messageFiles->CEXAttach(*core_);
  if (ownRecording_ != nullptr) RFLLinkToCore(*ownRecording_, *core_);
  const QString icon = Q(core_->CEXDirName()) + "/kalmore.ico";
  if (QFileInfo::exists(icon)) QApplication::setWindowIcon(QIcon(icon));
  if (usersLogin != nullptr) {
    // The dialogs trace their start into the core's trace.
    std::string dir = core_->CEXDirName();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    form18_ = std::make_unique<TForm18>(dir + "users.ini", &core_->CEXTrace());
    form19_ = std::make_unique<TForm19>(&core_->CEXTrace());
    usersLogin->login = std::make_unique<TAUULogin>(*form19_, form18_->AUSAdmin());
    HPTAttachHelp(*form18_, core_->CEXHelp(), HPTcHelpUsers);
    HPTAttachHelp(*form19_, core_->CEXHelp(), HPTcHelpUsers);
    form18_->AUSSetConfig(&core_->CEXConfiguration());
    QAction* users = menus_[static_cast<size_t>(TCEXMenu::Admin)]->addAction("Users");
    users->setObjectName("Users1");
    connect(users, &QAction::triggered, form18_.get(), &QDialog::open);
  }
  ICEXDialogs& dialogs = parts.dialogs != nullptr ? *parts.dialogs : *qtDialogs_;
  form20_ = std::make_unique<TForm20>(*core_, dialogs);
  HPTAttachHelp(*form20_, core_->CEXHelp(), HPTcHelpAlarming);
  QAction* alarming = menus_[static_cast<size_t>(TCEXMenu::Admin)]->addAction("Alarming");
  alarming->setObjectName("Alarming1");
  connect(alarming, &QAction::triggered, form20_.get(), &QDialog::open);
  AddWindowMenuEntries(dialogs);
  if (ownSequence_) {
    form14_ = std::make_unique<TForm14>(
        *core_, dialogs,
        TForm14::TRunPorts{*parts.messageFiles, *parts.recording, *timers_, clock_}, this);
    ownSequence_->CEXSetWindow(form14_.get());
    HPTAttachHelp(*form14_, core_->CEXHelp(), HPTcHelpSequence);
    HPTAttachHelp(form14_->SEQStatusWindow(), core_->CEXHelp(), HPTcHelpSequenceRun);
    QAction* open = menus_[static_cast<size_t>(TCEXMenu::Sequences)]->addAction("Sequence...");
    open->setObjectName("Sequence1");
    connect(open, &QAction::triggered, form14_.get(), &QWidget::show);
  }
  AddLoadFileWindow(*parts.messageFiles);
  BuildPopupMenus();
  core_->FormCreate();
}

TForm1::~TForm1() {
  form10_.reset();
  for (auto& dialog : settings_) dialog.reset();
  if (ownSequence_) ownSequence_->CEXSetWindow(nullptr);
  form4_.reset();
  form14_.reset();
  form20_.reset();
  form5_.reset();
  form6_.reset();
  form12_.reset();
  core_->FormDestroy();
  core_.reset();
  CEXSetDefaultCursor();
}

void TForm1::AddWindowMenuEntries(ICEXDialogs& dialogs) {
  form6_ = std::make_unique<TForm6>(*core_, dialogs, this);
  HPTAttachHelp(*form6_, HPTcHelpSecurityItems);
  form5_ = std::make_unique<TForm5>(core_->CEXConfiguration(), core_->CEXSecurity(), dialogs, this);
  HPTAttachHelp(*form5_, HPTcHelpKeys);
  if (auto* form17 = form5_->findChild<QWidget*>("TForm17"))
    HPTAttachHelp(*form17, HPTcHelpPublicKeyData);
  form12_ = std::make_unique<TForm12>(&core_->CEXTrace(), this);
  QAction* about = menus_[static_cast<size_t>(TCEXMenu::Help)]->addAction("About");
  about->setObjectName("About1");
  connect(about, &QAction::triggered, form12_.get(), [this] { form12_->exec(); });
}

void TForm1::AddLoadFileWindow(ICEXMessageFiles& files) {
  form4_ = std::make_unique<TForm4>(*core_, files, form14_.get(),
                                    form14_ ? &form14_->SEQEditor() : nullptr);
  HPTAttachHelp(*form4_, core_->CEXHelp(), HPTcHelpLoadFile);
  if (form14_)
    form14_->SEQSetSelectMessages(
        [this] { static_cast<void>(CEXOpenWindow(TCEXWindow::LoadFile, false)); });
}

void TForm1::BuildControls() {
  XMLMessageTree1 = new TXMLMessageTreeView;
  XMLMessageTree1->setObjectName("XMLMessageTree1");
  XMLMessageTree2 = new TXMLMessageTreeView;
  XMLMessageTree2->setObjectName("XMLMessageTree2");

  for (int i = 0; i < 6; ++i) {
    memos_[i] = new QPlainTextEdit;
    memos_[i]->setObjectName(QString("Memo%1").arg(i + 1));
    // Tab moves on to the next control; a document or stream takes no tabs
    // from the keyboard.
    memos_[i]->setTabChangesFocus(true);
    const auto memo = static_cast<TCEXMemo>(i + 1);
    connect(memos_[i], &QPlainTextEdit::textChanged, this, [this, i, memo] {
      if (updating_) return;
      shownMemos_[i] = memos_[i]->toPlainText().toStdString();
      core_->CEXSetMemo(memo, shownMemos_[i]);
    });
  }
  for (int n : {1, 2, 3, 5, 6, 7, 8}) {
    QLineEdit* edit = new QLineEdit;
    edit->setObjectName(QString("Edit%1").arg(n));
    edits_[n - 1] = edit;
    const auto id = static_cast<TCEXEdit>(n);
    connect(edit, &QLineEdit::textEdited, this, [this, edit, id](const QString& text) {
      if (!updating_) core_->CEXSetEdit(id, text.toStdString());
      (void)edit;
    });
  }
  // The displays the program fills are read-only and look it.
  for (QPlainTextEdit* memo : {memos_[1], memos_[2], memos_[3], memos_[4]}) {
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(kReadOnlyMemo);
    memo->setBackgroundRole(QPalette::Button);
  }
  for (int n : {2, 5, 6, 7, 8}) {
    edits_[n - 1]->setReadOnly(true);
    edits_[n - 1]->setBackgroundRole(QPalette::Button);
  }

  RadioGroup1 = new QGroupBox("Security header");
  RadioGroup1->setObjectName("RadioGroup1");
  securityHeader_ = RadioItems(RadioGroup1, {"Add MAC Only", "Add Complete Security Header"}, 1);
  RadioGroup2 = new QGroupBox("Add msgnum");
  RadioGroup2->setObjectName("RadioGroup2");
  addMsgNum_ = RadioItems(RadioGroup2, {"New", "From Input", "None"}, 0);
  connect(securityHeader_, &QButtonGroup::idClicked, this,
          [this](int id) { core_->RadioGroup1Click(id); });
  connect(addMsgNum_, &QButtonGroup::idClicked, this,
          [this](int id) { core_->CEXSetAddMsgNum(id); });

  connect(XMLMessageTree1, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) {
            int line = -1;
            if (current != nullptr) {
              int index = 0;
              for (QTreeWidgetItemIterator it(XMLMessageTree1); *it != nullptr; ++it, ++index) {
                if (*it == current) {
                  line = index;
                  break;
                }
              }
            }
            core_->CEXSetSelectedSourceLine(line);
          });
  // A double click runs "Edit Window..." on the node it selected.
  connect(XMLMessageTree1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (item == nullptr) return;
    if (XMLMessageTree1->currentItem() != item) XMLMessageTree1->setCurrentItem(item);
    core_->CEXSetSourceTreeFocused(XMLMessageTree1->hasFocus());
    core_->CEXExecute(TCEXAction::EditWindow);
  });
  memos_[1]->installEventFilter(this);
  memos_[1]->viewport()->installEventFilter(this);

  auto* send = new QWidget;
  auto* sendLayout = new QVBoxLayout(send);
  sendLayout->setContentsMargins(0, 0, 0, 0);
  sendLayout->addWidget(Captioned("Source Window", XMLMessageTree1, edits_[1]), 3);
  createXMLDocButton_ = new QToolButton;
  createXMLDocButton_->setObjectName("ButtonCreateXMLDoc");
  sendLayout->addWidget(Captioned("Send Message: XML Document", memos_[0], createXMLDocButton_), 2);
  // The stream's buttons: "Create Data Stream", "Send Data Stream" and the
  // chains "Create + Send" and "Transfer+Send".
  auto* streamButtons = new QWidget;
  auto* streamRow = new QHBoxLayout(streamButtons);
  streamRow->setContentsMargins(0, 0, 0, 0);
  createDataStreamButton_ = new QToolButton;
  createDataStreamButton_->setObjectName("ButtonCreateDataStream");
  sendButton_ = new QToolButton;
  sendButton_->setObjectName("SendDataStreamButton");
  createAndSendButton_ = new QToolButton;
  createAndSendButton_->setObjectName("ButtonCreateAndSend");
  transferAndSendButton_ = new QToolButton;
  transferAndSendButton_->setObjectName("ButtonTransferAndSend");
  for (QToolButton* b :
       {createDataStreamButton_, sendButton_, createAndSendButton_, transferAndSendButton_})
    streamRow->addWidget(b);
  sendLayout->addWidget(Captioned("Send Message: Data Stream", memos_[5], streamButtons), 1);
  auto* sendTime = new QHBoxLayout;
  sendTime->addWidget(new QLabel("Send time"));
  sendTime->addWidget(edits_[5]);
  sendLayout->addLayout(sendTime);
  auto* inputs = new QHBoxLayout;
  inputs->addWidget(RadioGroup2);
  inputs->addWidget(RadioGroup1);
  auto* numbers = new QVBoxLayout;
  numbers->addWidget(edits_[0]);
  numbers->addWidget(edits_[2]);
  numbers->addStretch(1);
  inputs->addLayout(numbers);
  sendLayout->addLayout(inputs);

  auto* received = new QWidget;
  auto* receivedLayout = new QVBoxLayout(received);
  receivedLayout->setContentsMargins(0, 0, 0, 0);
  receivedLayout->addWidget(Captioned("Received Message: Reference Structure", XMLMessageTree2), 2);
  receivedLayout->addWidget(Captioned("Received Message: Message Content", memos_[2]), 2);
  receivedLayout->addWidget(Captioned("Received Message: Header and Security Items", memos_[3]), 1);
  receivedLayout->addWidget(Captioned("Received Message: XML Document", memos_[1], edits_[4]), 1);
  // The receive road's steps, beside the received stream.
  auto* receiveButtons = new QWidget;
  auto* receiveButtonsLayout = new QHBoxLayout(receiveButtons);
  receiveButtonsLayout->setContentsMargins(0, 0, 0, 0);
  for (size_t i = 0; i < receiveButtons_.size(); ++i) {
    receiveButtons_[i] = new QToolButton;
    receiveButtonsLayout->addWidget(receiveButtons_[i]);
  }
  receivedLayout->addWidget(Captioned("Received Message: Data Stream", memos_[4], receiveButtons),
                            1);
  auto* receiveTime = new QHBoxLayout;
  receiveTime->addWidget(new QLabel("Receive time"));
  receiveTime->addWidget(edits_[6]);
  receiveTime->addWidget(edits_[7]);
  receivedLayout->addLayout(receiveTime);

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(send);
  splitter->addWidget(received);
  setCentralWidget(splitter);

  statusBar()->setObjectName("StatusBar1");
  statusBar()->setSizeGripEnabled(false);
  for (int i = 0; i < TCEXMainWindow::CEXcStatusPanels; ++i) {
    panels_[i] = new QLabel;
    panels_[i]->setObjectName(QString("Panel%1").arg(i));
    statusBar()->addPermanentWidget(panels_[i]);
  }
}

void TForm1::BuildMenus() {
  for (int i = 0; i < static_cast<int>(TCEXMenu::Count); ++i) {
    const TCEXMenuInfo& info = TCEXMainWindow::CEXMenuInfo(static_cast<TCEXMenu>(i));
    menus_[i] = menuBar()->addMenu(info.caption);
    menus_[i]->setObjectName(info.name);
  }
  for (int i = 0; i < static_cast<int>(TCEXAction::Count); ++i) {
    const auto id = static_cast<TCEXAction>(i);
    const TCEXActionInfo& info = TCEXMainWindow::CEXActionInfo(id);
    auto* action = new QAction(info.caption, this);
    action->setObjectName(info.name);
    if (*info.hint != '\0') action->setToolTip(info.hint);
    connect(action, &QAction::triggered, this, [this, id] {
      core_->CEXSetSourceTreeFocused(XMLMessageTree1->hasFocus() || treePopupOpen_);
      core_->CEXExecute(id);
    });
    actions_[i] = action;
  }
  // The menus' actions in order; Count stands for a separator. Recent
  // message files go before the File menu's last separator, recent
  // configuration and sequence files at the end of theirs; the windows the
  // form makes add their entries behind these.
  constexpr TCEXAction kSeparator = TCEXAction::Count;
  using A = TCEXAction;
  // clang-format off
  const std::pair<TCEXMenu, std::vector<TCEXAction>> kLayout[] = {
      {TCEXMenu::File, {A::LoadMessage, A::SaveMessage, A::SaveMessageAs, A::LoadReadStructure,
                        A::LoadXMLDoc, A::LoadMessageWindow, kSeparator,
                        A::Print, A::PrintSetup, A::PrintToFile, kSeparator,
                        A::Logout, A::Exit}},
      {TCEXMenu::Edit, {A::EditWindow, kSeparator,
                        A::CutItem, A::CopyItem, A::InsertItem, A::InsertAsChild, kSeparator,
                        A::DeleteItem, kSeparator,
                        A::SecurityItems, kSeparator,
                        A::TransferInputValues, A::ImportXMLValues, kSeparator,
                        A::ClearReceived, A::ClearAll, A::ClearRef}},
      {TCEXMenu::View, {A::Normal, A::ZoomSourceWindow, A::ZoomReceivedMessage}},
      {TCEXMenu::Parameters, {A::LoadConfiguration, A::SaveConfFile, A::SaveConfiguration,
                              kSeparator,
                              A::Keys, A::Communication, A::Component, A::Timeouts, A::PlugIns,
                              A::DirectoryAliases}},
      {TCEXMenu::Tools, {A::Base64, A::HextoString, A::HextoInt, A::FormatXMLDocument,
                         A::KeyFormatting, A::TrippleDES, A::HashAndMAC, A::SessionKeyCrypt,
                         A::TLVTools}},
      {TCEXMenu::Help, {A::Content, A::Index, kSeparator}},
  };
  // The tool bar, with the actions' hints.
  const TCEXAction kToolBar[] = {
      A::LoadMessage, A::SaveMessage, A::LoadReadStructure, A::LoadXMLDoc, A::Print, A::Find,
      A::FindNext, A::GotoParent, A::CutItem, A::CopyItem, A::InsertItem, A::InsertAsChild,
      A::TransferInputValues, A::DeleteItem, A::ClearReceived, A::ClearAll, A::ClearRef,
      A::HangUp, A::ImportXMLValues, A::LoadConfiguration, A::SaveConfFile};
  // clang-format on
  for (const auto& [menu, entries] : kLayout) {
    QMenu* target = menus_[static_cast<size_t>(menu)];
    for (TCEXAction a : entries) {
      if (a != kSeparator) {
        target->addAction(CEXActionObject(a));
        continue;
      }
      QAction* separator = target->addSeparator();
      if (menu == TCEXMenu::File) fileMenuTail_ = separator;
    }
  }
  CEXActionObject(A::Find)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  CEXActionObject(A::FindNext)->setShortcut(QKeySequence(Qt::Key_F3));
  CEXActionObject(A::Content)->setShortcut(Qt::Key_F1);
  auto* zoom = new QActionGroup(this);
  for (TCEXAction a : {A::Normal, A::ZoomSourceWindow, A::ZoomReceivedMessage}) {
    CEXActionObject(a)->setCheckable(true);
    zoom->addAction(CEXActionObject(a));
  }
  CEXActionObject(A::Normal)->setChecked(true);

  createXMLDocButton_->setDefaultAction(CEXActionObject(TCEXAction::CreateXMLDoc));

  QToolBar* tools = addToolBar("ToolBar1");
  tools->setObjectName("ToolBar1");
  for (TCEXAction a : kToolBar) tools->addAction(CEXActionObject(a));
  // ToolButton8Click: the help contents.
  auto* helpButton = new QToolButton;
  helpButton->setObjectName("ToolButton8");
  helpButton->setText("?");
  helpButton->setToolTip("help contents");
  connect(helpButton, &QToolButton::clicked, this,
          [this] { core_->CEXExecute(TCEXAction::Content); });
  tools->addWidget(helpButton)->setToolTip(helpButton->toolTip());
  sendButton_->setDefaultAction(CEXActionObject(TCEXAction::SendDataStream));
  createDataStreamButton_->setDefaultAction(CEXActionObject(TCEXAction::CreateDataStream));
  createAndSendButton_->setDefaultAction(CEXActionObject(TCEXAction::CreateAndSend));
  transferAndSendButton_->setDefaultAction(CEXActionObject(TCEXAction::TransferAndSend));
  constexpr TCEXAction kReceiveActions[] = {TCEXAction::ParseMessage, TCEXAction::AnalyseMessage,
                                            TCEXAction::DecryptSecurity,
                                            TCEXAction::ParseAndAnalyse};
  for (size_t i = 0; i < receiveButtons_.size(); ++i) {
    receiveButtons_[i]->setDefaultAction(CEXActionObject(kReceiveActions[i]));
    receiveButtons_[i]->setObjectName(
        QString("Button") + QString(TCEXMainWindow::CEXActionInfo(kReceiveActions[i]).name).mid(7));
  }
}

void TForm1::BuildPopupMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  for (TCEXAction a : {TCEXAction::GotoParent, TCEXAction::Find, TCEXAction::FindNext})
    PopupMenu1->addAction(CEXActionObject(a));
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(CEXActionObject(TCEXAction::EditWindow));
  XMLMessageTree1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(XMLMessageTree1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    treePopupOpen_ = true;
    PopupMenu1->popup(XMLMessageTree1->viewport()->mapToGlobal(at));
  });
  // The command of an entry runs before the menu's hiding is through.
  connect(PopupMenu1, &QMenu::aboutToHide, this,
          [this] { QTimer::singleShot(0, this, [this] { treePopupOpen_ = false; }); });

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  const auto entry = [this](const char* name, const char* caption, auto command) {
    QAction* action = PopupMenu2->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, command] {
      if (CEXaPopupMemo != nullptr) command(*CEXaPopupMemo);
    });
  };
  // A memo that cannot be edited keeps its text: the received views and a
  // memo that shows only part of its text.
  entry("Cut2", "Cut", [](QPlainTextEdit& memo) { memo.cut(); });
  entry("Copy2", "Copy", [](QPlainTextEdit& memo) { memo.copy(); });
  entry("Paste2", "Paste", [](QPlainTextEdit& memo) { memo.paste(); });
  entry("Delete2", "Delete", [](QPlainTextEdit& memo) {
    if (!memo.isReadOnly()) memo.textCursor().removeSelectedText();
  });
  PopupMenu2->addSeparator();
  entry("Markall1", "Select all", [](QPlainTextEdit& memo) { memo.selectAll(); });
  PopupMenu2->addSeparator();
  const auto memoOf = [this](const QPlainTextEdit& memo) {
    const auto at = std::find(memos_.begin(), memos_.end(), &memo);
    return static_cast<TCEXMemo>(at - memos_.begin() + 1);
  };
  entry("Find2", "Find...", [this, memoOf](QPlainTextEdit& memo) {
    // The search runs from the start of the text.
    memo.moveCursor(QTextCursor::Start);
    core_->CEXSearches().Find2Click(memoOf(memo));
  });
  entry("FindNext2", "Find Next", [this, memoOf](QPlainTextEdit& memo) {
    core_->CEXSearches().FindNext2Click(memoOf(memo));
  });
  for (QPlainTextEdit* memo : memos_) {
    memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memo, &QWidget::customContextMenuRequested, this, [this, memo](const QPoint& at) {
      CEXaPopupMemo = memo;
      PopupMenu2->popup(memo->viewport()->mapToGlobal(at));
    });
  }
}

void TForm1::ShowZoom() {
  const TCEXZoom zoom = core_->CEXViewState().CEXZoom();
  // The source tree grows down to the data-stream memo, Memo3 down to the
  // received stream; "Normal" shows every pane at its height from creation.
  memos_[0]->parentWidget()->setVisible(zoom != TCEXZoom::SourceWindow);
  for (QPlainTextEdit* memo : {memos_[3], memos_[1]})
    memo->parentWidget()->setVisible(zoom != TCEXZoom::ReceivedMessage);
  const TCEXAction marked = zoom == TCEXZoom::Normal         ? TCEXAction::Normal
                            : zoom == TCEXZoom::SourceWindow ? TCEXAction::ZoomSourceWindow
                                                             : TCEXAction::ZoomReceivedMessage;
  CEXActionObject(marked)->setChecked(true);
}

void TForm1::CEXSetPrinterChooser(std::function<bool(QPrinter&)> chooser) {
  commands_->CEXSetPrinterChooser(std::move(chooser));
}

void TForm1::LayoutStatusPanels() {
  // The status bar spans the window; before the first show it has not been
  // laid out yet.
  const int panelWidth = (width() - 20) / TCEXMainWindow::CEXcStatusPanels;
  for (QLabel* panel : panels_) panel->setFixedWidth(std::max(panelWidth, 1));
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  LayoutStatusPanels();
}

// -------------------------------------------------------------------- view

void TForm1::CEXChanged(uint32_t parts) {
  if (!core_) return;
  updating_ = true;
  const TCEXMainWindow& core = *core_;
  if (parts & CEXpCaption) setWindowTitle(Q(core.CEXCaption()));
  if (parts & CEXpStatusBar) {
    for (int i = 0; i < TCEXMainWindow::CEXcStatusPanels; ++i)
      panels_[i]->setText(Q(core.CEXStatusText(i)));
  }
  if (parts & CEXpMemos) {
    for (int i = 0; i < 6; ++i) {
      const std::string& text = core.CEXGetMemo(static_cast<TCEXMemo>(i + 1));
      if (shownMemos_[i] == text) continue;
      shownMemos_[i] = text;
      // A memo that shows only part of its text cannot be edited; the
      // received-message memos never can.
      const bool editable = i == 0 || i == 5;
      memos_[i]->setReadOnly(!editable || text.size() > kMemoDisplayLimit);
      if (memos_[i]->isReadOnly()) memos_[i]->setTextInteractionFlags(kReadOnlyMemo);
      memos_[i]->setPlainText(MemoDisplayText(text));
    }
  }
  if (parts & CEXpEdits) {
    for (int n : {1, 2, 3, 5, 6, 7, 8}) {
      const QString text = Q(core.CEXGetEdit(static_cast<TCEXEdit>(n)));
      if (edits_[n - 1]->text() != text) edits_[n - 1]->setText(text);
    }
  }
  if (parts & CEXpRadioGroups) {
    RadioGroup1->setVisible(core.CEXSecurityHeaderVisible());
    if (QAbstractButton* b = securityHeader_->button(core.CEXGetSecurityHeader()))
      b->setChecked(true);
    if (QAbstractButton* b = addMsgNum_->button(core.CEXGetAddMsgNum())) b->setChecked(true);
  }
  if (parts & CEXpSourceTree) {
    // Rebuilding clears the selection; the core's selected line comes back.
    const int line = core_->CEXSelectedSourceLine();
    ShowTree(XMLMessageTree1, core_->CEXSourceTree());
    int index = 0;
    for (QTreeWidgetItemIterator it(XMLMessageTree1); *it != nullptr; ++it, ++index) {
      if (index == line) {
        XMLMessageTree1->setCurrentItem(*it);
        break;
      }
    }
  }
  if (parts & CEXpReferenceTree) ShowTree(XMLMessageTree2, core_->CEXReferenceTree());
  if (parts & (CEXpActions | CEXpParseMessage)) {
    for (int i = 0; i < static_cast<int>(TCEXAction::Count); ++i)
      actions_[i]->setEnabled(core.CEXActionEnabled(static_cast<TCEXAction>(i)));
    for (int i = 0; i < static_cast<int>(TCEXMenu::Count); ++i)
      menus_[i]->menuAction()->setEnabled(core.CEXMenuEnabled(static_cast<TCEXMenu>(i)));
  }
  if (parts & CEXpRecentFiles) ShowRecentFiles();
  if (parts & CEXpGeometry) ApplyGeometry();
  if (parts & CEXpZoom) ShowZoom();
  updating_ = false;
}

void TForm1::ShowRecentFiles() {
  for (QAction* action : recentActions_) {
    for (QMenu* menu : menus_) menu->removeAction(action);
    action->deleteLater();
  }
  recentActions_.clear();
  for (const TCEXRecentEntry& entry : core_->CEXRecentEntries()) {
    auto* action = new QAction(Q(entry.caption), this);
    action->setSeparator(entry.separator);
    if (!entry.separator)
      connect(action, &QAction::triggered, this,
              [this, entry] { core_->CEXOpenRecentFile(entry); });
    QMenu* menu = menus_[static_cast<size_t>(entry.menu)];
    if (entry.menu == TCEXMenu::File)
      menu->insertAction(fileMenuTail_, action);
    else
      menu->addAction(action);
    recentActions_.push_back(action);
  }
}

void TForm1::ShowTree(TXMLMessageTreeView* widget, TXMLMessageTree& tree) {
  // Only the source tree's nodes are moved by dragging.
  widget->XMLShowTree(&tree, widget == XMLMessageTree1);
}

void TForm1::ApplyGeometry() {
  const TCEXGeometry& g = core_->CEXGeometry();
  if (g.maximised) {
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  setWindowState(windowState() & ~Qt::WindowMaximized);
  if (g.width > 0 && g.height > 0) setGeometry(g.left, g.top, g.width, g.height);
}

bool TForm1::CEXStatusTextFits(int panel, const std::string& text) {
  const QLabel* label = panels_.at(panel);
  const int room = label->contentsRect().width();
  return label->fontMetrics().horizontalAdvance(Q(text)) <= room;
}

TCEXGeometry TForm1::CEXGetGeometry() {
  const QRect r = isMaximized() ? normalGeometry() : geometry();
  return {isMaximized(), r.top(), r.left(), r.width(), r.height()};
}

void TForm1::CEXCloseMainWindow() {
  // Queued: the road that asks is still running.
  QTimer::singleShot(0, this, &QWidget::close);
}

void TForm1::ERRSetError(int code, const std::string& detail) {
  if (errorWindow_ != nullptr)
    errorWindow_->ERRSetError(code, detail);
  else
    core_->CEXShowMessage(std::to_string(code) + " " + detail);
}

void TForm1::ERRSetErrorMessage(int code, const std::string& text) {
  if (errorWindow_ != nullptr)
    errorWindow_->ERRSetErrorMessage(code, text);
  else
    core_->CEXShowMessage(std::to_string(code) + " " + text);
}

void TForm1::CEXSetBusyCursor() {
  if (busyCursor_) return;
  busyCursor_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TForm1::CEXSetDefaultCursor() {
  if (!busyCursor_) return;
  busyCursor_ = false;
  QApplication::restoreOverrideCursor();
}

namespace {

int32_t SettingsHelpContext(TCEXWindow window) {
  switch (window) {
    case TCEXWindow::Communication:
      return HPTcHelpCommunication;
    case TCEXWindow::MessageHeader:
      return HPTcHelpMessageHeader;
    case TCEXWindow::Timeouts:
      return HPTcHelpTimeouts;
    case TCEXWindow::PlugIns:
      return HPTcHelpPlugIns;
    default:
      return HPTcHelpDirectoryAliases;
  }
}

}  // namespace

TCEXModalResult TForm1::CEXOpenWindow(TCEXWindow window, bool modal) {
  // The windows the form makes with itself: the load file window and the
  // security-item window show without waiting, the keys dialog is modal.
  if (window == TCEXWindow::LoadFile || window == TCEXWindow::SecurityItems) {
    QWidget* own = window == TCEXWindow::LoadFile ? static_cast<QWidget*>(form4_.get())
                                                  : static_cast<QWidget*>(form6_.get());
    own->show();
    own->raise();
    own->activateWindow();
    if (window == TCEXWindow::LoadFile) form4_->LFDActivate();
    return TCEXModalResult::None;
  }
  if (window == TCEXWindow::Keys)
    return form5_->exec() == QDialog::Accepted ? TCEXModalResult::OK : TCEXModalResult::Cancel;
  const auto slot = static_cast<size_t>(window);
  if (window == TCEXWindow::EditWindow || slot >= settings_.size()) return TCEXModalResult::None;
  std::unique_ptr<QDialog>& dialog = settings_[slot];
  if (!dialog) {
    TTDBDebug* trace = &core_->CEXTrace();
    TCFGConfig& config = core_->CEXConfiguration();
    switch (window) {
      case TCEXWindow::Communication:
        dialog = std::make_unique<TForm9>(TForm9::TLink{.comm = core_->CEXCommParams(),
                                                        .config = config,
                                                        .dialUp = dialUp_,
                                                        .client = &core_->CEXClientSocket(),
                                                        .server = &core_->CEXServer()},
                                          trace, this);
        break;
      case TCEXWindow::MessageHeader:
        dialog = std::make_unique<TForm7>(config, trace, this);
        break;
      case TCEXWindow::Timeouts:
        dialog = std::make_unique<TForm13>(config, trace, this);
        break;
      case TCEXWindow::PlugIns:
        dialog = std::make_unique<TForm_PLGPlugIns>(config, trace, this);
        break;
      case TCEXWindow::DirectoryAliases:
        dialog = std::make_unique<TFormAlias>(core_->CEXAliasList(), config, trace, this);
        break;
      default:
        return TCEXModalResult::None;
    }
    HPTAttachHelp(*dialog, SettingsHelpContext(window));
  }
  if (!modal) {
    dialog->show();
    return TCEXModalResult::None;
  }
  return dialog->exec() == QDialog::Accepted ? TCEXModalResult::OK : TCEXModalResult::Cancel;
}

// ------------------------------------------------------------------ events

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (core_ && (watched == memos_[1] || watched == memos_[1]->viewport())) {
    const QEvent::Type type = event->type();
    // The press before the release has placed the caret.
    if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease) ReportMemo2CaretLine();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::ReportMemo2CaretLine() {
  if (!core_) return;
  int line = memos_[1]->textCursor().blockNumber();
  // Behind a cut text the memo's last line is its own note, not the text's.
  if (core_->CEXGetMemo(TCEXMemo::Memo2).size() > kMemoDisplayLimit &&
      line == memos_[1]->document()->blockCount() - 1)
    line = std::max(line - 1, 0);
  core_->CEXSetMemo2CaretLine(line);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  core_->FormShow(args_);
  // The first activation follows the first show, whether or not a window
  // manager hands the window the focus.
  QTimer::singleShot(0, this, [this] { core_->FormActivate(); });
}

bool TForm1::CEXTerminate() {
  terminating_ = true;
  return close();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!core_->FormCloseQuery(!terminating_)) {
    event->ignore();
    return;
  }
  core_->FormClose();
  event->accept();
  emit mainWindowClosed();
}

}  // namespace kal
