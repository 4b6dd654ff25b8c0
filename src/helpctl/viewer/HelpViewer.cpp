#include "helpctl/viewer/HelpViewer.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "helpctl/viewer/HelpFolder.h"

namespace kal {

namespace {

constexpr int kDefaultMargin = 8;

std::vector<QPointer<QWidget>>& Tracked() {
  static std::vector<QPointer<QWidget>> windows;
  return windows;
}

void DeleteTracked() {
  auto windows = std::move(Tracked());
  Tracked().clear();
  for (QPointer<QWidget>& w : windows) delete w.data();
}

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class THLVViewer final : public QWidget {
 public:
  THLVViewer() {
    setObjectName("HelpViewer");
    setWindowTitle("Help");
    tabs_ = new QTabWidget;
    tabs_->setObjectName("HelpTabs");
    contents_ = new QTreeWidget;
    contents_->setObjectName("HelpContents");
    contents_->setHeaderHidden(true);
    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    filter_ = new QLineEdit;
    filter_->setObjectName("HelpIndexFilter");
    index_ = new QListWidget;
    index_->setObjectName("HelpIndex");
    indexLayout->addWidget(filter_);
    indexLayout->addWidget(index_, 1);
    tabs_->addTab(contents_, "Contents");
    tabs_->addTab(indexPage, "Index");

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    auto* buttons = new QHBoxLayout;
    back_ = new QToolButton;
    back_->setObjectName("HelpBack");
    back_->setText("Back");
    forward_ = new QToolButton;
    forward_->setObjectName("HelpForward");
    forward_->setText("Forward");
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch(1);
    browser_ = new QTextBrowser;
    browser_->setObjectName("HelpBrowser");
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(browser_, 1);

    auto* splitter = new QSplitter;
    splitter->addWidget(tabs_);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);
    resize(800, 600);

    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
    connect(filter_, &QLineEdit::textChanged, this, [this] { Filter(); });
    connect(contents_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OpenPage(item->data(0, Qt::UserRole).toString()); });
    connect(contents_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { OpenPage(item->data(0, Qt::UserRole).toString()); });
    connect(index_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { OpenPage(item->data(Qt::UserRole).toString()); });
    connect(index_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { OpenPage(item->data(Qt::UserRole).toString()); });
  }

  // Reads the folder when it is another one (or was not read yet).
  bool Open(const std::string& folder) {
    if (loaded_ && folder == folder_.HLVFolder()) return true;
    THLVHelpFolder next;
    if (!next.HLVLoad(folder)) return false;
    folder_ = std::move(next);
    loaded_ = true;
    Fill();
    return true;
  }

  void ShowPage(const std::string& page) {
    const std::string shown = page.empty() ? folder_.HLVFirstPage() : page;
    if (shown.empty()) {
      ShowLine(contents_, "This help has no pages.");
      return;
    }
    if (!QFileInfo::exists(Q(folder_.HLVPath(shown)))) {
      ShowLine(contents_, "The help page " + shown + " does not exist.");
      return;
    }
    OpenPage(Q(shown));
    Present();
  }

  void ShowContext(int32_t context) {
    if (const auto page = folder_.HLVPageOf(context)) {
      ShowPage(*page);
      return;
    }
    ShowLine(contents_, "No help topic for context number " + std::to_string(context) + ".");
  }

  void ShowTab(QWidget* tab) {
    tabs_->setCurrentWidget(tab == contents_ ? static_cast<QWidget*>(contents_)
                                             : index_->parentWidget());
    if (tab != contents_) filter_->setFocus();
    Present();
  }

  void Lookup(const std::string& keywords) {
    if (const auto entry = folder_.HLVLookup(keywords)) {
      filter_->setText(Q(entry->keyword));
      tabs_->setCurrentWidget(index_->parentWidget());
      ShowPage(entry->page);
      return;
    }
    const std::string first = keywords.substr(0, keywords.find(';'));
    filter_->setText(Q(first).trimmed());
    ShowTab(index_);
  }

  // The contents tab beside the page shown, the first page when none is.
  void ShowContents() {
    ShowTab(contents_);
    if (browser_->source().isEmpty()) ShowPage({});
  }

  QWidget* Index() { return index_; }

 private:
  void Fill() {
    contents_->clear();
    std::vector<QTreeWidgetItem*> parents;
    for (const THLVContentsEntry& entry : folder_.HLVContents()) {
      const size_t depth = std::min<size_t>(static_cast<size_t>(entry.depth), parents.size());
      parents.resize(depth);
      auto* item =
          depth == 0 ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
      item->setText(0, Q(entry.title));
      item->setData(0, Qt::UserRole, Q(entry.page));
      parents.push_back(item);
    }
    contents_->expandAll();
    index_->clear();
    for (const THLVIndexEntry& entry : folder_.HLVIndex()) {
      auto* item = new QListWidgetItem(Q(entry.keyword), index_);
      item->setData(Qt::UserRole, Q(entry.page));
    }
    Filter();
  }

  void Filter() {
    const QString text = filter_->text().trimmed();
    for (int i = 0; i < index_->count(); ++i) {
      QListWidgetItem* item = index_->item(i);
      item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
    }
  }

  void OpenPage(const QString& page) {
    if (page.isEmpty()) return;
    browser_->setSource(QUrl::fromLocalFile(Q(folder_.HLVPath(page.toStdString()))));
  }

  // A line in the browser instead of a page, beside the given tab.
  void ShowLine(QWidget* tab, const std::string& line) {
    browser_->setPlainText(Q(line));
    ShowTab(tab);
  }

  void Present() {
    show();
    raise();
    activateWindow();
  }

  THLVHelpFolder folder_;
  bool loaded_ = false;
  QTabWidget* tabs_;
  QTreeWidget* contents_;
  QLineEdit* filter_;
  QListWidget* index_;
  QToolButton* back_;
  QToolButton* forward_;
  QTextBrowser* browser_;
};

QPointer<THLVViewer>& ViewerSlot() {
  static QPointer<THLVViewer> viewer;
  return viewer;
}

// The one viewer of the process, made on first use, with the address's
// folder read; null without an application or a folder.
THLVViewer* Viewer(const std::string& address, std::string& page) {
  if (qApp == nullptr) return nullptr;
  const THLVAddress parsed = HLVParseAddress(address);
  QPointer<THLVViewer>& slot = ViewerSlot();
  if (slot.isNull()) {
    slot = new THLVViewer;
    HLVTrackWindow(slot.data());
  }
  if (!slot->Open(parsed.folder)) return nullptr;
  page = parsed.page;
  return slot.data();
}

// A COLORREF (0x00BBGGRR); 0xFFFFFFFF for the default.
bool ColourOf(uint32_t ref, QColor& colour) {
  if (ref == 0xFFFFFFFFu) return false;
  colour = QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
  return true;
}

// "family, point size, character set, BOLD ITALIC UNDERLINE" (parts may be
// left out or empty).
void ApplyFont(const char* description, QWidget& widget) {
  if (description == nullptr || *description == '\0') return;
  const QStringList parts = QString::fromUtf8(description).split(',');
  QFont font = widget.font();
  if (!parts.value(0).trimmed().isEmpty()) font.setFamily(parts.value(0).trimmed());
  bool ok = false;
  const int size = parts.value(1).trimmed().toInt(&ok);
  if (ok && size > 0) font.setPointSize(size);
  const QString styles = parts.value(3).toUpper();
  font.setBold(styles.contains("BOLD"));
  font.setItalic(styles.contains("ITALIC"));
  font.setUnderline(styles.contains("UNDERLINE"));
  widget.setFont(font);
}

int Margin(int32_t value) {
  return value < 0 ? kDefaultMargin : value;
}

// A text popup: closed by a click or a key.
class THLVTextPopup final : public QLabel {
 public:
  explicit THLVTextPopup(const QString& text) : QLabel(text, nullptr, Qt::Popup) {
    setObjectName("HelpTextPopup");
    setAttribute(Qt::WA_DeleteOnClose);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override { close(); }
  void keyPressEvent(QKeyEvent*) override { close(); }
};

}  // namespace

void HLVTrackWindow(QWidget* window) {
  static bool routine = false;
  if (!routine) {
    // Runs first thing in the application's destructor.
    qAddPostRoutine(DeleteTracked);
    routine = true;
  }
  auto& windows = Tracked();
  std::erase_if(windows, [](const QPointer<QWidget>& w) { return w.isNull(); });
  windows.emplace_back(window);
}

QWidget* HLVShowTopic(const std::string& address) {
  std::string page;
  THLVViewer* viewer = Viewer(address, page);
  if (viewer == nullptr) return nullptr;
  viewer->ShowPage(page);
  return viewer;
}

QWidget* HLVShowContext(const std::string& address, int32_t context) {
  std::string page;
  THLVViewer* viewer = Viewer(address, page);
  if (viewer == nullptr) return nullptr;
  viewer->ShowContext(context);
  return viewer;
}

QWidget* HLVShowContents(const std::string& address) {
  std::string page;
  THLVViewer* viewer = Viewer(address, page);
  if (viewer == nullptr) return nullptr;
  viewer->ShowContents();
  return viewer;
}

QWidget* HLVShowIndex(const std::string& address) {
  std::string page;
  THLVViewer* viewer = Viewer(address, page);
  if (viewer == nullptr) return nullptr;
  viewer->ShowTab(viewer->Index());
  return viewer;
}

QWidget* HLVLookup(const std::string& address, const std::string& keywords) {
  std::string page;
  THLVViewer* viewer = Viewer(address, page);
  if (viewer == nullptr) return nullptr;
  viewer->Lookup(keywords);
  return viewer;
}

QWidget* HLVShowTextPopup(const std::string& address, const HH_POPUP& popup) {
  if (qApp == nullptr) return nullptr;
  const THLVAddress parsed = HLVParseAddress(address);
  THLVHelpFolder folder;
  if (!folder.HLVLoad(parsed.folder) || parsed.page.empty()) return nullptr;
  const auto text = HLVPopupText(folder.HLVPath(parsed.page), static_cast<int32_t>(popup.idString));
  if (!text) return nullptr;
  auto* window = new THLVTextPopup(Q(*text));
  HLVTrackWindow(window);
  QPalette palette = window->palette();
  QColor colour;
  if (ColourOf(popup.clrForeground, colour)) palette.setColor(QPalette::WindowText, colour);
  if (ColourOf(popup.clrBackground, colour)) palette.setColor(QPalette::Window, colour);
  window->setPalette(palette);
  window->setContentsMargins(Margin(popup.rcMargins.left), Margin(popup.rcMargins.top),
                             Margin(popup.rcMargins.right), Margin(popup.rcMargins.bottom));
  ApplyFont(popup.pszFont, *window);
  window->adjustSize();
  window->move(popup.pt.x, popup.pt.y);
  window->show();
  return window;
}

}  // namespace kal
