#ifndef QIRBaseUnknown_H
#define QIRBaseUnknown_H
/// \file
/// Reference-counted components, their metaclasses, interface identifiers and handles.

#include "QIRCodes.h"
#include "QIRExport.h"

#include <atomic>
#include <cstddef>
#include <new>

class QIRBaseUnknown;

/// Names an interface; Cast gives the object as that interface, or null when it is not one.
struct IID {
  const char* Name;                        ///< The interface's class name.
  void* (*Cast)(QIRBaseUnknown* iObject);  ///< The object as the interface, or null.
};
/// The identifier of QIRBaseUnknown itself, which every component offers.
extern QIR_API const IID IID_QIRBaseUnknown;

/// Describes one class: its name, its base, its extended class ("QIRNull" for none) and the
/// framework that owns it. Metaclasses live for the whole process.
class QIR_API QIRMetaClass {
 public:
  /// \param iClassName the class's name
  /// \param iBase the base class's metaclass, null for a root
  /// \param iExtendedName the class it extends, "QIRNull" for none
  /// \param iFramework the framework that owns the class
  QIRMetaClass(const char* iClassName, const QIRMetaClass* iBase, const char* iExtendedName,
               const char* iFramework);
  /// \return the class's name
  const char* GetClassName() const { return _className; }
  /// \return the base class's metaclass, null for a root
  const QIRMetaClass* GetBase() const { return _base; }
  /// \return the extended class's name, "QIRNull" for none
  const char* GetExtendedName() const { return _extendedName; }
  /// \return the owning framework's name
  const char* GetFramework() const { return _framework; }
  /// \return an identifier unique per metaclass, stable for the life of the process
  unsigned long GetClassId() const { return _classId; }
  /// \param iClassName a class name
  /// \return non-zero when iClassName names this class or one of its bases
  int IsAKindOf(const char* iClassName) const;
  /// \param iMeta a metaclass
  /// \return non-zero when iMeta is this metaclass or one of its bases
  int IsAKindOf(const QIRMetaClass* iMeta) const;

 private:
  const char* _className;
  const QIRMetaClass* _base;
  const char* _extendedName;
  const char* _framework;
  unsigned long _classId;
};

/// Declares the metaclass members of a component class; pair with QIR_IMPLEMENT_CLASS.
#define QIR_DECLARE_CLASS                             \
 public:                                              \
  static const QIRMetaClass* MetaObject();            \
  static const char* ClassName();                     \
  static unsigned long ClassId();                     \
  static QIRBaseUnknown* CreateItself()               \
  {                                                   \
    return nullptr;                                   \
  }                                                   \
  const QIRMetaClass* GetMetaObject() const override; \
  const char* IsA() const override;                   \
  int IsAKindOf(const char* iClassName) const override;

/// Defines them: the metaclass is created on first use and kept for the process.
#define QIR_IMPLEMENT_CLASS(Class, Base, Framework)                                   \
  const QIRMetaClass* Class::MetaObject()                                             \
  {                                                                                   \
    static const QIRMetaClass meta(#Class, Base::MetaObject(), "QIRNull", Framework); \
    return &meta;                                                                     \
  }                                                                                   \
  const char* Class::ClassName()                                                      \
  {                                                                                   \
    return #Class;                                                                    \
  }                                                                                   \
  unsigned long Class::ClassId()                                                      \
  {                                                                                   \
    return MetaObject()->GetClassId();                                                \
  }                                                                                   \
  const QIRMetaClass* Class::GetMetaObject() const                                    \
  {                                                                                   \
    return MetaObject();                                                              \
  }                                                                                   \
  const char* Class::IsA() const                                                      \
  {                                                                                   \
    return #Class;                                                                    \
  }                                                                                   \
  int Class::IsAKindOf(const char* iClassName) const                                  \
  {                                                                                   \
    return MetaObject()->IsAKindOf(iClassName);                                       \
  }

/// Root of every component. An object made with new starts with one reference and is
/// deleted by the Release that takes its count to 0; an object on the stack or inside
/// another is never deleted by Release.
///
/// Threads: AddRef, Release, the metaclass queries and GetLiveObjectCount may run on any
/// thread at once, so an object that several threads only read can be handed out and
/// given back from all of them; every other member is as safe as the derived class says.
class QIR_API QIRBaseUnknown {
 public:
  QIRBaseUnknown();
  /// A copy starts with its own count of one; the count is never copied.
  /// \param iOther the object copied
  QIRBaseUnknown(const QIRBaseUnknown& iOther);
  /// Counts stay apart: assignment copies nothing of the base.
  /// \return this object
  QIRBaseUnknown& operator=(const QIRBaseUnknown&) { return *this; }  // counts stay apart
  virtual ~QIRBaseUnknown();

  /// Asks the object for another interface.
  /// \param iIID the interface asked for
  /// \param oObject receives the object as that interface, with one reference for the caller,
  ///   or null
  /// \return S_OK; E_NOINTERFACE (and *oObject null) when the object does not offer it;
  ///   E_INVALIDARG for a null oObject
  virtual HRESULT QueryInterface(const IID& iIID, void** oObject);
  /// Takes a reference.
  /// \return the new count
  virtual unsigned long AddRef();
  /// Gives a reference back; the last one deletes an object made with new.
  /// \return the new count
  virtual unsigned long Release();

  /// \return the metaclass of the object's class
  virtual const QIRMetaClass* GetMetaObject() const;
  /// \return the name of the object's class
  virtual const char* IsA() const;
  /// \param iClassName a class name
  /// \return non-zero for the object's class and each of its bases, QIRBaseUnknown included
  virtual int IsAKindOf(const char* iClassName) const;
  /// \return the metaclass of QIRBaseUnknown
  static const QIRMetaClass* MetaObject();
  /// \return "QIRBaseUnknown"
  static const char* ClassName();
  /// \return the identifier of QIRBaseUnknown's metaclass
  static unsigned long ClassId();
  /// \return the interface identifier of QIRBaseUnknown
  static const IID& ClassIID() { return IID_QIRBaseUnknown; }

  /// \return the current reference count
  unsigned long GetRefCount() const { return _refCount.load(std::memory_order_relaxed); }
  /// For tests that prove every reference was given back.
  /// \return the number of components alive in the process
  static long GetLiveObjectCount();

  /// Allocates a component and marks it as made with new.
  /// \param iSize the size asked for
  /// \return the block; raises std::bad_alloc when memory runs out
  static void* operator new(std::size_t iSize);
  /// Allocates a component and marks it as made with new.
  /// \param iSize the size asked for
  /// \return the block, or null when memory runs out
  static void* operator new(std::size_t iSize, const std::nothrow_t&) noexcept;
  /// Places a component in given storage; Release never deletes it.
  /// \param iPlace the storage
  /// \return iPlace
  static void* operator new(std::size_t, void* iPlace) noexcept { return iPlace; }
  /// Frees a block from operator new.
  /// \param iBlock the block, or null
  static void operator delete(void* iBlock) noexcept;
  /// Frees a block from the non-throwing operator new.
  /// \param iBlock the block, or null
  static void operator delete(void* iBlock, const std::nothrow_t&) noexcept;
  /// Pairs with placement new; frees nothing.
  static void operator delete(void*, void*) noexcept {}

 private:
  std::atomic<unsigned long> _refCount;
  bool _onHeap;
};

/// Cast helper for interface identifiers.
/// \tparam T the interface
/// \param iObject the object
/// \return iObject as a T, or null when it is not one
template <class T>
void* QIRCastTo(QIRBaseUnknown* iObject)
{
  return static_cast<void*>(dynamic_cast<T*>(iObject));
}

/// Creates the object through which an implementation offers an interface it does not
/// derive from (a tie). The tie holds its own reference on the implementation.
typedef QIRBaseUnknown* (*QIRTieCreator)(QIRBaseUnknown* iImplementation);
/// Enters (interface, implementation class) with its tie creator; later entries win.
/// \param iInterfaceName the interface's class name
/// \param iImplementationName the implementation's class name
/// \param iCreator makes the tie
QIR_API void QIRRegisterTie(const char* iInterfaceName, const char* iImplementationName,
                            QIRTieCreator iCreator);

/// Raises the platform error (a QIRInternalError) for reaching through an empty handle.
/// \param iInterfaceName the handle's interface, for the message
[[noreturn]] QIR_API void QIRRaiseNullHandle(const char* iInterfaceName);

/// The empty handle, comparable with every handle.
struct QIRNullVar {};
/// The one empty handle: `if (handle == NULL_var)`, `handle = NULL_var`.
extern QIR_API const QIRNullVar NULL_var;

/// Counted handle on a component: holds one reference while it holds an object.
/// \tparam T the interface or class held
template <class T>
class QIRVar {
 public:
  /// An empty handle.
  QIRVar() = default;
  /// An empty handle, from NULL_var.
  QIRVar(const QIRNullVar&) {}  // NOLINT: implicit so that NULL_var reads naturally
  /// Borrows iObject and takes a reference of its own.
  /// \param iObject the object, or null for an empty handle
  // NOLINTNEXTLINE: a raw pointer converts implicitly, as callers of the platform expect
  QIRVar(T* iObject) : _object(iObject)
  {
    if (_object) _object->AddRef();
  }
  /// Takes a reference of its own on iOther's object.
  /// \param iOther the handle copied
  QIRVar(const QIRVar& iOther) : QIRVar(iOther._object) {}
  /// Takes over iOther's reference; iOther is left empty.
  /// \param iOther the handle moved from
  QIRVar(QIRVar&& iOther) noexcept : _object(iOther._object) { iOther._object = nullptr; }
  /// From a handle on another interface: the object as T, or empty when it is not one.
  /// \tparam U the other interface
  /// \param iOther the other handle
  template <class U>
  // NOLINTNEXTLINE: a handle of another interface converts implicitly, through QueryInterface
  QIRVar(const QIRVar<U>& iOther)
  {
    QIRBaseUnknown* other = iOther.get();
    if (!other) return;
    void* cast = nullptr;
    if (SUCCEEDED(other->QueryInterface(T::ClassIID(), &cast))) _object = static_cast<T*>(cast);
  }
  /// Gives the reference back.
  ~QIRVar() { reset(); }

  /// Copy and swap: self-assignment takes a reference, then gives one back.
  /// \param iOther the handle copied
  /// \return this handle
  // NOLINTNEXTLINE(bugprone-unhandled-self-assignment): copy and swap handles it
  QIRVar& operator=(const QIRVar& iOther)
  {
    QIRVar copy(iOther);
    swap(copy);
    return *this;
  }
  /// Takes over iOther's reference and gives back the one held.
  /// \param iOther the handle moved from
  /// \return this handle
  QIRVar& operator=(QIRVar&& iOther) noexcept
  {
    QIRVar moved(static_cast<QIRVar&&>(iOther));
    swap(moved);
    return *this;
  }
  /// Empties the handle.
  /// \return this handle
  QIRVar& operator=(const QIRNullVar&)
  {
    reset();
    return *this;
  }
  /// Holds iObject instead, with a reference of its own.
  /// \param iObject the object, or null
  /// \return this handle
  QIRVar& operator=(T* iObject)
  {
    QIRVar copy(iObject);
    swap(copy);
    return *this;
  }

  /// \return the object; raises the platform error when the handle is empty
  T* operator->() const
  {
    if (!_object) QIRRaiseNullHandle(T::ClassIID().Name);
    return _object;
  }
  /// \return the object; raises the platform error when the handle is empty
  T& operator*() const
  {
    if (!_object) QIRRaiseNullHandle(T::ClassIID().Name);
    return *_object;
  }
  /// \return the object, borrowed (no reference taken), or null
  operator T*() const { return _object; }  // NOLINT: borrowed, no reference taken
  /// \return the object, borrowed (no reference taken), or null
  T* get() const { return _object; }
  /// \return 1 when the handle is empty, else 0
  int isNull() const { return _object == nullptr ? 1 : 0; }

  /// Takes over iObject's reference without adding one.
  /// \param iObject the object, or null
  void Attach(T* iObject)
  {
    reset();
    _object = iObject;
  }
  /// Gives up the reference to the caller, who releases it.
  /// \return the object, or null
  T* Detach()
  {
    T* object = _object;
    _object = nullptr;
    return object;
  }
  /// Gives the reference back and empties the handle.
  void reset()
  {
    T* object = _object;
    _object = nullptr;
    if (object) object->Release();
  }
  /// Exchanges the objects of two handles; no count changes.
  /// \param iOther the other handle
  void swap(QIRVar& iOther) noexcept
  {
    T* object = _object;
    _object = iOther._object;
    iOther._object = object;
  }

 private:
  T* _object = nullptr;
};

/// \param iVar a handle
/// \return true when iVar is empty
template <class T>
bool operator==(const QIRVar<T>& iVar, const QIRNullVar&)
{
  return iVar.get() == nullptr;
}
/// \param iVar a handle
/// \return true when iVar is empty
template <class T>
bool operator==(const QIRNullVar&, const QIRVar<T>& iVar)
{
  return iVar.get() == nullptr;
}
/// \param iVar a handle
/// \return true when iVar holds an object
template <class T>
bool operator!=(const QIRVar<T>& iVar, const QIRNullVar&)
{
  return iVar.get() != nullptr;
}
/// \param iVar a handle
/// \return true when iVar holds an object
template <class T>
bool operator!=(const QIRNullVar&, const QIRVar<T>& iVar)
{
  return iVar.get() != nullptr;
}
/// Handles are equal when they hold the same object, whatever the interface.
/// \param iLeft a handle
/// \param iRight another handle
/// \return true when both hold the same object or both are empty
template <class T, class U>
bool operator==(const QIRVar<T>& iLeft, const QIRVar<U>& iRight)
{
  return static_cast<const QIRBaseUnknown*>(iLeft.get()) ==
         static_cast<const QIRBaseUnknown*>(iRight.get());
}
/// \param iLeft a handle
/// \param iRight another handle
/// \return true when they hold different objects
template <class T, class U>
bool operator!=(const QIRVar<T>& iLeft, const QIRVar<U>& iRight)
{
  return !(iLeft == iRight);
}

/// A handle on any component.
typedef QIRVar<QIRBaseUnknown> QIRBaseUnknown_var;

#endif
