// refobj.h -- reference-counted root objects, class records and the class registry
#pragma once

#include <cstdint>

class TVokStream;
struct TVokSection;
class TVokLSObj;

// Reference-counted base of every framework object. A new object has count 1,
// owned by its creator; holders give up their share with Release.
class TVokRefObj {
  public:
    TVokRefObj() : refCount(1) {}
    virtual ~TVokRefObj();

    TVokRefObj(const TVokRefObj&) = delete;
    TVokRefObj& operator=(const TVokRefObj&) = delete;

    // Adds one owner; returns the new count.
    int32_t Retain() { return ++refCount; }
    // Drops one owner. Returns the remaining count, or 0 after destroying the
    // object through its virtual destructor.
    int32_t Release();

    int32_t refCount; // number of owners; 1 for a new object
};

// Builds a new instance of one registered class (count 1, classInfo set).
typedef TVokLSObj* (*TVokFactory)();

// Static record of one registered class. The strings are heap copies made at
// registration and freed by VokShutdownFramework.
struct TVokClassInfo {
    char* name;          // class name, NUL-terminated; null before registration
    char* parentName;    // parent class name, or null (only "TVokLSObj" has none)
    TVokFactory factory; // builds a new object of the class
};

// Strings of the framework are heap arrays made with new[] and freed with
// delete[]; a null string is distinct from the empty one.
// A new[] copy of a NUL-terminated text, or null for null.
char* VokCopyString(const char* text);

// Longest class name accepted by the registry and by the object reader, in bytes.
constexpr int VOK_MAX_CLASS_NAME = 255;

// Root of all registered classes. Knows its class record; can write itself as a
// stored object (class name, tagged sections, end marker, body).
class TVokLSObj : public TVokRefObj {
  public:
    TVokLSObj();
    ~TVokLSObj() override;

    // Reads what follows the object's tagged sections; nothing at this level.
    virtual void ReadBody(TVokStream* stream);
    // Writes the whole object: class name, tagged sections, end marker, body.
    // Writes nothing when the record cannot be read back (VokWriteRecord).
    virtual void Write(TVokStream* stream);
    // Writes the class's own tagged sections; nothing at this level. An override
    // calls its base's WriteTags first.
    virtual void WriteTags(TVokStream* stream, TVokSection* section);

    // Writes the tagged sections (WriteTags) and the "TEND" end marker.
    void WriteSections(TVokStream* stream);

    TVokClassInfo* classInfo; // record of the most derived class; set by the factory

    static TVokClassInfo classRecord; // "TVokLSObj", no parent
    static TVokLSObj* Create();       // factory of "TVokLSObj"
};

// Entry of a TVokHashTable; also used as each bucket's head (key and value null).
struct TVokHashEntry {
    const void* key;     // never null in an entry; null marks the head
    void* value;         // what the key maps to; not owned
    TVokHashEntry* next; // circular links within one bucket
    TVokHashEntry* prev;
};

// Fixed table of 256 buckets, each a circular doubly linked list with its own
// head. Owns neither keys, values nor entries.
class TVokHashTable {
  public:
    static constexpr int BUCKET_COUNT = 256;

    TVokHashTable();
    virtual ~TVokHashTable();

    TVokHashTable(const TVokHashTable&) = delete;
    TVokHashTable& operator=(const TVokHashTable&) = delete;

    // Bucket index of a key. Default: the first byte of the 32-bit value the key points to.
    virtual uint8_t Hash(const void* key);
    // Default: the two 32-bit values that the keys point to are equal.
    virtual bool Equal(const void* entryKey, const void* searchKey);

    // Places an entry (key already set) at the front of its bucket. Refuses an
    // entry without a key (returns false).
    bool Insert(TVokHashEntry* entry);
    // First entry of the key's bucket whose key is Equal to it, or null.
    TVokHashEntry* Find(const void* key);

    TVokHashEntry buckets[BUCKET_COUNT]; // bucket heads
};

// The class registry: keys are class names, values the TVokClassInfo records.
class TVokClassRegistry : public TVokHashTable {
  public:
    // The last character of the name as an unsigned byte; 0 for the empty name.
    uint8_t Hash(const void* key) override;
    // Byte-for-byte equality of two NUL-terminated names.
    bool Equal(const void* entryKey, const void* searchKey) override;
    // Frees every entry (not the records).
    ~TVokClassRegistry() override;
};

extern TVokClassRegistry* vokClassRegistry; // the one registry; null until the first RegisterClass

// Enters a record whose name is set into the registry, creating the registry on
// first use. Returns true when the record is registered (also when this very
// record already was); false for a null record, a missing, empty or over-long
// (more than 255 bytes) name, a missing factory, or a name already taken by
// another record.
bool RegisterClass(TVokClassInfo* info);

// Fills a class record with heap copies of its names and its factory and
// registers it. Does nothing more (returns true) when the record is already
// registered, so that registration functions can be called any number of times.
bool VokRegisterClassInfo(TVokClassInfo* info, const char* name, const char* parentName, TVokFactory factory);

// Registers the six framework classes in order: "TVokLSObj", "TVokStringTree",
// "TVokClassTree", "TVokVTree", "TVokTree", "TVokTreeSentinel". Idempotent.
// The scene library's own registration calls this first and then adds its four.
void VokRegisterFrameworkClasses();

// The class record registered under a name, or null.
TVokClassInfo* FindClass(const char* name);

// A new object of the named class (count 1, owned by the caller), or null when
// the name is not registered.
TVokLSObj* CreateObject(const char* name);

// Exit clean-up: frees every registry entry and the registry, the names of every
// registered record, the tag table's section readers and the spare-node pool.
// Afterwards everything can be registered again; objects still alive are not touched.
void VokShutdownFramework();
