#pragma once

// The help-button control CQdHelpButtonCtrl: a component object with the
// dispatch interface _DQdHelpButton and a button widget (created on demand)
// that shows context help when clicked. Every help request ends in the help
// engine, created on first use and kept for the control's life. Calls come
// on the GUI thread; the control keeps no locks and has no threads.

#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "helpctl/HelpButtonTypeLib.h"
#include "helpctl/HelpEngine.h"
#include "helpctl/PropertyArchive.h"
#include "platform/component/Dispatch.h"

class QPushButton;
class QWidget;

namespace kal {

// The control's properties with their defaults.
struct THLPButtonProperties {
  std::string caption;
  int16_t borderStyle = 0;
  std::string font;  // QFont's string form; empty for the default font
  std::string mapFile;
  int32_t ctrlID = 0;
  std::string windowClass;
  int32_t command = 0;
  std::string keywords;
  std::string topic;
  std::string qhCtxHelpPath;
  int32_t javaVersion = 0;
  std::string javaHelpPath;
  std::string jrePath;
  std::string qdJHelp;  // stored and persisted only
  std::string helpsetFile;
  std::string jarFile;
  bool operator==(const THLPButtonProperties&) const = default;
};

// The control as its container sees it.
class IHLPControl : public IPLTUnknown {
 public:
  static constexpr const TPLTGuid& PLTcIID = HLPcControlIid;
  // The control's button under `parent` (created on first call, moved to a
  // new parent on later ones). The control owns it; a container keeps it
  // hidden or shows it.
  virtual QWidget* HLPWidget(QWidget* parent) = 0;
  // Set by every property put through dispatch; cleared by a save.
  virtual bool HLPIsModified() const = 0;
  // Saves the properties, or loads them. A load of another major version
  // or of data that ends early leaves every property at its default and
  // gives false.
  virtual bool HLPExchangeProperties(IHLPPropertyArchive& archive) = 0;
  // Every property back to its default.
  virtual void HLPResetProperties() = 0;
  // The class ids of the property pages, in order.
  virtual std::vector<TPLTGuid> HLPPropertyPages() const = 0;

 protected:
  ~IHLPControl() = default;
};

// What the control reaches outside itself; null members get the Qt message
// box, the Qt cursor and popups created by ProgID through the component
// layer.
struct THLPControlPorts {
  IHLPMessagePresenter* presenter = nullptr;
  IHLPCursorPort* cursor = nullptr;
  IHLPPopupFactory* popups = nullptr;
  std::string viewerModule = HLPDefaultViewerModulePath();
};

class CQdHelpButtonCtrl final : public TPLTObject<IPLTDispatch, IHLPControl> {
 public:
  CQdHelpButtonCtrl() : CQdHelpButtonCtrl(THLPControlPorts{}) {}
  explicit CQdHelpButtonCtrl(const THLPControlPorts& ports);
  ~CQdHelpButtonCtrl() override;

  PLTResult PLTQueryInterface(const TPLTGuid& iid, void** object) override;
  PLTResult PLTGetIDsOfNames(const std::vector<std::u16string>& names,
                             std::vector<int32_t>& dispids) override;
  PLTResult PLTInvoke(int32_t dispid, uint16_t flags, std::vector<TPLTVariant>& args,
                      TPLTVariant* result) override;

  QWidget* HLPWidget(QWidget* parent) override;
  bool HLPIsModified() const override { return modified_; }
  bool HLPExchangeProperties(IHLPPropertyArchive& archive) override;
  void HLPResetProperties() override;
  std::vector<TPLTGuid> HLPPropertyPages() const override;

  // The methods of the dispatch interface (strings as UTF-8; window
  // handles from the handle table, 0 or stale for the control's own).
  bool ShowHelp(int32_t hWnd);
  bool ShowHelpEx(int32_t hWnd, int32_t ctrlID, const std::string& mapFile,
                  const std::string& windowClass, const std::string& topic,
                  const std::string& keywords, int32_t command);
  bool ShowTextPopup(int32_t ctxNum, int32_t hWnd);
  bool ShowActivePopup(int32_t ctxNum, bool interhelp);
  bool ShowHTMLHelpTopicId(int32_t ctxNum, const std::string& wndClass);
  bool ShowHTMLHelpTopic(const std::string& topic, const std::string& wndClass);
  bool SetMapFile(const std::string& mapFile);
  void ShowAKeyword(const std::string& keywords, const std::string& wndClass);
  void ShowKeyword(const std::string& keywords, const std::string& wndClass);
  void ShowHTMLHelpContents(const std::string& wndClass);
  void ShowHTMLHelpIndex(const std::string& wndClass);
  void ShowHTMLHelpSearch(const std::string& wndClass);
  void ShowInterHelpTopicId(int32_t ctrl_id);
  void ShowInterHelpTopic(const std::string& topic);
  void SetJavaHelpSettings(int32_t java_version, const std::string& java_path,
                           const std::string& javahelp_path, const std::string& qhctxhelp_path,
                           const std::string& helpset_file, const std::string& jar_file);
  void ShowJavaHelpTopic(const std::string& topic_id);

  const THLPButtonProperties& HLPProperties() const { return props_; }
  // The handle of the control's own widget (created hidden when needed).
  uint32_t HLPOwnHandle();

 private:
  THLPHelpEngine& Engine();
  uintptr_t Owner(int32_t hWnd);
  void MapFileWarning();
  void Request(int32_t context, const std::string& windowType, uintptr_t owner,
               const std::optional<std::string>& topic = std::nullopt);
  void JavaHelpRequest(const std::string& topic);
  const std::string& WindowType(const std::string& wndClass) const;
  void ApplyToWidget();
  TPLTVariant Get(int32_t dispid) const;
  void Put(int32_t dispid, const TPLTVariant& value);
  TPLTVariant Call(int32_t dispid, const std::vector<TPLTVariant>& args);

  std::unique_ptr<IHLPPopupFactory> ownPopups_;
  IHLPMessagePresenter& presenter_;
  IHLPCursorPort& cursor_;
  IHLPPopupFactory& popups_;
  std::string viewerModule_;
  std::unique_ptr<THLPHelpEngine> engine_;
  THLPButtonProperties props_;
  bool modified_ = false;
  QPointer<QPushButton> widget_;
};

}  // namespace kal
