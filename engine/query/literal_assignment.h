// How one value of INSERT (and of UPDATE's SET) reaches a field: by the
// field's type, floats read exactly, and the row identifier asked of the
// table rather than written, since identifiers are the table's to give.
#pragma once

#include "engine/query/sql_command.h"
#include "engine/tables/dezi_table.h"

namespace norvane {

// Writes `value` to `field`, a field of `table`, which must be in insert or
// edit state.
// - A null literal clears the field (for the row identifier: the table
//   gives the next free one).
// - ftFloat, ftCurrency and ftBCD take the text as a decimal number with
//   "." as separator, read to the nearest double exactly; anything else
//   throws EDatabaseError "'<text>' is not a valid number for field
//   '<name>'".
// - The row identifier (ftAutoInc) is asked for with SetNextRowId, so the
//   record being inserted gets exactly that identifier; the text must be a
//   whole number from 1 to 2147483647 (else EDatabaseError "'<text>' is not
//   a valid row identifier for field '<name>'"), and the table must be in
//   insert state (else EDatabaseError "Field '<name>' is the row identifier
//   and cannot be changed"). An identifier a record already has is refused
//   by the post as a key violation.
// - Every other type takes the text through the field's text assignment,
//   with its errors.
void AssignLiteral(TDeziTable& table, TField& field, const TSQLLiteral& value);

}  // namespace norvane
