#include "QIRBaseUnknown.h"

#include "QIRError.h"

#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::atomic<unsigned long> gNextClassId{1};
std::atomic<long> gLiveObjects{0};

// Blocks handed out by the class operator new whose object is not built yet. A few slots,
// because an argument of one new-expression may itself be made with new.
struct PendingBlock {
  std::uintptr_t Start;
  std::size_t Size;
};
constexpr int kPendingSlots = 8;
thread_local PendingBlock tPending[kPendingSlots];
thread_local int tPendingCount = 0;

void RememberBlock(void* iBlock, std::size_t iSize)
{
  if (!iBlock) return;
  if (tPendingCount == kPendingSlots) {
    std::memmove(tPending, tPending + 1, sizeof(PendingBlock) * (kPendingSlots - 1));
    --tPendingCount;
  }
  tPending[tPendingCount++] = {reinterpret_cast<std::uintptr_t>(iBlock), iSize};
}

// True once for the object that lies in a pending block: the first base built there is the
// object itself; components built later inside it (members) then find no pending block.
bool ClaimBlock(const void* iObject)
{
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(iObject);
  for (int i = tPendingCount - 1; i >= 0; --i) {
    if (address < tPending[i].Start || address >= tPending[i].Start + tPending[i].Size) continue;
    std::memmove(tPending + i, tPending + i + 1, sizeof(PendingBlock) * (tPendingCount - i - 1));
    --tPendingCount;
    return true;
  }
  return false;
}

void ForgetBlock(void* iBlock)
{
  for (int i = 0; i < tPendingCount; ++i) {
    if (tPending[i].Start != reinterpret_cast<std::uintptr_t>(iBlock)) continue;
    std::memmove(tPending + i, tPending + i + 1, sizeof(PendingBlock) * (tPendingCount - i - 1));
    --tPendingCount;
    return;
  }
}

// Entries are only ever added, at the front, and live for the process: a lookup walks the
// list without a lock while another thread registers, and meets the newest entry first. The
// head is constant-initialised, so registrations from static initialisers of any file find it.
struct TieEntry {
  std::string Interface;
  std::string Implementation;
  QIRTieCreator Creator;
  const TieEntry* Next;
};

std::atomic<const TieEntry*> gTies{nullptr};

QIRTieCreator FindTie(const char* iInterface, const QIRMetaClass* iMeta)
{
  const TieEntry* const first = gTies.load(std::memory_order_acquire);
  for (const QIRMetaClass* meta = iMeta; meta; meta = meta->GetBase()) {
    for (const TieEntry* entry = first; entry; entry = entry->Next)
      if (entry->Interface == iInterface && entry->Implementation == meta->GetClassName())
        return entry->Creator;
  }
  return nullptr;
}

}  // namespace

const IID IID_QIRBaseUnknown = {"QIRBaseUnknown", &QIRCastTo<QIRBaseUnknown>};
const QIRNullVar NULL_var{};

QIRMetaClass::QIRMetaClass(const char* iClassName, const QIRMetaClass* iBase,
                           const char* iExtendedName, const char* iFramework)
    : _className(iClassName ? iClassName : ""),
      _base(iBase),
      _extendedName(iExtendedName ? iExtendedName : "QIRNull"),
      _framework(iFramework ? iFramework : ""),
      _classId(gNextClassId.fetch_add(1))
{
}

int QIRMetaClass::IsAKindOf(const char* iClassName) const
{
  if (!iClassName) return 0;
  for (const QIRMetaClass* meta = this; meta; meta = meta->_base)
    if (std::strcmp(meta->_className, iClassName) == 0) return 1;
  return 0;
}

int QIRMetaClass::IsAKindOf(const QIRMetaClass* iMeta) const
{
  for (const QIRMetaClass* meta = this; meta; meta = meta->_base)
    if (meta == iMeta) return 1;
  return 0;
}

QIRBaseUnknown::QIRBaseUnknown() : _refCount(1), _onHeap(ClaimBlock(this))
{
  ++gLiveObjects;
}

QIRBaseUnknown::QIRBaseUnknown(const QIRBaseUnknown&) : _refCount(1), _onHeap(ClaimBlock(this))
{
  ++gLiveObjects;
}

QIRBaseUnknown::~QIRBaseUnknown()
{
  --gLiveObjects;
}

HRESULT QIRBaseUnknown::QueryInterface(const IID& iIID, void** oObject)
{
  if (!oObject) return E_INVALIDARG;
  *oObject = nullptr;
  if (iIID.Cast) {
    if (void* object = iIID.Cast(this)) {
      AddRef();
      *oObject = object;
      return S_OK;
    }
  }
  if (!iIID.Name) return E_NOINTERFACE;
  const QIRTieCreator creator = FindTie(iIID.Name, GetMetaObject());
  if (!creator) return E_NOINTERFACE;
  QIRBaseUnknown* tie = creator(this);
  if (!tie) return E_NOINTERFACE;
  void* object = iIID.Cast ? iIID.Cast(tie) : tie;
  if (!object) {
    tie->Release();
    return E_NOINTERFACE;
  }
  *oObject = object;  // the tie's first reference goes to the caller
  return S_OK;
}

// Relaxed: whoever adds a reference already holds one, so nothing can be freed meanwhile.
unsigned long QIRBaseUnknown::AddRef()
{
  return _refCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

// Never below zero, even when a caller gives back more than it took. Acquire-release on the
// decrement, so the thread that deletes sees every other holder's last use of the object.
unsigned long QIRBaseUnknown::Release()
{
  unsigned long count = _refCount.load(std::memory_order_relaxed);
  do {
    assert(count > 0 && "Release of an object without references");
    if (count == 0) return 0;
  } while (!_refCount.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel,
                                            std::memory_order_relaxed));
  if (count == 1 && _onHeap) delete this;
  return count - 1;
}

const QIRMetaClass* QIRBaseUnknown::GetMetaObject() const
{
  return MetaObject();
}

const char* QIRBaseUnknown::IsA() const
{
  return "QIRBaseUnknown";
}

int QIRBaseUnknown::IsAKindOf(const char* iClassName) const
{
  return MetaObject()->IsAKindOf(iClassName);
}

const QIRMetaClass* QIRBaseUnknown::MetaObject()
{
  static const QIRMetaClass meta("QIRBaseUnknown", nullptr, "QIRNull", "System");
  return &meta;
}

const char* QIRBaseUnknown::ClassName()
{
  return "QIRBaseUnknown";
}

unsigned long QIRBaseUnknown::ClassId()
{
  return MetaObject()->GetClassId();
}

long QIRBaseUnknown::GetLiveObjectCount()
{
  return gLiveObjects.load();
}

void* QIRBaseUnknown::operator new(std::size_t iSize)
{
  void* block = ::operator new(iSize);
  RememberBlock(block, iSize);
  return block;
}

void* QIRBaseUnknown::operator new(std::size_t iSize, const std::nothrow_t&) noexcept
{
  void* block = ::operator new(iSize, std::nothrow);
  RememberBlock(block, iSize);
  return block;
}

void QIRBaseUnknown::operator delete(void* iBlock) noexcept
{
  ForgetBlock(iBlock);  // a constructor that threw leaves its block pending
  ::operator delete(iBlock);
}

void QIRBaseUnknown::operator delete(void* iBlock, const std::nothrow_t&) noexcept
{
  ForgetBlock(iBlock);
  ::operator delete(iBlock);
}

void QIRRegisterTie(const char* iInterfaceName, const char* iImplementationName,
                    QIRTieCreator iCreator)
{
  if (!iInterfaceName || !iImplementationName || !iCreator) return;
  TieEntry* entry = nullptr;
  try {
    entry = new TieEntry{iInterfaceName, iImplementationName, iCreator, nullptr};
  } catch (...) {
    return;  // called from static initialisers: nothing may escape
  }
  const TieEntry* first = gTies.load(std::memory_order_relaxed);
  do {
    entry->Next = first;
  } while (!gTies.compare_exchange_weak(first, entry, std::memory_order_release,
                                        std::memory_order_relaxed));
}

void QIRRaiseNullHandle(const char* iInterfaceName)
{
  QIRInternalError error("NullHandle", "QIRBaseUnknown");
  error.SetNLSParameters(
      (std::string("empty handle used as ") + (iInterfaceName ? iInterfaceName : "?")).c_str());
  throw error;
}
