// The small vocabulary shared by the dataset base, its cursors, its fields
// and its data links: states, fetch modes and results, bookmark flags, the
// notices a dataset sends and what a post-error handler may answer.
#pragma once

#include <cstdint>
#include <vector>

namespace norvane {

// What the dataset is doing. Only browse, edit, insert and set-key are states
// a user sees for long; calculated fields, filter and new value are entered
// briefly by a cursor while it computes or tests a record.
enum TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
};

// The direction of one fetch asked of the cursor.
enum TGetMode { gmCurrent, gmNext, gmPrior };

// grBOF and grEOF are not failures: the cursor has run off an end.
enum TGetResult { grOK, grBOF, grEOF, grError };

// Where a record buffer stands: on a stored record, before the first or after
// the last (a record being appended), or a record inserted and not yet posted.
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };

// What a post-error handler tells the dataset to do with the failure.
enum TDataAction { daFail, daAbort, daRetry };

// The notices a dataset sends to its data sources; the data links turn them
// into their own virtual calls.
enum TDataEvent {
  deFieldChange,     // info: the field written
  deRecordChange,    // the active record's values changed as a whole
  deDataSetChange,   // the buffers were refilled
  deDataSetScroll,   // info: how far the ring scrolled
  deLayoutChange,    // the fields changed
  deUpdateRecord,    // controls must write pending input (before a post)
  deUpdateState,     // the state or Active changed
  deCheckBrowseMode, // the dataset is about to leave edit or insert
};

// A bookmark as the cursor encodes it; empty means no bookmark.
using TBookmark = std::vector<uint8_t>;

}  // namespace norvane
