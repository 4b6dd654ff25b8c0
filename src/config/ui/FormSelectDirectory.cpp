#include "config/ui/FormSelectDirectory.h"

#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "config/DialogFields.h"
#include "support/TraceLogger.h"

namespace kal {

TForm21::TForm21(const TCFGConfig& config, TTDBDebug* trace, QWidget* parent)
    : QDialog(parent), config_(config) {
  setObjectName("TForm21");
  if (trace != nullptr) trace->TDBSimpleAddString("TForm21");
  setWindowTitle("Select Directory");
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath("/");
  tree_ = new QTreeView(this);
  tree_->setObjectName("DirectoryListBox1");
  tree_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->header()->hide();
  tree_->setRootIndex(model_->index("/"));
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) directory_ = model_->filePath(current).toStdString();
          });
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_, 1);
  layout->addLayout(buttons);
  resize(400, 450);
  setMinimumSize(layout->minimumSize());
}

bool TForm21::SDSChooseDirectory(std::string& chosen) {
  if (exec() != QDialog::Accepted) return false;
  chosen = directory_;
  return true;
}

void TForm21::SDSSetDirectory(const std::string& directory) {
  const QModelIndex index = model_->index(QString::fromStdString(directory));
  directory_ = directory;
  if (!index.isValid()) return;
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
  directory_ = directory;
}

void TForm21::showEvent(QShowEvent* event) {
  std::string start = CFGDirectoryChooserStart(config_);
  while (start.size() > 1 && start.back() == '/') start.pop_back();
  SDSSetDirectory(start);
  QDialog::showEvent(event);
}

}  // namespace kal
