#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "workbench/LoadFile.h"

class QComboBox;
class QFileSystemModel;
class QListView;
class QPushButton;
class QTreeView;

namespace kal {

// "Load File Window": a file browser beside the main window over
// TLFDLoadFile, with the directory tree (DirectoryListBox1), the file list
// (FileListBox1), the filter list (FilterComboBox1) and the buttons. Every
// activation (showing it, bringing it to the front, a change of directory
// or filter) decides the mode again. There are no drive letters: no drive
// list is shown.
class TForm4 final : public QWidget {
  Q_OBJECT

 public:
  // None is owned; see TLFDLoadFile.
  TForm4(TCEXMainWindow& main, ICEXMessageFiles& files, const ICEXSequenceWindow* sequence,
         TSEQSequenceEditor* editor, QWidget* parent = nullptr);
  ~TForm4() override;

  TLFDLoadFile& LFDCore() { return core_; }
  // The file selected in the file list (full path); empty: none.
  std::string LFDSelectedFile() const;
  // Runs the activation and shows the result.
  void LFDActivate();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ApplyFilter();

  TLFDLoadFile core_;
  QFileSystemModel* dirModel_;
  QFileSystemModel* fileModel_;
  QTreeView* DirectoryListBox1_;
  QListView* FileListBox1_;
  QComboBox* FilterComboBox1_;
  QPushButton* Button1_;
  QPushButton* Button2_;
  QPushButton* Button4_;
  std::string filterText_;
  bool updating_ = false;
};

}  // namespace kal
