#pragma once

// Widths from the font: a field is laid out at least as wide as the longest
// value it has to show whole, measured with its own font and style, so the
// windows hold their values whatever font the desktop gives them.

#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace kal {

// What a field's longest value is made of.
enum class TFLWText {
  Digits,     // decimal digits
  HexDigits,  // hex digits without blanks
  SpacedHex,  // hex pairs each but the last followed by a blank; count in bytes
};

// The widest text of `count` characters (bytes for SpacedHex) of that kind in
// the font of `field`: its widest character repeated.
QString FLWWidestText(const QWidget& field, TFLWText kind, int count);

// The line edit never gets narrower than it must be to show `text` without
// scrolling.
void FLWFitText(QLineEdit& edit, const QString& text);
void FLWFitText(QLineEdit& edit, TFLWText kind, int count);
// The label never gets narrower than the longest of `texts`.
void FLWFitText(QLabel& label, const QStringList& texts);
// The list never gets narrower than its widest item, check box included,
// with room for a vertical scroll bar. Returns that width.
int FLWFitItems(QListWidget& list);

}  // namespace kal
