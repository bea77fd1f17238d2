#ifndef QIRBaseUnknown_H
#define QIRBaseUnknown_H
/// \file
/// Reference-counted components, their metaclasses, interface identifiers and handles.

#include <atomic>
#include <cstddef>
#include <new>

#include "QIRCodes.h"
#include "QIRExport.h"

class QIRBaseUnknown;

/// Names an interface; Cast gives the object as that interface, or null when it is not one.
struct IID {
  const char* Name;
  void* (*Cast)(QIRBaseUnknown* iObject);
};
extern QIR_API const IID IID_QIRBaseUnknown;

/// Describes one class: its name, its base, its extended class ("QIRNull" for none) and the
/// framework that owns it. Metaclasses live for the whole process.
class QIR_API QIRMetaClass {
 public:
  QIRMetaClass(const char* iClassName, const QIRMetaClass* iBase, const char* iExtendedName,
               const char* iFramework);
  const char* GetClassName() const { return _className; }
  const QIRMetaClass* GetBase() const { return _base; }
  const char* GetExtendedName() const { return _extendedName; }
  const char* GetFramework() const { return _framework; }
  /// Unique per metaclass; stable for the life of the process.
  unsigned long GetClassId() const { return _classId; }
  /// Non-zero when iClassName names this class or one of its bases.
  int IsAKindOf(const char* iClassName) const;
  /// Non-zero when iMeta is this metaclass or one of its bases.
  int IsAKindOf(const QIRMetaClass* iMeta) const;

 private:
  const char* _className;
  const QIRMetaClass* _base;
  const char* _extendedName;
  const char* _framework;
  unsigned long _classId;
};

/// Declares the metaclass members of a component class; pair with QIR_IMPLEMENT_CLASS.
#define QIR_DECLARE_CLASS                                  \
 public:                                                   \
  static const QIRMetaClass* MetaObject();                 \
  static const char* ClassName();                          \
  static unsigned long ClassId();                          \
  static QIRBaseUnknown* CreateItself() { return nullptr; } \
  const QIRMetaClass* GetMetaObject() const override;      \
  const char* IsA() const override;                        \
  int IsAKindOf(const char* iClassName) const override;

/// Defines them: the metaclass is created on first use and kept for the process.
#define QIR_IMPLEMENT_CLASS(Class, Base, Framework)                                      \
  const QIRMetaClass* Class::MetaObject() {                                              \
    static const QIRMetaClass meta(#Class, Base::MetaObject(), "QIRNull", Framework);    \
    return &meta;                                                                        \
  }                                                                                      \
  const char* Class::ClassName() { return #Class; }                                      \
  unsigned long Class::ClassId() { return MetaObject()->GetClassId(); }                  \
  const QIRMetaClass* Class::GetMetaObject() const { return MetaObject(); }              \
  const char* Class::IsA() const { return #Class; }                                      \
  int Class::IsAKindOf(const char* iClassName) const {                                   \
    return MetaObject()->IsAKindOf(iClassName);                                          \
  }

/// Root of every component. An object made with new starts with one reference and is
/// deleted by the Release that takes its count to 0; an object on the stack or inside
/// another is never deleted by Release.
/// Threads: AddRef, Release, the metaclass queries and GetLiveObjectCount may run on any
/// thread at once, so an object that several threads only read can be handed out and
/// given back from all of them; every other member is as safe as the derived class says.
class QIR_API QIRBaseUnknown {
 public:
  QIRBaseUnknown();
  QIRBaseUnknown(const QIRBaseUnknown& iOther);
  QIRBaseUnknown& operator=(const QIRBaseUnknown&) { return *this; }  // counts stay apart
  virtual ~QIRBaseUnknown();

  /// On success *oObject holds the object as the interface iIID names, with one reference
  /// for the caller; otherwise *oObject is null and E_NOINTERFACE is returned.
  virtual HRESULT QueryInterface(const IID& iIID, void** oObject);
  /// Both return the new count.
  virtual unsigned long AddRef();
  virtual unsigned long Release();

  virtual const QIRMetaClass* GetMetaObject() const;
  virtual const char* IsA() const;
  /// Non-zero for the object's class and each of its bases, QIRBaseUnknown included.
  virtual int IsAKindOf(const char* iClassName) const;
  static const QIRMetaClass* MetaObject();
  static const char* ClassName();
  static unsigned long ClassId();
  static const IID& ClassIID() { return IID_QIRBaseUnknown; }

  unsigned long GetRefCount() const { return _refCount.load(std::memory_order_relaxed); }
  /// Components alive in the process, for tests that prove every reference was given back.
  static long GetLiveObjectCount();

  static void* operator new(std::size_t iSize);
  static void* operator new(std::size_t iSize, const std::nothrow_t&) noexcept;
  static void* operator new(std::size_t, void* iPlace) noexcept { return iPlace; }
  static void operator delete(void* iBlock) noexcept;
  static void operator delete(void* iBlock, const std::nothrow_t&) noexcept;
  static void operator delete(void*, void*) noexcept {}

 private:
  std::atomic<unsigned long> _refCount;
  bool _onHeap;
};

/// Cast helper for interface identifiers.
template <class T>
void* QIRCastTo(QIRBaseUnknown* iObject) {
  return static_cast<void*>(dynamic_cast<T*>(iObject));
}

/// Creates the object through which an implementation offers an interface it does not
/// derive from (a tie). The tie holds its own reference on the implementation.
typedef QIRBaseUnknown* (*QIRTieCreator)(QIRBaseUnknown* iImplementation);
/// Enters (interface, implementation class) with its tie creator; later entries win.
QIR_API void QIRRegisterTie(const char* iInterfaceName, const char* iImplementationName,
                            QIRTieCreator iCreator);

/// Raises the platform error for reaching through an empty handle.
[[noreturn]] QIR_API void QIRRaiseNullHandle(const char* iInterfaceName);

/// The empty handle, comparable with every handle.
struct QIRNullVar {};
extern QIR_API const QIRNullVar NULL_var;

/// Counted handle on a component: holds one reference while it holds an object.
template <class T>
class QIRVar {
 public:
  QIRVar() = default;
  QIRVar(const QIRNullVar&) {}  // NOLINT: implicit so that NULL_var reads naturally
  /// Borrows iObject and takes a reference of its own.
  QIRVar(T* iObject) : _object(iObject) {  // NOLINT
    if (_object) _object->AddRef();
  }
  QIRVar(const QIRVar& iOther) : QIRVar(iOther._object) {}
  QIRVar(QIRVar&& iOther) noexcept : _object(iOther._object) { iOther._object = nullptr; }
  /// From a handle on another interface: the object as T, or empty when it is not one.
  template <class U>
  QIRVar(const QIRVar<U>& iOther) {  // NOLINT
    QIRBaseUnknown* other = iOther.get();
    if (!other) return;
    void* cast = nullptr;
    if (SUCCEEDED(other->QueryInterface(T::ClassIID(), &cast))) _object = static_cast<T*>(cast);
  }
  ~QIRVar() { reset(); }

  /// Copy and swap: self-assignment takes a reference, then gives one back.
  QIRVar& operator=(const QIRVar& iOther) {  // NOLINT(bugprone-unhandled-self-assignment)
    QIRVar copy(iOther);
    swap(copy);
    return *this;
  }
  QIRVar& operator=(QIRVar&& iOther) noexcept {
    QIRVar moved(static_cast<QIRVar&&>(iOther));
    swap(moved);
    return *this;
  }
  QIRVar& operator=(const QIRNullVar&) {
    reset();
    return *this;
  }
  QIRVar& operator=(T* iObject) {
    QIRVar copy(iObject);
    swap(copy);
    return *this;
  }

  T* operator->() const {
    if (!_object) QIRRaiseNullHandle(T::ClassIID().Name);
    return _object;
  }
  T& operator*() const {
    if (!_object) QIRRaiseNullHandle(T::ClassIID().Name);
    return *_object;
  }
  operator T*() const { return _object; }  // NOLINT: borrowed, no reference taken
  T* get() const { return _object; }
  int isNull() const { return _object == nullptr ? 1 : 0; }

  /// Takes over iObject's reference without adding one.
  void Attach(T* iObject) {
    reset();
    _object = iObject;
  }
  /// Gives up the reference to the caller, who releases it.
  T* Detach() {
    T* object = _object;
    _object = nullptr;
    return object;
  }
  void reset() {
    T* object = _object;
    _object = nullptr;
    if (object) object->Release();
  }
  void swap(QIRVar& iOther) noexcept {
    T* object = _object;
    _object = iOther._object;
    iOther._object = object;
  }

 private:
  T* _object = nullptr;
};

template <class T>
bool operator==(const QIRVar<T>& iVar, const QIRNullVar&) { return iVar.get() == nullptr; }
template <class T>
bool operator==(const QIRNullVar&, const QIRVar<T>& iVar) { return iVar.get() == nullptr; }
template <class T>
bool operator!=(const QIRVar<T>& iVar, const QIRNullVar&) { return iVar.get() != nullptr; }
template <class T>
bool operator!=(const QIRNullVar&, const QIRVar<T>& iVar) { return iVar.get() != nullptr; }
template <class T, class U>
bool operator==(const QIRVar<T>& iLeft, const QIRVar<U>& iRight) {
  return static_cast<const QIRBaseUnknown*>(iLeft.get()) ==
         static_cast<const QIRBaseUnknown*>(iRight.get());
}
template <class T, class U>
bool operator!=(const QIRVar<T>& iLeft, const QIRVar<U>& iRight) { return !(iLeft == iRight); }

typedef QIRVar<QIRBaseUnknown> QIRBaseUnknown_var;

#endif
