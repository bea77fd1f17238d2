#include "QIREdsMetadataTable.h"

QIR_IMPLEMENT_CLASS(QIREdsMetadataTable, QIRBaseUnknown, "QIREngSystemDbServerClient")

QIREdsMetadataTable::QIREdsMetadataTable(const QIRUnicodeString& iName) : Name(iName) {}

QIREdsMetadataTable::~QIREdsMetadataTable() = default;
