// The program object: compilation (lexer -> parser -> graph -> analysis), tags, messages.

#include "regex/regex.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "regex/regex_internal.h"
#include "ui/notify.h"

void rx_report(const char* message) {
  notify_status(message);
}

void rx_clear_graph(RegexProgram* prog) {
  for (int i = 0; i < prog->class_count; ++i) {
    free(prog->classes[i].text);
    free(prog->classes[i].ranges);
  }
  free(prog->classes);
  prog->classes = nullptr;
  prog->class_count = 0;
  free(prog->first);
  free(prog->trans);
  free(prog->pairs);
  prog->first = nullptr;
  prog->trans = nullptr;
  prog->pairs = nullptr;
  prog->state_count = 0;
  prog->trans_count = 0;
  prog->group_count = 0;
  prog->filter = false;
  prog->nullable = true;
  prog->bol_only = false;
  prog->prefix_length = 0;
  prog->prefix_bol = false;
  prog->chain_length = 0;
  prog->chain_check = false;
  prog->chain_scan = false;
  memset(prog->first_bits, 0, sizeof prog->first_bits);
  for (int i = 0; i < REGEX_TAG_SLOTS; ++i) prog->tag_start_state[i] = prog->tag_end_state[i] = -1;
}

bool regex_compile(RegexProgram* prog, const char* pattern, unsigned options,
                   unsigned match_options) {
  if (!prog || !pattern) return false;
  bool icase = (options & REGEX_ICASE) != 0;
  bool bytes = (match_options & REGEX_BYTES) != 0;
  if (prog->compiled && prog->pattern && strcmp(prog->pattern, pattern) == 0 &&
      prog->icase == icase && prog->bytes == bytes) {
    prog->options = options;
    prog->match_options = match_options;
    return true;
  }
  regex_tags_clear(prog);
  rx_clear_graph(prog);
  prog->compiled = false;
  size_t len = strlen(pattern);
  char* copy = (char*)malloc(len + 1);
  if (!copy) return false;
  memcpy(copy, pattern, len + 1);
  free(prog->pattern);
  prog->pattern = copy;
  prog->pattern_length = (int)len;
  prog->options = options;
  prog->match_options = match_options;
  prog->icase = icase;
  prog->bytes = bytes;

  RxNodePool pool = {nullptr, 0, 0};
  int root = -1;
  bool ok = rx_parse(prog, &pool, &root) && rx_build(prog, &pool, root);
  free(pool.nodes);  // the tree is not needed once the graph stands
  if (!ok) {
    rx_clear_graph(prog);
    return false;
  }
  rx_analyse(prog);
  prog->compiled = true;
  return true;
}

RegexProgram* regex_new(const char* pattern, unsigned options, unsigned match_options,
                        unsigned flags) {
  RegexProgram* prog = (RegexProgram*)calloc(1, sizeof(RegexProgram));
  if (!prog) return nullptr;
  prog->flags = flags;
  rx_clear_graph(prog);
  if (!regex_compile(prog, pattern, options, match_options)) {
    regex_free(prog);
    return nullptr;
  }
  return prog;
}

void regex_free(RegexProgram* prog) {
  if (!prog) return;
  regex_tags_clear(prog);
  rx_clear_graph(prog);
  free(prog->pattern);
  free(prog);
}

void regex_set_flags(RegexProgram* prog, unsigned flags) {
  if (prog) prog->flags = flags;
}

int regex_tag_count(const RegexProgram* prog) {
  return prog ? prog->group_count : 0;
}

const char* regex_tag(RegexProgram* prog, int n, long* out_length, unsigned flags) {
  if (out_length) *out_length = 0;
  if (!prog) return nullptr;
  if (n == REGEX_TAG_LAST) n = prog->group_count - 1;
  if (n >= REGEX_TAG_SLOTS) {
    char msg[64];
    snprintf(msg, sizeof msg, RX_MSG_TAGS, REGEX_TAG_SLOTS);
    rx_report(msg);
    return nullptr;
  }
  if (n < 0 || n >= prog->group_count || !prog->text || prog->tag_begin[n] < 0) return nullptr;
  if (out_length) *out_length = prog->tag_end[n] - prog->tag_begin[n];
  if (flags & REGEX_TAG_POSITION) return prog->text + prog->tag_begin[n];
  return prog->tag_text[n];
}

void regex_tags_clear(RegexProgram* prog) {
  if (!prog) return;
  for (int i = 0; i < REGEX_TAG_SLOTS; ++i) {
    free(prog->tag_text[i]);
    prog->tag_text[i] = nullptr;
    prog->tag_begin[i] = prog->tag_end[i] = -1;
  }
  prog->text = nullptr;
}
