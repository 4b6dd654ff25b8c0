#pragma once

// Small layout helpers of the settings dialogs.

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <initializer_list>

namespace kal {

// A group box of radio items numbered from 0; `name` is the box's object
// name, the items are "<name>_<index>". Every click calls `changed`.
template <class F>
QButtonGroup* CFGRadioGroup(QGroupBox* box, const char* name,
                            std::initializer_list<const char*> items, F changed) {
  box->setObjectName(name);
  auto* group = new QButtonGroup(box);
  group->setExclusive(true);
  auto* layout = new QVBoxLayout(box);
  int id = 0;
  for (const char* item : items) {
    auto* button = new QRadioButton(item, box);
    button->setObjectName(QString("%1_%2").arg(name).arg(id));
    group->addButton(button, id++);
    layout->addWidget(button);
  }
  QObject::connect(group, &QButtonGroup::idClicked, box, [changed](int) { changed(); });
  return group;
}

// Selects item `index`, or none for -1.
inline void CFGSelectRadio(QButtonGroup* group, int index) {
  if (index >= 0 && group->button(index) != nullptr) {
    group->button(index)->setChecked(true);
    return;
  }
  group->setExclusive(false);
  for (QAbstractButton* button : group->buttons()) button->setChecked(false);
  group->setExclusive(true);
}

}  // namespace kal
