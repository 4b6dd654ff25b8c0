#pragma once

// Driving the settings dialogs in form tests: widgets by object name read
// and set as text, a table of fields with their INI keys, and python3's
// configparser as the reader of the written configuration.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <string>
#include <vector>

#include "common/TestSupport.h"

namespace kal::test {

// A field of a dialog: its widget, the INI key, the value the file holds
// before the dialog opens (what the widget must show), the value typed in
// and what the file holds after "Ok".
struct DialogField {
  const char* widget;
  const char* section;
  const char* key;
  const char* fileValue;
  const char* shown;
  const char* typed;
  const char* stored;
};

// A line edit's text, a check box as "1"/"0", a group of radio buttons
// "<name>_<i>" as the checked index ("-1": none), a combo box's text.
inline QString WidgetValue(QWidget* dialog, const QString& name) {
  if (auto* edit = dialog->findChild<QLineEdit*>(name)) return edit->text();
  if (auto* box = dialog->findChild<QCheckBox*>(name)) return box->isChecked() ? "1" : "0";
  if (auto* combo = dialog->findChild<QComboBox*>(name)) return combo->currentText();
  if (dialog->findChild<QGroupBox*>(name) != nullptr) {
    for (int i = 0;; ++i) {
      auto* button = dialog->findChild<QRadioButton*>(QString("%1_%2").arg(name).arg(i));
      if (button == nullptr) return "-1";
      if (button->isChecked()) return QString::number(i);
    }
  }
  return "<no widget " + name + ">";
}

// Sets a widget as the user would: typing replaces a line edit's text.
inline bool SetWidgetValue(QWidget* dialog, const QString& name, const QString& value) {
  if (auto* edit = dialog->findChild<QLineEdit*>(name)) {
    if (!edit->isVisible()) {
      edit->setText(value);  // a field on a panel not shown
      return true;
    }
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, value);
    return true;
  }
  if (auto* box = dialog->findChild<QCheckBox*>(name)) {
    if (box->isChecked() != (value == "1")) box->click();
    return true;
  }
  if (auto* combo = dialog->findChild<QComboBox*>(name)) {
    const int index = combo->findText(value);
    combo->setCurrentIndex(index);
    return index >= 0;
  }
  if (auto* button = dialog->findChild<QRadioButton*>(QString("%1_%2").arg(name).arg(value))) {
    button->click();
    return true;
  }
  return false;
}

// The values of section/key pairs in an INI file as python3's configparser
// reads it (raw, keys keeping their case); "<missing>" for a key it lacks.
inline std::vector<std::string> IniValues(const std::string& path,
                                          const std::vector<DialogField>& fields) {
  std::string input;
  for (const DialogField& f : fields) input += std::string(f.section) + "\t" + f.key + "\n";
  const std::string script =
      "import configparser, sys\n"
      "p = configparser.RawConfigParser(strict=False, interpolation=None)\n"
      "p.optionxform = str\n"
      "p.read(r'" +
      path +
      "', encoding='latin-1')\n"
      "for line in sys.stdin:\n"
      "    s, k = line.rstrip('\\n').split('\\t')\n"
      "    print(p.get(s, k) if p.has_option(s, k) else '<missing>')\n";
  const std::string out = RunPython(script, input);
  return SplitLines(out);
}

// The INI text of the fields' file values, section by section.
inline std::string FieldsIniText(const std::vector<DialogField>& fields) {
  std::string text, section;
  for (const DialogField& f : fields) {
    if (section != f.section) {
      section = f.section;
      text += "[" + section + "]\r\n";
    }
    text += std::string(f.key) + "=" + f.fileValue + "\r\n";
  }
  return text;
}

// The fields whose widget does not show `shown`, as "widget: value" lines.
inline std::string FieldsNotShown(QWidget* dialog, const std::vector<DialogField>& fields) {
  std::string wrong;
  for (const DialogField& f : fields)
    if (WidgetValue(dialog, f.widget) != f.shown)
      wrong += std::string(f.widget) + ": " + WidgetValue(dialog, f.widget).toStdString() + "\n";
  return wrong;
}

// Types every field's value; the widgets that could not take it.
inline std::string TypeFields(QWidget* dialog, const std::vector<DialogField>& fields) {
  std::string wrong;
  for (const DialogField& f : fields)
    if (!SetWidgetValue(dialog, f.widget, f.typed)) wrong += std::string(f.widget) + "\n";
  return wrong;
}

// The keys of the file at `path` that do not hold `stored`, as "key: value"
// lines.
inline std::string FieldsNotStored(const std::string& path,
                                   const std::vector<DialogField>& fields) {
  const std::vector<std::string> values = IniValues(path, fields);
  if (values.size() != fields.size()) return "configparser gave no values";
  std::string wrong;
  for (size_t i = 0; i < fields.size(); ++i)
    if (values[i] != fields[i].stored)
      wrong += std::string(fields[i].key) + ": " + values[i] + "\n";
  return wrong;
}

}  // namespace kal::test
