#include "platform/component/Component.h"

namespace kal {

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> locks{0};

}  // namespace

long PLTModuleObjectCount() {
  return liveObjects.load();
}

long PLTModuleLockCount() {
  return locks.load();
}

void PLTModuleLock(bool lock) {
  if (lock)
    ++locks;
  else if (locks.load() > 0)
    --locks;
}

void PLTModuleObjectCreated() {
  ++liveObjects;
}

void PLTModuleObjectDestroyed() {
  --liveObjects;
}

}  // namespace kal
