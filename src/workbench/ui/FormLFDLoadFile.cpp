#include "workbench/ui/FormLFDLoadFile.h"

#include <QComboBox>
#include <QEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kal {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

TForm4::TForm4(TCEXMainWindow& main, ICEXMessageFiles& files, const ICEXSequenceWindow* sequence,
               TSEQSequenceEditor* editor, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(main, files, sequence, editor) {
  setObjectName("TForm4");
  setWindowTitle("Load File Window");

  dirModel_ = new QFileSystemModel(this);
  dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  dirModel_->setRootPath("/");
  DirectoryListBox1_ = new QTreeView;
  DirectoryListBox1_->setObjectName("DirectoryListBox1");
  DirectoryListBox1_->setModel(dirModel_);
  for (int c = 1; c < dirModel_->columnCount(); ++c) DirectoryListBox1_->hideColumn(c);
  DirectoryListBox1_->header()->hide();

  fileModel_ = new QFileSystemModel(this);
  fileModel_->setFilter(QDir::Files);
  fileModel_->setNameFilterDisables(false);
  FileListBox1_ = new QListView;
  FileListBox1_->setObjectName("FileListBox1");
  FileListBox1_->setModel(fileModel_);

  FilterComboBox1_ = new QComboBox;
  FilterComboBox1_->setObjectName("FilterComboBox1");

  const auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    return b;
  };
  Button1_ = button("Button1", "Load message");
  Button2_ = button("Button2", "Load reference structure");
  Button4_ = button("Button4", "Move to Next Cell");
  Button4_->hide();
  QPushButton* close = button("Button3", "Close");

  auto* lists = new QHBoxLayout;
  lists->addWidget(DirectoryListBox1_);
  lists->addWidget(FileListBox1_);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Button1_, Button2_, Button4_, close}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(FilterComboBox1_);
  layout->addLayout(buttons);
  resize(560, 420);

  // A click, double click or keyboard move in the directory tree opens the
  // directory and stores it.
  const auto open = [this](const QModelIndex& index) {
    if (updating_ || !index.isValid()) return;
    core_.LFDSetDirectory(dirModel_->filePath(index).toStdString());
    LFDActivate();
  };
  connect(DirectoryListBox1_, &QTreeView::clicked, this, open);
  connect(DirectoryListBox1_, &QTreeView::activated, this, open);
  connect(FilterComboBox1_, &QComboBox::currentIndexChanged, this, [this] {
    if (!updating_) LFDActivate();
  });
  connect(Button1_, &QPushButton::clicked, this, [this] { core_.LFDButton1(LFDSelectedFile()); });
  connect(Button2_, &QPushButton::clicked, this, [this] { core_.LFDButton2(LFDSelectedFile()); });
  connect(Button4_, &QPushButton::clicked, this, [this] { core_.LFDMoveToNextCell(); });
  connect(close, &QPushButton::clicked, this, &QWidget::hide);
  connect(FileListBox1_, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
    core_.LFDFileDoubleClicked(fileModel_->filePath(index).toStdString());
  });
}

TForm4::~TForm4() = default;

std::string TForm4::LFDSelectedFile() const {
  const QModelIndex index = FileListBox1_->currentIndex();
  if (!index.isValid() || !FileListBox1_->selectionModel()->isSelected(index)) return {};
  return fileModel_->filePath(index).toStdString();
}

void TForm4::LFDActivate() {
  core_.LFDActivate();
  updating_ = true;
  Button1_->setText(core_.LFDButton1Caption());
  Button2_->setText(core_.LFDButton2Caption());
  Button4_->setVisible(core_.LFDSequenceMode());
  if (filterText_ != core_.LFDFilterText()) {
    // The first entry again, as when the filter list is filled anew.
    filterText_ = core_.LFDFilterText();
    FilterComboBox1_->clear();
    for (const TLFDFilter& filter : LFDParseFilter(filterText_)) {
      QStringList patterns;
      for (const std::string& p : filter.patterns) patterns << Q(p);
      FilterComboBox1_->addItem(Q(filter.description), patterns);
    }
  }
  ApplyFilter();
  std::string dir = core_.LFDDirectory();
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const QModelIndex dirIndex = dirModel_->index(Q(dir));
  DirectoryListBox1_->setCurrentIndex(dirIndex);
  DirectoryListBox1_->scrollTo(dirIndex);
  DirectoryListBox1_->expand(dirIndex);
  if (fileModel_->rootPath() != Q(dir))
    FileListBox1_->setRootIndex(fileModel_->setRootPath(Q(dir)));
  const bool admin = core_.LFDDirectoriesEnabled();
  DirectoryListBox1_->setEnabled(admin);
  updating_ = false;
}

void TForm4::ApplyFilter() {
  fileModel_->setNameFilters(FilterComboBox1_->currentData().toStringList());
}

void TForm4::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  LFDActivate();
}

void TForm4::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) LFDActivate();
}

}  // namespace kal
