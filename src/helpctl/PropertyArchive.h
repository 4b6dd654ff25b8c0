#pragma once

// Where the control's persisted properties go: an archive that saves or
// loads named values in a fixed order. Two backends: a stream (QDataStream,
// values in order without names) and a property bag (a variant map by
// name).

#include <QDataStream>
#include <QVariantMap>
#include <cstdint>
#include <string>

namespace kal {

class IHLPPropertyArchive {
 public:
  virtual ~IHLPPropertyArchive() = default;
  virtual bool HLPLoading() const = 0;
  // Saves the value, or loads it (a value the archive does not have gives
  // the default).
  virtual void HLPExchange(const char* name, uint32_t& value, uint32_t defaultValue) = 0;
  virtual void HLPExchange(const char* name, int32_t& value, int32_t defaultValue) = 0;
  virtual void HLPExchange(const char* name, int16_t& value, int16_t defaultValue) = 0;
  virtual void HLPExchange(const char* name, std::string& value,
                           const std::string& defaultValue) = 0;
  // False once a load ran past the end of the data or met broken data.
  virtual bool HLPGood() const = 0;
};

// The values in order on a QDataStream (strings as UTF-16 QString).
class THLPStreamArchive final : public IHLPPropertyArchive {
 public:
  THLPStreamArchive(QDataStream& stream, bool loading) : stream_(stream), loading_(loading) {}
  bool HLPLoading() const override { return loading_; }
  void HLPExchange(const char* name, uint32_t& value, uint32_t defaultValue) override;
  void HLPExchange(const char* name, int32_t& value, int32_t defaultValue) override;
  void HLPExchange(const char* name, int16_t& value, int16_t defaultValue) override;
  void HLPExchange(const char* name, std::string& value, const std::string& defaultValue) override;
  bool HLPGood() const override { return stream_.status() == QDataStream::Ok; }

 private:
  template <class T>
  void Exchange(T& value, T defaultValue);
  QDataStream& stream_;
  bool loading_;
};

// The values by name in a variant map; a missing value or one of another
// type loads as the default.
class THLPPropertyBagArchive final : public IHLPPropertyArchive {
 public:
  THLPPropertyBagArchive(QVariantMap& bag, bool loading) : bag_(bag), loading_(loading) {}
  bool HLPLoading() const override { return loading_; }
  void HLPExchange(const char* name, uint32_t& value, uint32_t defaultValue) override;
  void HLPExchange(const char* name, int32_t& value, int32_t defaultValue) override;
  void HLPExchange(const char* name, int16_t& value, int16_t defaultValue) override;
  void HLPExchange(const char* name, std::string& value, const std::string& defaultValue) override;
  bool HLPGood() const override { return true; }

 private:
  template <class T>
  void ExchangeInteger(const char* name, T& value, T defaultValue);
  QVariantMap& bag_;
  bool loading_;
};

}  // namespace kal
