#pragma once
// Tab-separated records over a Text: one line each (fixed-size records in record-array mode),
// fields separated by single TABs and ending at the next TAB, NUL, CR or LF; the walk from record
// to record, the fields and cells of a record, and their comparison. The command list and the
// dialog descriptions are such records.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

bool text_at_end(Text* t);
bool text_next_line(Text* t);
bool text_prev_line(Text* t);
void text_line_begin(Text* t);
void text_line_finish(Text* t);
bool text_goto_line(Text* t, int64_t n);
const char* text_field(TextArg rec, int n);
PackedId text_id(TextArg rec);
const char* text_cell(TextArg rec, int64_t* length);
int text_cell_compare(TextArg a, TextArg b, unsigned flags);
int64_t text_delete_to_line_end(Text* t);
