#pragma once

// What the help engine needs from its host: message boxes, the mouse cursor
// position and the creation of active popups. The control implements them;
// tests replace them.

#include <cstdint>
#include <memory>
#include <string>

namespace kal {

// Shows a message box with an OK button and no owner window.
class IHLPMessagePresenter {
 public:
  virtual ~IHLPMessagePresenter() = default;
  virtual void HLPShowMessage(const std::string& text, const std::string& title) = 0;
};

// The mouse cursor position in screen coordinates.
class IHLPCursorPort {
 public:
  virtual ~IHLPCursorPort() = default;
  virtual void HLPCursorPosition(int32_t& x, int32_t& y) = 0;
};

// An active popup object. The engine calls HLPShow once and then releases
// the object; a popup that is shown keeps itself alive until it closes.
class IHLPActivePopup {
 public:
  virtual ~IHLPActivePopup() = default;
  virtual void HLPShow(const std::string& address, int16_t reserved, int16_t width,
                       int16_t height) = 0;
};

// Creates active popups by ProgID; null when the class cannot be created.
class IHLPPopupFactory {
 public:
  virtual ~IHLPPopupFactory() = default;
  virtual std::unique_ptr<IHLPActivePopup> HLPCreatePopup(const std::string& progId) = 0;
};

// Creates nothing: no popup and no message.
class THLPNoPopupFactory final : public IHLPPopupFactory {
 public:
  std::unique_ptr<IHLPActivePopup> HLPCreatePopup(const std::string&) override { return nullptr; }
};

}  // namespace kal
