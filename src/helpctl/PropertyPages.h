#pragma once

// The control's property pages ("General", "JavaHelp Settings" and a font
// page) and the tabbed page frame that stands in for a designer's property
// frame. A page loads the control's values through dispatch when it gets
// the control and, when applied, writes back through dispatch each field the
// user changed (so each marks the control modified).

#include <QDialog>
#include <string>
#include <vector>

#include "helpctl/HelpButtonTypeLib.h"
#include "platform/component/Dispatch.h"

class QTabWidget;

namespace kal {

class IHLPPropertyPage : public IPLTUnknown {
 public:
  static constexpr const TPLTGuid& PLTcIID = HLPcPropertyPageIid;
  virtual std::string HLPTitle() const = 0;
  // The page's widget under `parent`, which owns it (made once).
  virtual QWidget* HLPCreatePage(QWidget* parent) = 0;
  // The control the page edits; its current values fill the fields.
  virtual void HLPSetObject(IPLTDispatch* control) = 0;
  // Writes the changed fields to the control; the first failed put's result.
  virtual PLTResult HLPApply() = 0;

 protected:
  ~IHLPPropertyPage() = default;
};

// A new object of one of this library's classes (the three registered ones
// and the font page of its frame).
PLTResult HLPCreateModuleObject(const TPLTGuid& clsid, const TPLTGuid& iid, void** object);
// The class factory of one of this library's classes.
PLTResult HLPGetModuleClassObject(const TPLTGuid& clsid, const TPLTGuid& iid, void** object);

// The page frame of a control: a tab per property page (made by their class
// factories, in the control's order) and OK, Cancel and Apply.
class THLPPropertyFrame final : public QDialog {
 public:
  THLPPropertyFrame(IPLTUnknown* control, QWidget* parent);
  ~THLPPropertyFrame() override;
  QTabWidget* HLPTabs() const { return tabs_; }
  // Applies every page.
  PLTResult HLPApply();

 private:
  QTabWidget* tabs_;
  std::vector<TPLTComPtr<IHLPPropertyPage>> pages_;
};

}  // namespace kal

// Opens the page frame of a control as a modal dialog; its exec() result.
// Exported by name for hosts that load the library at run time.
extern "C" __attribute__((visibility("default"))) int HLPOpenPropertyFrame(
    kal::IPLTUnknown* control, QWidget* parent);
