// persist.h -- stored values, tagged sections, the tag table and the stored-object reader
#pragma once

#include <cstdint>

#include "framework/list.h"
#include "framework/refobj.h"
#include "framework/stream.h"

// Stored forms (all integers little-endian, positions absolute as told by the stream):
//   32-bit integer: 4 bytes; 16-bit integer: 2 bytes;
//   string: 32-bit length n, then n bytes without terminator (a null string is
//     stored as length 1 and one zero byte);
//   float: "%f" of the value widened to double, stored as a string;
//   object: class name as a string, tagged sections, the "TEND" section, the body;
//   tagged section: start (32), end (32), name bytes and one zero byte, payload.

// Name of the section that ends an object's list of sections.
constexpr const char* VOK_END_SECTION_NAME = "TEND";
// Longest section name accepted by the reader, in bytes (without the zero byte).
constexpr int VOK_MAX_SECTION_NAME = 255;
// Deepest nesting of stored objects inside one another that LoadObject reads;
// deeper objects read as absent.
constexpr int VOK_MAX_LOAD_DEPTH = 256;

// A section header: held by the writer while a section is open, filled by the
// reader for each header read. The name is owned (heap).
struct TVokSection {
    int32_t start; // position of the header's first byte
    int32_t end;   // position of the first byte after the payload
    char* name;    // section name, or null
};

// Makes an empty section record (start and end 0, no name).
void InitSection(TVokSection* section);
// Frees the record's name.
void FreeSection(TVokSection* section);

void WriteInt32(TVokStream* stream, int32_t value);
void WriteUInt16(TVokStream* stream, uint16_t value);
// Read a stored integer; false (and *value 0) on a short read.
bool ReadInt32(TVokStream* stream, int32_t* value);
bool ReadUInt16(TVokStream* stream, uint16_t* value);

// Bytes between the stream's position and its end (0 when unknown).
int32_t StreamRemaining(TVokStream* stream);

// Writes a stored string; a null text is stored as the empty string with its terminator.
void WriteString(TVokStream* stream, const char* text);
// A new heap string read from a stored string (owned by the caller, free with
// delete[]), or null when the stored length is negative, runs past the end of
// the stream, or the bytes cannot be read.
char* ReadString(TVokStream* stream);
// Writes a float as its "%f" text.
void WriteFloat(TVokStream* stream, float value);
// Reads a stored float; 0 when it cannot be read or scanned.
float ReadFloat(TVokStream* stream);

// Opens a section: sets the record's name and start, writes the header with the
// record's current end as a placeholder. A name longer than VOK_MAX_SECTION_NAME,
// which the reader would refuse, is refused here: false, nothing written, the
// record left without a name (so its EndSection writes nothing either) and the
// refusal counted in vokStoreRefusals.
bool BeginSection(TVokStream* stream, TVokSection* section, const char* name);
// Closes a section: sets end to the current position, rewrites the header at
// start and returns to end. False, and nothing written, when the record holds no
// open section (a refused BeginSection).
bool EndSection(TVokStream* stream, TVokSection* section);
// Reads one section header into the record, leaving the stream at the payload.
// False when the header is cut short or its name is longer than VOK_MAX_SECTION_NAME.
bool ReadSectionHeader(TVokStream* stream, TVokSection* section);

// Reads an object's tagged sections up to and including "TEND", calling the
// registered reader of each known section (on a stream that ends where the section
// ends) and moving to each section's end afterwards. False (stream position
// unspecified) when a header is cut short or a section's end lies before its payload
// or past the end of the stream.
bool ReadSections(TVokLSObj* object, TVokStream* stream);

// Reads one stored object: a new object (count 1, owned by the caller), or null
// when the class name is not registered, is longer than 255 bytes, the sections
// are damaged or the objects nest deeper than VOK_MAX_LOAD_DEPTH. A damaged body
// yields the part read so far.
TVokLSObj* LoadObject(TVokStream* stream);

// ---- writing what the reader reads back ----------------------------------------
// The writer keeps to the reader's limits: a section name longer than
// VOK_MAX_SECTION_NAME, a class name that is empty or longer than
// VOK_MAX_CLASS_NAME, and an object stored deeper than VOK_MAX_LOAD_DEPTH stored
// objects inside one another (a tree of 255 levels is the deepest, since the
// sentinel record that closes a child list is one level below the children) are
// refused and counted, instead of being written where a reload would stop or misread.

extern int32_t vokStoreRefusals; // records and sections refused by the writer since the last reset
extern int32_t vokStoreDepth;    // tree bodies being written around the record being written (0 at the top)

// Sets both counters to 0.
void VokResetStoreState();

// Writes one object's record: its class name, its tagged sections (WriteTags) and
// the "TEND" end marker. False, with nothing written, when the class name cannot be
// read back or the record would lie deeper than VOK_MAX_LOAD_DEPTH.
bool VokWriteRecord(TVokLSObj* object, TVokStream* stream);

// Writes a whole object (its Write) so that LoadObject reads it back. First writes it
// to a stream that keeps nothing, and only when nothing was refused there writes it
// to `stream`. True when the object was written and every write reached the stream;
// false when it cannot be stored readably (then nothing is written) or the stream
// took a write or seek short (then what stands after the start position is not a
// stored object).
bool SaveObject(TVokStream* stream, TVokLSObj* object);

// Reads one section's payload into an object; the stream it is given ends at the
// section's end. The result is ignored.
typedef int32_t (*TVokSectionReader)(TVokStream* stream, TVokLSObj* object);

// Entry of the tag table.
struct TVokSectionReaderEntry {
    char* name;               // heap copy of the section name
    TVokSectionReader reader; // reads the section into the object
};

// The tag table: 256 buckets of section-reader entries; a name's bucket is the
// sum of its bytes modulo 256, new entries go to the end of their bucket.
struct TVokTagTable {
    static constexpr int BUCKET_COUNT = 256;
    TVokList buckets[BUCKET_COUNT]; // lists of TVokSectionReaderEntry pointers
};

extern TVokTagTable vokTagTable; // section readers by name

// Bucket of a section name in the tag table.
uint8_t SectionNameBucket(const char* name);
// Adds a section reader. Returns true when added or when the same name is
// already registered with the same reader (idempotent); false for a null or
// empty name, a null reader or a name already taken by another reader.
bool RegisterSectionReader(const char* name, TVokSectionReader reader);
// The registered reader entry of a section name, or null.
TVokSectionReaderEntry* FindSectionReader(const char* name);
// Frees every entry and hands the list nodes to the spare-node pool.
void VokClearTagTable();
