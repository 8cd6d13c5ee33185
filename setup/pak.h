#pragma once
// The package archive "zqpak1.0": a 19-byte header ("zqpak1.0(" + eight hex digits of the total
// length + ")" + NUL), then entries, each a 4-byte header length, a header record (CR LF, then
// FNAME, DATE, ARC when compressed, SIZE) and the stored bytes. The set-up utility carries it as
// the resource RCDATA 30030 (or "_zq64_.pak" beside the program); the writer builds it from a
// folder of sources.
//
// Reading never trusts the package: an entry whose header or data runs past the end stops the
// walk with a status saying where, and a package with a name that could reach outside a
// destination folder (judged after decoding, pak_name_judge) is refused as a whole.

#include <cstddef>
#include <cstdint>

#include "core/clock.h"
#include "core/text.h"

enum : uint32_t {
  PAK_HEADER = 19,
  PAK_RESOURCE_ID = 30030,  // RCDATA
  PAK_RT_RCDATA = 10,
};

inline constexpr char PAK_MAGIC[] = "zqpak1.0(";  // the header's first nine bytes

// The macro files the package carries: the writer takes them from the sources, and the
// installation puts them under "qmac\system\" and "qmac\sample\" (pak_destinations).
inline constexpr const char* PAK_SYSTEM_MACROS[] = {
    "txtool.c",  "txmacro.c", "txcust.c",  "txcalc.c",  "txiface.c", "txproof.c", "txtag.c",
    "txspeak.c", "txlib.c",   "txwebto.c", "txfiler.c", "txndic.c",  "txzq5.c",   "txzq7.c",
    "txclib.c",  "txboard.c", "txtex.c",   "txbib.c",   "txhtml.c",  "txgrep.c",  "txicon.c"};
inline constexpr const char* PAK_SAMPLE_MACROS[] = {"txcard.c", "txedit.c", "txplugin.c",
                                                    "txdos.c"};

// A package in memory: the block starts with the package header.
struct PakBlock {
  const uint8_t* bytes;
  uint32_t total;  // from the header; never more than the bytes available
};

// One entry as the walk yields it; valid during the visit only.
struct PakEntry {
  Text* header;      // the header record
  const char* name;  // FNAME, NUL-terminated
  const char* date;  // DATE text ("" when absent)
  FileTime time;     // DATE parsed; has_time false when absent or malformed
  bool has_time;
  bool compressed;      // ARC non-zero
  bool has_crc;         // CRC32 present (packages of older writers have none)
  uint32_t crc;         // CRC32: of the file bytes pak_entry_data gives
  uint32_t size;        // SIZE: stored bytes
  const uint8_t* data;  // the stored bytes
  uint32_t offset;      // of the entry's header length in the package
};

// Why a walk ended.
enum PakStatus : int {
  PAK_END = 0,     // every entry read, the last one ending exactly at the end
  PAK_STOPPED,     // the visitor asked to stop
  PAK_CUT_HEADER,  // an entry's header runs past the end
  PAK_CUT_DATA,    // an entry's data runs past the end
  PAK_BAD_HEADER,  // a header without FNAME or with a malformed SIZE or ARC
  PAK_NO_MEMORY,
};
const char* pak_status_text(int status);

// Validates a package header; returns its length (19) and the total length, or 0. The total must
// also fit in the `available` bytes.
uint32_t pak_check(const void* bytes, size_t available, uint32_t* total);
bool pak_block(const void* bytes, size_t available, PakBlock* out);

// Finds the program's package once per process (the resource, logging "resource\n"; else the file
// "_zq64_.pak" in the program's folder) and keeps it. Null when neither holds a valid package.
const PakBlock* pak_open();

// Calls visit for each entry in order until it returns false. *where (when given) receives the
// offset at which a damaged package stopped the walk.
typedef bool (*PakVisit)(void* context, const PakEntry* entry);
PakStatus pak_walk(const PakBlock* pak, PakVisit visit, void* context, uint32_t* where = nullptr);

// The entry's file bytes in a new buffer (malloc) with a NUL after them: a copy of the stored
// bytes, or the decoded stream. Null when the stream is invalid (*error: an LzError) or when the
// entry carries a CRC32 that the bytes do not match (*error: PAK_ERROR_CRC).
enum : int { PAK_ERROR_CRC = 100 };
uint8_t* pak_entry_data(const PakEntry* entry, size_t* length, int* error = nullptr);
// The reason of an error of pak_entry_data.
const char* pak_error_text(int error);

// ---- names ----
// A stored name is judged in the form the file system finally sees: FNAME with its SJIS-EX
// escapes decoded to UTF-16 (the decoding of the file layer), so an escaped "\" or "." is a "\"
// or a "." here. Anything that is not one plain file name of its own folder is refused.
enum PakNameVerdict : int {
  PAK_NAME_OK = 0,
  PAK_NAME_EMPTY,
  PAK_NAME_SEPARATOR,  // "\" or "/"
  PAK_NAME_COLON,      // a drive, a scheme or an alternate data stream
  PAK_NAME_RESERVED,   // < > " | ? *
  PAK_NAME_CONTROL,    // below U+0020, or U+007F
  PAK_NAME_DOTS,       // "." or ".."
  PAK_NAME_TRAILING,   // a final dot or space (Windows drops it: another file than it says)
  PAK_NAME_DEVICE,     // CON, PRN, AUX, NUL, COM1..9, LPT1..9, CONIN$, CONOUT$, any extension
  PAK_NAME_TOO_LONG,   // more than PAK_NAME_MAX units with the temporary suffix
  PAK_NAME_DUPLICATE,  // a second entry of the same file (case ignored)
  PAK_NAME_NO_MEMORY,
};
// The longest suffix the installation adds to a name for its temporaries and backups
// (".zq~b99"), and the longest file name a folder can hold.
enum : int { PAK_TEMP_SUFFIX_MAX = 7, PAK_NAME_MAX = 255 };
// Decodes and judges a stored name. *final_name (when given and the name is good) receives the
// name as it will be created (malloc'd, NUL-terminated UTF-16; the caller frees it).
int pak_name_judge(const char* fname, char16_t** final_name = nullptr);
const char* pak_name_text(int verdict);
// pak_name_judge(name) == PAK_NAME_OK.
bool pak_name_is_safe(const char* name);
// The name as created, in the internal form, for display: escapes that carry a character of
// the code page become that character, control characters become "?" (a new Text, or null).
Text* pak_name_display(const char* fname);
// Whether two final names name the same file (case ignored as the file system ignores it).
bool pak_name_same(const char16_t* a, const char16_t* b);

// Judges every name of a package and looks for duplicates, and walks it to its end. Appends one
// line per problem to report (when given): the entry's displayed name, ": " and the reason.
// True when every name is good, no two are the same and the walk reached the end.
bool pak_names_check(const PakBlock* pak, Text* report);

// Where the installation writes an entry, relative to the installation folder: up to two folders
// ("", "qmac\system\", "qmac\sample\", "sample\"), each with whether the file gets the fixed
// sample time instead of its DATE. Returns the count.
struct PakDestination {
  const char* folder;
  bool sample_time;
};
int pak_destinations(const char* name, PakDestination out[2]);
// True for the dictionaries ("dic1a.ime", "dic2a.ime", "dic3a.ime", any case): the writer stores
// them through the dictionary packer, and the installation writes them as they are stored.
bool pak_is_dictionary(const char* file);
// 2008-07-28 00:00:00, the time stamp of sample files.
FileTime pak_sample_time();

// ---- the walk modes of the set-up utility ----
// Mode 1 (install) is pak_install (setup/install.h); the others read the package only.
enum : int {
  PAK_MODE_INSTALL = 1,
  PAK_MODE_HELP = 2,        // "zq9.txt"
  PAK_MODE_IMAGES = 4,      // every ".jpg" and ".png" to a temporary file
  PAK_MODE_LIST = 8,        // the destination of every entry into the log
  PAK_MODE_AGREEMENT = 16,  // "contract.txt"
  PAK_MODE_DATE = 64,       // the DATE of "zqeditor.exe"
};
// Modes 2 and 16: the decoded bytes of the first entry of the mode's name (malloc, NUL after
// them); null when there is none or it does not decode.
uint8_t* pak_read_file(const PakBlock* pak, int mode, size_t* length);
// Mode 64: the file time of the first "zqeditor.exe" entry; false when absent or undated.
bool pak_editor_date(const PakBlock* pak, FileTime* out);
// Mode 4: decodes each ".jpg" and ".png" entry into a temporary copy that stands for its name
// (temp_copy_write); returns the number written.
int pak_extract_images(const PakBlock* pak);
// Mode 8: logs "%s\n" with the destination path of every entry under folder (both destinations
// of a name that has two), writing nothing; returns the number of lines.
int pak_list_destinations(const PakBlock* pak, TextArg folder);

// ---- writing ----

enum : int { PAK_BUILD_NEEDED = 4 };  // mode: the needed set (no bitmaps, no CE headers)

struct PakBuildPaths {
  const char* source;   // folder of the sources (with the separator); default "c:\_text\"
  const char* exe;      // folder of the executables; default "c:\zqr\zq64\"
  const char* bitmaps;  // folder searched for "hc*.bmp"; default "c:\"
  const char* output;   // the package; default "c:\zqr\_zq64_.pak"
  int threads;          // threads that encode the entries: 0 every core, 1 this thread alone
};

struct PakWriter;
// Stored form of a dictionary (the dictionary component's packing); the default keeps the bytes.
// It is called from the encoding threads, so it must use nothing but its arguments.
typedef uint8_t* (*PakDictionaryPacker)(const uint8_t* bytes, size_t length, size_t* out_length);
void pak_set_dictionary_packer(PakDictionaryPacker packer);

// Writes the package by the writer's lists. The file is written under a temporary name and put in
// place at the end; false when it cannot be created or written, or when a source failed (the
// package is still written, consistent, without that file). The entries are encoded on several
// threads and written in list order, so the package is the same byte for byte on any number.
bool pak_build(int mode, const PakBuildPaths* paths = nullptr);
// Adds one file (entry path, subject to the source-name rules) to the package being written.
bool pak_add(PakWriter* writer, const char* path);
