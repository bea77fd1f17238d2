#ifndef QIRExport_H
#define QIRExport_H
/// \file
/// The export annotation of the library's public surface.

/// Marks a class, function or object that callers link against. The library is built with
/// hidden visibility, so whatever lacks the mark stays internal and can change freely.
#if defined(__GNUC__) || defined(__clang__)
#define QIR_API __attribute__((visibility("default")))
#else
#define QIR_API
#endif

#endif
