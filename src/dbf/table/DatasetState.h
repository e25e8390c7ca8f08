#pragma once
// The states of a table dataset and the moves between them.
//
//                 open()                 edit()
//   dsInactive ──────────▶ dsBrowse ─────────────────────▶ dsEdit ──┐
//              ◀──────────  ▲   │   insert(), append()              │
//                close()    │   └─────────────────────▶ dsInsert ──┤
//                           │                                       │
//                           └────────── post(), cancel() ───────────┘
//
//   from             move                              to
//   dsInactive       open()                            dsBrowse
//   dsBrowse         close()                           dsInactive
//   dsBrowse         edit()                            dsEdit
//   dsBrowse         insert(), append()                dsInsert
//   dsEdit/dsInsert  post() (written), cancel()        dsBrowse
//   dsEdit/dsInsert  close() (the change dropped)      dsInactive
//   dsBrowse         deleteRecord(): edit(), the mark,  dsEdit, then dsBrowse
//                    post()
//   dsBrowse         undelete(): edit(), the mark        dsEdit (locked until
//                    removed at once                     the next move)
//   any open state   the record filter on a candidate  dsFilter, then back
//
// In dsBrowse the current record is the stored one; in dsEdit and dsInsert
// it is the record buffer being changed, which post() writes and cancel()
// drops. dsFilter lasts only while the filter callback looks at a candidate
// record, which is then the current record for the fields. dsCalcFields is
// not used by this engine; it keeps its place in the numbering.

namespace karto {

enum DatasetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsFilter, dsCalcFields };

// Whether a dataset may move from one state to the other (dsFilter excepted:
// it is entered and left around a filter call, from and back to any open
// state).
constexpr bool isStateChangeAllowed(DatasetState from, DatasetState to)
{
    switch (from) {
    case dsInactive:
        return to == dsBrowse;
    case dsBrowse:
        return to == dsInactive || to == dsEdit || to == dsInsert;
    case dsEdit:
    case dsInsert:
        return to == dsBrowse || to == dsInactive;
    default:
        return false;
    }
}

// Whether a state has a record buffer in editing (changes not yet posted).
constexpr bool isEditingState(DatasetState state) { return state == dsEdit || state == dsInsert; }

} // namespace karto
