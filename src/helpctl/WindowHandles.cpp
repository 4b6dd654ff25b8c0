#include "helpctl/WindowHandles.h"

#include <QPointer>
#include <QWidget>
#include <unordered_map>

namespace kal {

namespace {

constexpr const char* cHandleProperty = "_hlpWindowHandle";

struct THandleTable {
  std::unordered_map<uint32_t, QPointer<QWidget>> widgets;
  uint32_t next = 1;
};

THandleTable& Table() {
  static THandleTable table;
  return table;
}

}  // namespace

uint32_t HLPWindowHandle(QWidget* widget) {
  if (widget == nullptr) return 0;
  THandleTable& t = Table();
  bool ok = false;
  const uint32_t known = widget->property(cHandleProperty).toUInt(&ok);
  if (ok && known != 0) return known;
  // Drop the entries of widgets that are gone before adding one.
  for (auto it = t.widgets.begin(); it != t.widgets.end();)
    it = it->second.isNull() ? t.widgets.erase(it) : std::next(it);
  uint32_t handle = t.next;
  while (handle == 0 || t.widgets.count(handle) != 0) ++handle;
  t.next = handle + 1;
  t.widgets.emplace(handle, QPointer<QWidget>(widget));
  widget->setProperty(cHandleProperty, handle);
  return handle;
}

QWidget* HLPWindowOfHandle(uint32_t handle) {
  if (handle == 0) return nullptr;
  const THandleTable& t = Table();
  const auto it = t.widgets.find(handle);
  return it == t.widgets.end() ? nullptr : it->second.data();
}

}  // namespace kal
