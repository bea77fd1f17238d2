#ifndef QIRLists_H
#define QIRLists_H
/// \file
/// Lists indexed from 1. An index out of range raises a platform error.

#include <vector>

#include "QIRExport.h"
#include "QIRUnicodeString.h"

class QIRBaseUnknown;

/// Raises the platform error for an index outside 1..iSize.
[[noreturn]] QIR_API void QIRRaiseIndexError(int iIndex, int iSize);

template <class T>
class QIRList {
 public:
  int Size() const { return static_cast<int>(_items.size()); }
  T& operator[](int i) {
    Check(i);
    return _items[static_cast<std::size_t>(i - 1)];
  }
  const T& operator[](int i) const {
    Check(i);
    return _items[static_cast<std::size_t>(i - 1)];
  }
  void Append(const T& iItem) { _items.push_back(iItem); }
  void Append(const QIRList& iList) {
    /// Copy first: the list may be appended to itself.
    std::vector<T> items(iList._items);
    _items.insert(_items.end(), items.begin(), items.end());
  }
  /// The item becomes entry i (1..Size()+1); the entries from i on move up by one.
  void InsertAt(int i, const T& iItem) {
    if (i < 1 || i > Size() + 1) QIRRaiseIndexError(i, Size());
    _items.insert(_items.begin() + (i - 1), iItem);
  }
  /// Index of the first entry equal to iItem at or after iStart; 0 when absent.
  int Locate(const T& iItem, int iStart = 1) const {
    for (int i = iStart < 1 ? 1 : iStart; i <= Size(); ++i)
      if (_items[static_cast<std::size_t>(i - 1)] == iItem) return i;
    return 0;
  }
  void RemoveAll() { _items.clear(); }

 private:
  void Check(int i) const {
    if (i < 1 || i > Size()) QIRRaiseIndexError(i, Size());
  }
  std::vector<T> _items;
};

class QIRListValQIRUnicodeString : public QIRList<QIRUnicodeString> {};
class QIRRawCollint : public QIRList<int> {};
class QIRRawColldouble : public QIRList<double> {};
/// Holds pointers without references: whoever fills it manages the objects' counts.
class QIRListPtrQIRBaseUnknown : public QIRList<QIRBaseUnknown*> {};

#endif
