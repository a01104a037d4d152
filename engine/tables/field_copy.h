// Moving one value between fields of two datasets, as imports and
// restructures copy records: the value is read the way the source's type
// holds it (text, a 64-bit integer, a boolean, a float, a date-time, or
// the bytes of a large value) and written through the target's setter of
// that kind, which converts it to the target's type or refuses it.
#pragma once

#include "engine/tables/dataset_field.h"

namespace norvane {

// `from` must not be null; `to`'s dataset must be editing or inserting.
// Throws the target's refusal (EDatabaseError) for a value it cannot hold.
void CopyFieldValue(TField& from, TField& to);

}  // namespace norvane
