#include "helpctl/PropertyArchive.h"

#include <limits>

namespace kal {

template <class T>
void THLPStreamArchive::Exchange(T& value, T defaultValue) {
  if (!loading_) {
    stream_ << value;
    return;
  }
  T read = defaultValue;
  stream_ >> read;
  value = HLPGood() ? read : defaultValue;
}

void THLPStreamArchive::HLPExchange(const char*, uint32_t& value, uint32_t defaultValue) {
  Exchange(value, defaultValue);
}

void THLPStreamArchive::HLPExchange(const char*, int32_t& value, int32_t defaultValue) {
  Exchange(value, defaultValue);
}

void THLPStreamArchive::HLPExchange(const char*, int16_t& value, int16_t defaultValue) {
  Exchange(value, defaultValue);
}

void THLPStreamArchive::HLPExchange(const char*, std::string& value,
                                    const std::string& defaultValue) {
  if (!loading_) {
    stream_ << QString::fromStdString(value);
    return;
  }
  QString read;
  stream_ >> read;
  value = HLPGood() ? read.toStdString() : defaultValue;
}

template <class T>
void THLPPropertyBagArchive::ExchangeInteger(const char* name, T& value, T defaultValue) {
  if (!loading_) {
    bag_.insert(QString::fromLatin1(name), QVariant::fromValue(static_cast<qlonglong>(value)));
    return;
  }
  value = defaultValue;
  const QVariant v = bag_.value(QString::fromLatin1(name));
  bool ok = false;
  const qlonglong n = v.toLongLong(&ok);
  if (ok && v.typeId() != QMetaType::QString && n >= std::numeric_limits<T>::min() &&
      n <= std::numeric_limits<T>::max())
    value = static_cast<T>(n);
}

void THLPPropertyBagArchive::HLPExchange(const char* name, uint32_t& value, uint32_t defaultValue) {
  ExchangeInteger(name, value, defaultValue);
}

void THLPPropertyBagArchive::HLPExchange(const char* name, int32_t& value, int32_t defaultValue) {
  ExchangeInteger(name, value, defaultValue);
}

void THLPPropertyBagArchive::HLPExchange(const char* name, int16_t& value, int16_t defaultValue) {
  ExchangeInteger(name, value, defaultValue);
}

void THLPPropertyBagArchive::HLPExchange(const char* name, std::string& value,
                                         const std::string& defaultValue) {
  if (!loading_) {
    bag_.insert(QString::fromLatin1(name), QString::fromStdString(value));
    return;
  }
  const QVariant v = bag_.value(QString::fromLatin1(name));
  value = v.typeId() == QMetaType::QString ? v.toString().toStdString() : defaultValue;
}

}  // namespace kal
