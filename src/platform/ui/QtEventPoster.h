#pragma once

#include <QObject>

#include "platform/EventPoster.h"

namespace kal {

// Hands calls to the thread that owns the poster (the GUI thread) through
// Qt's event loop: a posted call is a queued invocation, a delayed call a
// single-shot timer started on that thread. Posting is safe from any thread.
// Calls still pending when the poster is destroyed are dropped.
class TPLTQtEventPoster final : public QObject, public IPLTEventPoster {
  Q_OBJECT

 public:
  explicit TPLTQtEventPoster(QObject* parent = nullptr) : QObject(parent) {}

  void PLTPost(std::function<void()> call) override;
  void PLTPostDelayed(std::chrono::milliseconds delay, std::function<void()> call) override;
};

}  // namespace kal
