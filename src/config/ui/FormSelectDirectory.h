#pragma once

#include <QDialog>
#include <string>

class QFileSystemModel;
class QTreeView;

namespace kal {

class TCFGConfig;
class TTDBDebug;

// "Select Directory": a directory tree of the whole file system with "Ok"
// and "Cancel". It starts in the configured Record directory when that is
// set and exists, else in the program folder; it keeps its own position
// while browsing and writes no setting. Callers take SDSDirectory() after
// "Ok".
class TForm21 final : public QDialog {
  Q_OBJECT

 public:
  TForm21(const TCFGConfig& config, TTDBDebug* trace, QWidget* parent = nullptr);

  // Shows the dialog modally; true with the chosen directory on "Ok".
  bool SDSChooseDirectory(std::string& chosen);

  const std::string& SDSDirectory() const { return directory_; }
  // Moves the tree to an existing directory (what a click does).
  void SDSSetDirectory(const std::string& directory);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const TCFGConfig& config_;
  QFileSystemModel* model_;
  QTreeView* tree_;
  std::string directory_;
};

}  // namespace kal
