#ifndef QIREdsMetadataTable_H
#define QIREdsMetadataTable_H
/// \file
/// The record of one class (table) of the cable-routing schema. The dictionary fills every
/// field once while it initialises; afterwards the record is only read. Lists index from 1.

#include "QIRBaseUnknown.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

#include <cstdint>

/// One schema class's record.
///
/// Threads: read only once the dictionary has built it, so any number of threads may read it,
/// and take and give back references, at once.
class QIR_API QIREdsMetadataTable : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  /// Name holds iName; every other field starts empty (ScopeKind 0).
  /// \param iName the class's qualified name
  explicit QIREdsMetadataTable(const QIRUnicodeString& iName);
  ~QIREdsMetadataTable() override;

  QIRUnicodeString Name;       ///< Qualified: "qm41862.Cable_Route".
  QIRUnicodeString ScopeName;  ///< Outside class this one extends; empty for most classes.
  QIRUnicodeString ScopeRef;   ///< That class's identifier; empty with ScopeName.
  /// 1 for a "_D_" scope entry, 0 for "_N_"; read only with ScopeName.
  std::int32_t ScopeKind = 0;

  QIRListValQIRUnicodeString Columns;      ///< Schema order.
  QIRListValQIRUnicodeString ColumnTypes;  ///< SQL type text per column, exactly as written.
  /// Whole "CONSTRAINT ..." clauses, outside refs excluded.
  QIRListValQIRUnicodeString Constraints;
  QIRRawCollint Required;                  ///< Per column: 1 when its type holds "NOT NULL".
  QIRListValQIRUnicodeString UniqueKeys;   ///< Columns of the UNIQUE clause.
  QIRListValQIRUnicodeString PrimaryKeys;  ///< Columns of the PRIMARY KEY clause.

  /// One entry per foreign key between schema classes, same index across the three: the
  /// referencing columns.
  QIRListValQIRUnicodeString RefFromColumns;
  QIRListValQIRUnicodeString RefToTables;   ///< Unqualified: "Work_Package".
  QIRListValQIRUnicodeString RefToColumns;  ///< The referenced columns.

  /// One entry per foreign key to a product-model class outside the schema: its constraint
  /// name ("WPC_PI").
  QIRListValQIRUnicodeString ExtRefNames;
  QIRListValQIRUnicodeString ExtRefFromColumns;  ///< Referencing column.
  QIRListValQIRUnicodeString ExtRefToClasses;    ///< Outside class.
  QIRListValQIRUnicodeString ExtRefToUuids;      ///< Its identifier.

  /// Columns that have a magnitude. Not aligned with Columns: locate a column here to find
  /// its magnitude.
  QIRListValQIRUnicodeString MagnitudeColumns;
  QIRListValQIRUnicodeString Magnitudes;  ///< "LENGTH", "LINEMASS", "AREA" or "MASS".
};

#endif
