#include "support/ui/FieldWidths.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace kal {

namespace {

// A line edit draws its text inside the style's contents rectangle less its
// text margins and 2 pixels on either side, and scrolls as soon as text and
// cursor (1 pixel) no longer fit.
constexpr int kLineEditInnerMargin = 2;
constexpr int kCursorWidth = 1;

QChar WidestOf(const QFontMetrics& metrics, QStringView characters) {
  QChar widest = characters.front();
  for (QChar c : characters) {
    if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest)) widest = c;
  }
  return widest;
}

void KeepAtLeast(QWidget& widget, int width) {
  widget.setMinimumWidth(std::max(widget.minimumWidth(), width));
}

}  // namespace

QString FLWWidestText(const QWidget& field, TFLWText kind, int count) {
  const QFontMetrics metrics = field.fontMetrics();
  if (kind == TFLWText::Digits) return QString(count, WidestOf(metrics, u"0123456789"));
  const QChar digit = WidestOf(metrics, u"0123456789ABCDEF");
  if (kind == TFLWText::HexDigits) return QString(count, digit);
  QStringList pairs;
  for (int i = 0; i < count; ++i) pairs << QString(2, digit);
  return pairs.join(QChar(' '));
}

void FLWFitText(QLineEdit& edit, const QString& text) {
  const QFontMetrics metrics = edit.fontMetrics();
  const QMargins margins = edit.textMargins();
  const QMargins contents = edit.contentsMargins();
  const int inner = metrics.horizontalAdvance(text) + kCursorWidth + 2 * kLineEditInnerMargin +
                    margins.left() + margins.right() + contents.left() + contents.right();
  // The frame as the line edit itself describes it to the style.
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.lineWidth =
      edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  const QSize outer = edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option,
                                                     QSize(inner, metrics.height()), &edit);
  KeepAtLeast(edit, outer.width());
}

void FLWFitText(QLineEdit& edit, TFLWText kind, int count) {
  FLWFitText(edit, FLWWidestText(edit, kind, count));
}

void FLWFitText(QLabel& label, const QStringList& texts) {
  const QFontMetrics metrics = label.fontMetrics();
  int widest = 0;
  for (const QString& text : texts) widest = std::max(widest, metrics.horizontalAdvance(text));
  const QMargins contents = label.contentsMargins();
  KeepAtLeast(label, widest + 2 * label.margin() + std::max(label.indent(), 0) +
                         2 * label.frameWidth() + contents.left() + contents.right());
}

int FLWFitItems(QListWidget& list) {
  int widest = 0;
  for (int row = 0; row < list.count(); ++row)
    widest = std::max(widest, list.sizeHintForIndex(list.model()->index(row, 0)).width());
  const int width = widest + 2 * list.frameWidth() + list.verticalScrollBar()->sizeHint().width();
  KeepAtLeast(list, width);
  return width;
}

}  // namespace kal
