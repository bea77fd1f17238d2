#ifndef QIREdsCableRoutingSchema_H
#define QIREdsCableRoutingSchema_H
// The built-in cable-routing schema as plain data: the dictionary builds its source lists
// from these rows and nothing else. Not installed.

namespace QIREdsCableRoutingSchema {

// A class number is the tag by which the other rows name their class; it is the number in
// the class's SQL defines, not its position.
struct ClassRow {
  int Number;
  const char* Name;    // qualified
  const char* Define;  // table define
};

struct ColumnRow {
  int ClassNumber;
  const char* Name;
  const char* Define;
  const char* Type;       // SQL type text, exactly as the database is created with it
  const char* Magnitude;  // null for an unmeasured column
};

// A constraint clause, an outside reference or a scope entry, tagged as its list wants.
struct ClauseRow {
  int Tag;
  const char* Text;
};

extern const ClassRow kClasses[];
extern const int kClassCount;
extern const ColumnRow kColumns[];
extern const int kColumnCount;
extern const ClauseRow kConstraints[];  // tag: class number
extern const int kConstraintCount;
extern const ClauseRow kOutsideReferences[];  // tag: class position, from 1
extern const int kOutsideReferenceCount;
extern const ClauseRow kScopes[];  // tag: class number
extern const int kScopeCount;

}  // namespace QIREdsCableRoutingSchema

#endif
