#ifndef QIRGuard_H
#define QIRGuard_H
// No public operation lets an exception out: each runs its body through QIRGuarded, which
// turns whatever escapes into the operation's failure code. Not installed.

#include "QIRCodes.h"
#include "QIRError.h"

#include <new>
#include <type_traits>

// What memory running out costs an operation: most fail as for any other error, those that
// promise it report E_OUTOFMEMORY.
enum class QIROnBadAlloc { Fail, OutOfMemory };

// The code iBody returns, or iFailure when it raises. A QIRError is flushed, so that its text
// reaches the log; flushing must not raise in its turn.
template <typename Body>
HRESULT QIRGuarded(Body&& iBody, HRESULT iFailure = E_FAIL,
                   QIROnBadAlloc iOnBadAlloc = QIROnBadAlloc::Fail) noexcept
{
  try {
    return iBody();
  } catch (QIRError& error) {
    try {
      error.Flush();
    } catch (...) {
    }
  } catch (const std::bad_alloc&) {
    if (iOnBadAlloc == QIROnBadAlloc::OutOfMemory) return E_OUTOFMEMORY;
  } catch (...) {
  }
  return iFailure;
}

// For an operation without a code to give: an error ends the body, flushed as above.
template <typename Body>
void QIRGuardedVoid(Body&& iBody) noexcept
{
  // A body that returns a value here would have its result dropped instead of returned.
  static_assert(std::is_void_v<decltype(iBody())>, "a guarded body with a result needs QIRGuarded");
  QIRGuarded([&] {
    iBody();
    return S_OK;
  });
}

#endif
