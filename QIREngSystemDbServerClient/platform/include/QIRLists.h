#ifndef QIRLists_H
#define QIRLists_H
/// \file
/// Lists indexed from 1. An index out of range raises a platform error.

#include "QIRExport.h"
#include "QIRUnicodeString.h"

#include <utility>
#include <vector>

class QIRBaseUnknown;

/// Raises the platform error (a QIRInternalError) for an index outside 1..iSize.
/// \param iIndex the index asked for
/// \param iSize the list's size
[[noreturn]] QIR_API void QIRRaiseIndexError(int iIndex, int iSize);

/// A list of values indexed from 1.
/// \tparam T the item type, copied in and out
template <class T>
class QIRList {
 public:
  /// \return the number of items
  int Size() const { return static_cast<int>(_items.size()); }
  /// \param i the index, 1..Size(); any other raises the platform error
  /// \return item i
  T& operator[](int i)
  {
    Check(i);
    return _items[static_cast<std::size_t>(i - 1)];
  }
  /// \param i the index, 1..Size(); any other raises the platform error
  /// \return item i
  const T& operator[](int i) const
  {
    Check(i);
    return _items[static_cast<std::size_t>(i - 1)];
  }
  /// Adds a copy of iItem at the end.
  /// \param iItem the item
  void Append(const T& iItem) { _items.push_back(iItem); }
  /// Appends iItem, taking its content over.
  /// \param iItem the item moved from
  void Append(T&& iItem) { _items.push_back(std::move(iItem)); }
  /// Adds copies of iList's items at the end, in order.
  /// \param iList the items; may be this list
  void Append(const QIRList& iList)
  {
    // Copy first: the list may be appended to itself.
    std::vector<T> items(iList._items);
    _items.insert(_items.end(), items.begin(), items.end());
  }
  /// The item becomes entry i (1..Size()+1); the entries from i on move up by one.
  /// \param i the new item's index; any other raises the platform error
  /// \param iItem the item
  void InsertAt(int i, const T& iItem)
  {
    if (i < 1 || i > Size() + 1) QIRRaiseIndexError(i, Size());
    _items.insert(_items.begin() + (i - 1), iItem);
  }
  /// \param iItem the item looked for
  /// \param iStart the first index looked at (below 1 counts as 1)
  /// \return the index of the first entry equal to iItem at or after iStart; 0 when absent
  int Locate(const T& iItem, int iStart = 1) const
  {
    for (int i = iStart < 1 ? 1 : iStart; i <= Size(); ++i)
      if (_items[static_cast<std::size_t>(i - 1)] == iItem) return i;
    return 0;
  }
  /// Empties the list.
  void RemoveAll() { _items.clear(); }
  /// Makes room for iCount items in all, so that appending up to that many moves no item.
  /// \param iCount the number of items the list is to hold; a smaller one changes nothing
  void Reserve(int iCount)
  {
    if (iCount > 0) _items.reserve(static_cast<std::size_t>(iCount));
  }

 private:
  void Check(int i) const
  {
    if (i < 1 || i > Size()) QIRRaiseIndexError(i, Size());
  }
  std::vector<T> _items;
};

/// A list of strings.
class QIRListValQIRUnicodeString : public QIRList<QIRUnicodeString> {};
/// A list of whole numbers.
class QIRRawCollint : public QIRList<int> {};
/// A list of real numbers.
class QIRRawColldouble : public QIRList<double> {};
/// Holds pointers without references: whoever fills it manages the objects' counts.
class QIRListPtrQIRBaseUnknown : public QIRList<QIRBaseUnknown*> {};

#endif
