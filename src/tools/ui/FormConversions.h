#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;
class QPushButton;

namespace kal {

class HexLineEdit;
class ICEXMainServices;

// Lifts the line edit's default limit of 32767 characters, which would cut
// long hex and Base64 texts without a word.
void CNVLiftLengthLimit(QLineEdit& field);

// A window of two fields that follow each other: Edit1 (hex, with the hex
// pop-up menu) and Edit2, a button for each direction and "Close". A
// conversion sets the busy flag, writes the other field and clears it; a
// change of either field converts only while the flag is clear, so the two
// fields never update each other in a loop. The buttons run the same
// conversions explicitly. Activation puts the focus on Edit1.
class TCNVConverterForm : public QDialog {
  Q_OBJECT

 public:
  struct TCaptions {
    const char* title;
    const char* label1;
    const char* label2;
    const char* toSecond;  // button converting Edit1 into Edit2
    const char* toFirst;   // button converting Edit2 into Edit1
  };

  // Converts Edit1 into Edit2 and back.
  void ConvertToSecond();
  void ConvertToFirst();

 protected:
  // `name` is the class name, traced at creation.
  TCNVConverterForm(ICEXMainServices& services, const char* name, const TCaptions& captions,
                    QWidget* parent);

  // The other field's new text from a field's text; nothing leaves it as it
  // is.
  virtual std::optional<QString> SecondFrom(const QString& first) const = 0;
  virtual std::optional<QString> FirstFrom(const QString& second) const = 0;

  void changeEvent(QEvent* event) override;

 private:
  void Write(QLineEdit* field, const std::optional<QString>& text);

  HexLineEdit* Edit1_;
  QLineEdit* Edit2_;
  bool bEditing_ = false;
};

// "Hex To Base64 Conversion": a Base64 text is taken over only when it
// decodes.
class TForm22 final : public TCNVConverterForm {
  Q_OBJECT

 public:
  explicit TForm22(ICEXMainServices& services, QWidget* parent = nullptr);

 protected:
  std::optional<QString> SecondFrom(const QString& first) const override;
  std::optional<QString> FirstFrom(const QString& second) const override;
};

// "Hex to String Conversion": one character per byte (Latin-1); characters
// beyond Latin-1 are taken as "?".
class TForm23 final : public TCNVConverterForm {
  Q_OBJECT

 public:
  explicit TForm23(ICEXMainServices& services, QWidget* parent = nullptr);

 protected:
  std::optional<QString> SecondFrom(const QString& first) const override;
  std::optional<QString> FirstFrom(const QString& second) const override;
};

// "Hex to Integer Conversion": unsigned decimal from hex, hex from signed
// decimal; an unreadable text puts "Value is invalid or too large" into the
// other field.
class TForm29 final : public TCNVConverterForm {
  Q_OBJECT

 public:
  explicit TForm29(ICEXMainServices& services, QWidget* parent = nullptr);

 protected:
  std::optional<QString> SecondFrom(const QString& first) const override;
  std::optional<QString> FirstFrom(const QString& second) const override;
};

}  // namespace kal
