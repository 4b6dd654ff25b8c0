#include "platform/ui/QtEventPoster.h"

#include <QMetaObject>
#include <QTimer>

namespace kal {

void TPLTQtEventPoster::PLTPost(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TPLTQtEventPoster::PLTPostDelayed(std::chrono::milliseconds delay,
                                       std::function<void()> call) {
  // The timer must be started on the poster's thread, so the start itself is
  // posted; the delay then runs from there (the hop costs one event pass).
  QMetaObject::invokeMethod(
      this,
      [this, delay, call = std::move(call)]() mutable {
        QTimer::singleShot(delay, this, std::move(call));
      },
      Qt::QueuedConnection);
}

}  // namespace kal
