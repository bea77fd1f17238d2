#ifndef QIREdsMetadataTable_H
#define QIREdsMetadataTable_H
/// \file
/// The record of one class (table) of the cable-routing schema. The dictionary fills every
/// field once while it initialises; afterwards the record is only read. Lists index from 1.

#include <cstdint>

#include "QIRBaseUnknown.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

/// Threads: read only once the dictionary has built it, so any number of threads may read it,
/// and take and give back references, at once.
class QIR_API QIREdsMetadataTable : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  /// Name holds iName; every other field starts empty (ScopeKind 0).
  explicit QIREdsMetadataTable(const QIRUnicodeString& iName);
  ~QIREdsMetadataTable() override;

  QIRUnicodeString Name;       // qualified: "qm41862.Cable_Route"
  QIRUnicodeString ScopeName;  // outside class this one extends; empty for most classes
  QIRUnicodeString ScopeRef;   // that class's identifier; empty with ScopeName
  std::int32_t ScopeKind = 0;  // 1 for a "_D_" scope entry, 0 for "_N_"; read only with ScopeName

  QIRListValQIRUnicodeString Columns;      // schema order
  QIRListValQIRUnicodeString ColumnTypes;  // SQL type text per column, exactly as written
  QIRListValQIRUnicodeString Constraints;  // whole "CONSTRAINT ..." clauses, outside refs excluded
  QIRRawCollint Required;                  // per column: 1 when its type holds "NOT NULL"
  QIRListValQIRUnicodeString UniqueKeys;   // columns of the UNIQUE clause
  QIRListValQIRUnicodeString PrimaryKeys;  // columns of the PRIMARY KEY clause

  /// One entry per foreign key between schema classes, same index across the three.
  QIRListValQIRUnicodeString RefFromColumns;
  QIRListValQIRUnicodeString RefToTables;  // unqualified: "Work_Package"
  QIRListValQIRUnicodeString RefToColumns;

  /// One entry per foreign key to a product-model class outside the schema.
  QIRListValQIRUnicodeString ExtRefNames;        // constraint name: "WPC_PI"
  QIRListValQIRUnicodeString ExtRefFromColumns;  // referencing column
  QIRListValQIRUnicodeString ExtRefToClasses;    // outside class
  QIRListValQIRUnicodeString ExtRefToUuids;      // its identifier

  /// Not aligned with Columns: locate a column here to find its magnitude.
  QIRListValQIRUnicodeString MagnitudeColumns;
  QIRListValQIRUnicodeString Magnitudes;  // "LENGTH", "LINEMASS", "AREA" or "MASS"
};

#endif
