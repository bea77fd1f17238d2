#ifndef QIRCodes_H
#define QIRCodes_H
/// \file
/// Return codes shared by every operation of the platform and the library.
///
/// An operation that can fail returns an HRESULT: zero or positive for a success, negative for a
/// failure. Test them with SUCCEEDED and FAILED. The codes mean the same everywhere:
///
/// - S_OK: the operation did what it says.
/// - S_FALSE: a success that did nothing; kept for callers' own code, no operation of the
///   library returns it.
/// - E_INVALIDARG: the caller's argument is unusable (null where a value is needed, an output
///   that must be empty on entry but is not, a value a reader could not load back); nothing
///   was changed.
/// - E_OUTOFMEMORY: memory for the result could not be allocated; nothing was changed.
/// - E_NOINTERFACE: the object does not offer the interface asked for (QueryInterface).
/// - E_FAIL: any other failure: the input is malformed, a file cannot be read or written, the
///   object lacks the state the operation needs (no document loaded, an unknown name), or the
///   platform failed; the reason is written to the platform log.
///
/// Each operation's comment names the codes it returns beyond S_OK; where several classes
/// check the same kind of argument they may answer differently (an empty name is E_INVALIDARG
/// for some, E_FAIL for others), and each comment says which.

#include <cstdint>

/// The result of an operation: negative for a failure, zero or positive for a success.
typedef std::int32_t HRESULT;

/// Success.
#define S_OK ((HRESULT)0L)
/// Success with nothing done (for callers' own code).
#define S_FALSE ((HRESULT)1L)
/// Failure other than the ones below; the reason goes to the platform log.
#define E_FAIL ((HRESULT)0x80004005L)
/// The object does not offer the interface asked for.
#define E_NOINTERFACE ((HRESULT)0x80004002L)
/// An argument the operation cannot use; nothing was changed.
#define E_INVALIDARG ((HRESULT)0x80070057L)
/// Memory could not be allocated; nothing was changed.
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)

/// Non-zero when \p hr is a success code.
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
/// Non-zero when \p hr is a failure code.
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#endif
