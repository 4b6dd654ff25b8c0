#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ErrorWindow.h"
#include "workbench/MainWindow.h"

class QAction;
class QDialog;
class QButtonGroup;
class QPrinter;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QTreeWidget;

namespace kal {

class TCEXFormCommands;
class TCEXQtDialogs;
class TCFGEditDialog;
class TForm10;
class TFormAlias;
class TCEXSequenceWindowForwarder;
class TForm4;
class TForm5;
class TForm6;
class TForm12;
class TForm14;
class TForm18;
class TForm20;
class TForm19;
class TCEXQtTimerFactory;
class TPLTQtEventPoster;
class TRFLRecordingItemsList;
class TXMLMessageTreeView;

// The main window. It shows the state of its core (TCEXMainWindow) and hands
// the user's actions and the window's events to it.
class TForm1 final : public QMainWindow,
                     public ICEXView,
                     public IERRErrorWindow,
                     public ICEXCursor,
                     public ICEXWindows {
  Q_OBJECT

 public:
  // What the form is built with. Null ports take the implementation in use
  // until their part exists (or the Qt one for the dialogs); a null login
  // takes the login of "users.ini" in the program folder.
  struct TParts {
    std::string programDir;
    std::vector<std::string> args;  // program arguments without the program name
    ICEXDialogs* dialogs = nullptr;
    IPLTDialUpService* dialUp = nullptr;
    ICEXMessageFiles* messageFiles = nullptr;
    ICEXCounterLists* counters = nullptr;
    ICEXLogin* login = nullptr;
    ICEXSequenceWindow* sequenceWindow = nullptr;
    // The EMV recording list; null: the form's own over "submission.ini",
    // linked to the core.
    ICEXRecordingList* recording = nullptr;
    // The windows the core's commands open; null: the form's own.
    ICEXWindows* windows = nullptr;
    // The windows' help controls; null: Brontel's through the component layer.
    IHPTHelpControlFactory* helpControls = nullptr;
  };

  explicit TForm1(TParts parts, QWidget* parent = nullptr);
  // Stops the link and the receive threads before the window goes.
  ~TForm1() override;

  TCEXMainWindow& CEXCore() { return *core_; }
  ICEXMainServices& CEXServices() { return *core_; }
  // The error window that errors go to (not owned).
  void CEXSetErrorWindow(IERRErrorWindow* window) { errorWindow_ = window; }
  QAction* CEXActionObject(TCEXAction action) const {
    return actions_[static_cast<size_t>(action)];
  }
  // Replaces the print dialog (tests print to a PDF file); false: cancelled.
  void CEXSetPrinterChooser(std::function<bool(QPrinter&)> chooser);

  // ICEXView
  void CEXChanged(uint32_t parts) override;
  bool CEXStatusTextFits(int panel, const std::string& text) override;
  TCEXGeometry CEXGetGeometry() override;
  void CEXCloseMainWindow() override;

  // Closes the window with the usual close steps but without questions (the
  // program is terminated); true when it closed.
  bool CEXTerminate();

  // IERRErrorWindow: forwards to the error window.
  void ERRSetError(int code, const std::string& detail) override;
  void ERRSetErrorMessage(int code, const std::string& text) override;

  // ICEXCursor: the hour-glass as the application's override cursor.
  void CEXSetBusyCursor() override;
  void CEXSetDefaultCursor() override;

  // ICEXWindows: the settings dialogs (made when first opened).
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override;

 signals:
  // The window closed: the program ends, whatever else is open.
  void mainWindowClosed();

 protected:
  void showEvent(QShowEvent* event) override;
  // Clicks and key releases in Memo2 move Edit5's line.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The security items window, the keys dialog and the about box with its
  // menu entry.
  void AddWindowMenuEntries(ICEXDialogs& dialogs);
  // The load file window, also for "Select Messages..." of the sequence
  // window.
  void AddLoadFileWindow(ICEXMessageFiles& files);
  // The pop-up menus of the source tree and of the six memos.
  void BuildPopupMenus();
  // "Normal" and the zooms: the panes shown and the marked command.
  void ShowZoom();
  void BuildControls();
  void BuildMenus();
  void LayoutStatusPanels();
  void ShowRecentFiles();
  void ShowTree(TXMLMessageTreeView* widget, TXMLMessageTree& tree);
  void ApplyGeometry();
  void ReportMemo2CaretLine();

  std::vector<std::string> args_;
  std::unique_ptr<TCEXQtDialogs> qtDialogs_;
  std::unique_ptr<TCEXQtTimerFactory> timers_;
  TPLTQtEventPoster* poster_;
  TCEXSystemClock clock_;
  std::unique_ptr<ICEXMessageFiles> ownMessageFiles_;
  std::unique_ptr<ICEXCounterLists> ownCounters_;
  std::unique_ptr<TRFLRecordingItemsList> ownRecording_;
  // The user administration and login dialogs (top-level windows) when the
  // form runs the login of "users.ini"; they outlive the login using them.
  std::unique_ptr<TForm18> form18_;
  std::unique_ptr<TForm19> form19_;
  std::unique_ptr<ICEXLogin> ownLogin_;
  // The sequence window (when the form makes its own) and the alarming
  // dialog; both use the core and go before it.
  std::unique_ptr<TCEXSequenceWindowForwarder> ownSequence_;
  std::unique_ptr<TForm14> form14_;
  std::unique_ptr<TForm20> form20_;
  // The load file window (after the sequence window it fills), the security
  // items window, the keys dialog and the about box.
  std::unique_ptr<TForm4> form4_;
  std::unique_ptr<TForm5> form5_;
  std::unique_ptr<TForm6> form6_;
  std::unique_ptr<TForm12> form12_;
  IERRErrorWindow* errorWindow_ = nullptr;
  IPLTDialUpService* dialUp_ = nullptr;
  // The printer and search side of the core; it outlives the core.
  std::unique_ptr<TCEXFormCommands> commands_;
  std::unique_ptr<TCEXMainWindow> core_;
  // The settings dialogs by window, made when first opened; the modem
  // status window follows the link's status model. Declared after the core
  // whose objects they show, so they go first.
  std::array<std::unique_ptr<QDialog>, 6> settings_{};
  std::unique_ptr<TForm10> form10_;

  TXMLMessageTreeView* XMLMessageTree1;
  TXMLMessageTreeView* XMLMessageTree2;
  std::array<QPlainTextEdit*, 6> memos_{};
  std::array<std::string, 6> shownMemos_;  // what each memo shows, to skip unchanged ones
  std::array<QLineEdit*, 8> edits_{};      // Edit1 .. Edit8; Edit4 does not exist
  QGroupBox* RadioGroup1;
  QGroupBox* RadioGroup2;
  QButtonGroup* securityHeader_;
  QButtonGroup* addMsgNum_;
  std::array<QLabel*, TCEXMainWindow::CEXcStatusPanels> panels_{};
  std::array<QAction*, static_cast<size_t>(TCEXAction::Count)> actions_{};
  std::array<QMenu*, static_cast<size_t>(TCEXMenu::Count)> menus_{};
  QAction* fileMenuTail_ = nullptr;                // recent message files go before it
  QToolButton* sendButton_ = nullptr;              // "Send Data Stream"
  QToolButton* createDataStreamButton_ = nullptr;  // "Create Data Stream"
  QToolButton* createAndSendButton_ = nullptr;     // "Create + Send"
  QToolButton* transferAndSendButton_ = nullptr;   // "Transfer+Send"
  QToolButton* createXMLDocButton_ = nullptr;      // "Create XML Doc" over Memo1
  // "Parse Message", "Analyse Message", "Decrypt Security", "Parse + Analyse"
  std::array<QToolButton*, 4> receiveButtons_{};
  std::vector<QAction*> recentActions_;
  QMenu* PopupMenu1 = nullptr;  // the source tree's
  QMenu* PopupMenu2 = nullptr;  // the memos'
  // The memo the memo pop-up was opened on; its commands act on it.
  QPlainTextEdit* CEXaPopupMemo = nullptr;
  // The source tree's pop-up is open: its commands act on the tree.
  bool treePopupOpen_ = false;
  bool shown_ = false;
  bool terminating_ = false;  // CEXTerminate: close without questions
  bool updating_ = false;
  bool busyCursor_ = false;  // the hour-glass is on the override stack
};

}  // namespace kal
