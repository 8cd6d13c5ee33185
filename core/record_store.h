#pragma once
// Header records as whole Texts, and record stores: one Text holding several records, each opened
// by the marker line "\b<mh>\r\n". A record is found by its identifier (core/record_id.h); the
// header lines inside a record are read and written with core/header.h.

#include <cstdint>

#include "core/record_id.h"
#include "core/text.h"

inline constexpr const char RECORD_MARKER[] = "\b<mh>\r\n";
enum { RECORD_MARKER_LEN = 7, RECORD_MARKER_TEST_LEN = 5 };

// A fresh record: Message-Id, Date, x:cdate (creation stamp), x:edate, x:ydate, Subject (title),
// Content-Type text/plain with the charset Shift-JISex; the Text is marked TX_RECORD and its cursor
// is at the top. record_init does the same on an existing Text (cleared first).
Text* record_new(const char* title = "");
bool record_init(Text* rec, const char* title = "");

// The record's own identifier: "Message-Id:" parsed, or for a "Config:" record the configuration
// identifier of its name; the empty identifier when neither is there.
RecordId record_identifier(Text* rec);
// Writes "Message-Id:", or "Config:" and the name for a configuration identifier.
bool record_set_identifier(Text* rec, const RecordId& id);

// Whether the line at pos is a marker line (its first five bytes are "\b<mh>").
bool record_is_marker(const Text* store, TextPos pos);
// The first marker line starting after pos (pos -1: at or after the top), or -1.
TextPos record_next_marker(Text* store, TextPos pos);
// The last marker line starting before pos (pos -1: before the end), or -1.
TextPos record_previous_marker(Text* store, TextPos pos);

enum : unsigned {
  RECORD_FIND_LIST = 1,  // a "Config:" value is a ';'-separated list; any element matches
};
// Position of the record with that identifier and its length (to the next marker or the end), or
// -1. Only the header block of each record is looked at, so a body that quotes a key header never
// matches. The first record may lack its marker line.
TextPos record_find(Text* store, const RecordId& id, int64_t* length = nullptr, unsigned flags = 0);
// A new Text holding a copy of the record, or null.
Text* record_extract(Text* store, const RecordId& id, unsigned flags = 0);
// Deletes the record from the store.
bool record_remove(Text* store, const RecordId& id, unsigned flags = 0);
// Moves the record one place up (direction < 0) or down (> 0). False, the store unchanged, when
// there is no neighbour in that direction or the store cannot take the change. Both records keep
// (or receive) their marker lines and end with a line end.
bool record_move(Text* store, const RecordId& id, int direction, unsigned flags = 0);
// Appends a record (a Text's whole contents, or a string) to the store with a marker line in front
// of it when it has none and a line end after it when it lacks one. Returns the record's position
// in the store, or -1 with the store unchanged.
TextPos record_append(Text* store, TextArg record);
