#pragma once

// Objects of the component layer: reference counts, a query by interface id
// and the result codes of the calls. An object lives while it is referenced;
// the last PLTRelease deletes it. Calls come on the thread that created the
// object; only the counts are atomic.

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/component/Guid.h"

namespace kal {

// Result of a component call: 0 for success, the high bit set for failure
// (the values are those of the matching system codes).
using PLTResult = int32_t;

// clang-format off
inline constexpr PLTResult PLT_S_OK                      = 0;
inline constexpr PLTResult PLT_S_FALSE                   = 1;
inline constexpr PLTResult PLT_E_NOINTERFACE             = int32_t(0x80004002u);
inline constexpr PLTResult PLT_E_POINTER                 = int32_t(0x80004003u);
inline constexpr PLTResult PLT_E_FAIL                    = int32_t(0x80004005u);
inline constexpr PLTResult PLT_E_OUTOFMEMORY             = int32_t(0x8007000Eu);
inline constexpr PLTResult PLT_E_INVALIDARG              = int32_t(0x80070057u);
inline constexpr PLTResult PLT_DISP_E_MEMBERNOTFOUND     = int32_t(0x80020003u);
inline constexpr PLTResult PLT_DISP_E_TYPEMISMATCH       = int32_t(0x80020005u);
inline constexpr PLTResult PLT_DISP_E_UNKNOWNNAME        = int32_t(0x80020006u);
inline constexpr PLTResult PLT_DISP_E_OVERFLOW           = int32_t(0x8002000Au);
inline constexpr PLTResult PLT_DISP_E_BADPARAMCOUNT      = int32_t(0x8002000Eu);
inline constexpr PLTResult PLT_CLASS_E_NOAGGREGATION     = int32_t(0x80040110u);
inline constexpr PLTResult PLT_CLASS_E_CLASSNOTAVAILABLE = int32_t(0x80040111u);
inline constexpr PLTResult PLT_REGDB_E_CLASSNOTREG       = int32_t(0x80040154u);
inline constexpr PLTResult PLT_SELFREG_E_TYPELIB         = int32_t(0x80040200u);
inline constexpr PLTResult PLT_SELFREG_E_CLASS           = int32_t(0x80040201u);
inline constexpr PLTResult PLT_CO_E_CLASSSTRING          = int32_t(0x800401F3u);
inline constexpr PLTResult PLT_CO_E_ERRORINDLL           = int32_t(0x800401F9u);
inline constexpr PLTResult PLT_CO_E_DLLNOTFOUND          = int32_t(0x800401F8u);

inline constexpr TPLTGuid PLTcIID_IUnknown     = PLTGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr TPLTGuid PLTcIID_IClassFactory = PLTGuid("{00000001-0000-0000-C000-000000000046}");
inline constexpr TPLTGuid PLTcIID_IDispatch    = PLTGuid("{00020400-0000-0000-C000-000000000046}");
// clang-format on

inline bool PLTSucceeded(PLTResult r) {
  return r >= 0;
}

// Every object: reference counts and the query by interface id. The
// interface pointer handed out by PLTQueryInterface is referenced (the
// caller releases it); unknown ids give PLT_E_NOINTERFACE and a null
// pointer.
class IPLTUnknown {
 public:
  virtual PLTResult PLTQueryInterface(const TPLTGuid& iid, void** object) = 0;
  virtual uint32_t PLTAddRef() = 0;
  virtual uint32_t PLTRelease() = 0;

 protected:
  ~IPLTUnknown() = default;
};

// Creates the objects of one class.
class IPLTClassFactory : public IPLTUnknown {
 public:
  static constexpr const TPLTGuid& PLTcIID = PLTcIID_IClassFactory;
  // A new object asked for `iid`; `outer` must be null (no aggregation).
  virtual PLTResult PLTCreateInstance(IPLTUnknown* outer, const TPLTGuid& iid, void** object) = 0;
  // Keeps the module loaded while locked (counted).
  virtual PLTResult PLTLockServer(bool lock) = 0;

 protected:
  ~IPLTClassFactory() = default;
};

// The objects and locks alive in this module (each shared library that
// links the layer has its own counts): what says whether it may unload.
long PLTModuleObjectCount();
long PLTModuleLockCount();
void PLTModuleLock(bool lock);

// A referenced interface pointer: releases what it holds.
template <class T>
class TPLTComPtr {
 public:
  TPLTComPtr() = default;
  // Takes over a reference the caller owns.
  static TPLTComPtr Attach(T* p) {
    TPLTComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  explicit TPLTComPtr(T* p) : p_(p) {
    if (p_) p_->PLTAddRef();
  }
  TPLTComPtr(const TPLTComPtr& o) : TPLTComPtr(o.p_) {}
  TPLTComPtr(TPLTComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  TPLTComPtr& operator=(TPLTComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~TPLTComPtr() { Reset(); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->PLTRelease();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For calls that hand out a referenced pointer.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  // The object's interface T2 through its query; empty when it has none.
  template <class T2>
  TPLTComPtr<T2> Query() const {
    TPLTComPtr<T2> q;
    if (p_) (void)p_->PLTQueryInterface(T2::PLTcIID, q.Out());
    return q;
  }

 private:
  T* p_ = nullptr;
};

// Base of a class implementing the interfaces: the atomic reference count
// (starting at 0) and the module's object count. The class answers
// PLTQueryInterface itself (usually with PLTAnswerQuery).
template <class... Interfaces>
class TPLTObject : public Interfaces... {
 public:
  uint32_t PLTAddRef() override { return ++refs_; }
  uint32_t PLTRelease() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  TPLTObject() { ObjectCreated(); }
  virtual ~TPLTObject() { ObjectDestroyed(); }
  TPLTObject(const TPLTObject&) = delete;
  TPLTObject& operator=(const TPLTObject&) = delete;

 private:
  static void ObjectCreated();
  static void ObjectDestroyed();
  std::atomic<uint32_t> refs_{0};
};

void PLTModuleObjectCreated();
void PLTModuleObjectDestroyed();

template <class... Interfaces>
void TPLTObject<Interfaces...>::ObjectCreated() {
  PLTModuleObjectCreated();
}
template <class... Interfaces>
void TPLTObject<Interfaces...>::ObjectDestroyed() {
  PLTModuleObjectDestroyed();
}

// Answers a query with `asked` (an interface of `self`, referenced) when
// `iid` is one of `ids`.
template <class Self>
PLTResult PLTAnswerQuery(Self* self, void* asked, const TPLTGuid& iid,
                         std::initializer_list<TPLTGuid> ids, void** object) {
  if (object == nullptr) return PLT_E_POINTER;
  for (const TPLTGuid& id : ids) {
    if (id == iid) {
      self->PLTAddRef();
      *object = asked;
      return PLT_S_OK;
    }
  }
  *object = nullptr;
  return PLT_E_NOINTERFACE;
}

// The class factory of an object class made by `Create` (a new, unreferenced
// object or null).
template <class Object, class Interface>
class TPLTClassFactory final : public TPLTObject<IPLTClassFactory> {
 public:
  PLTResult PLTQueryInterface(const TPLTGuid& iid, void** object) override {
    return PLTAnswerQuery(this, static_cast<IPLTClassFactory*>(this), iid,
                          {PLTcIID_IUnknown, PLTcIID_IClassFactory}, object);
  }
  PLTResult PLTCreateInstance(IPLTUnknown* outer, const TPLTGuid& iid, void** object) override {
    if (object == nullptr) return PLT_E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return PLT_CLASS_E_NOAGGREGATION;
    Object* created = new Object();
    Interface* held = created;
    held->PLTAddRef();
    const PLTResult r = held->PLTQueryInterface(iid, object);
    held->PLTRelease();
    return r;
  }
  PLTResult PLTLockServer(bool lock) override {
    PLTModuleLock(lock);
    return PLT_S_OK;
  }
};

}  // namespace kal
