// refobj.cpp -- reference counting, the hash table, the class registry and framework set-up
#include "framework/refobj.h"

#include <cstdlib>
#include <cstring>

#include "framework/list.h"
#include "framework/persist.h"
#include "framework/tree.h"

TVokClassRegistry* vokClassRegistry = nullptr;

TVokRefObj::~TVokRefObj() = default;

int32_t TVokRefObj::Release() {
    int32_t count = --refCount;
    if (count > 0) return count;
    delete this;
    return 0;
}

char* VokCopyString(const char* text) {
    if (!text) return nullptr;
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

// ---- TVokLSObj ----------------------------------------------------------------

TVokClassInfo TVokLSObj::classRecord = {nullptr, nullptr, nullptr};

// Objects built directly (not through a factory) still know a record of their
// own class; the factory of the most derived class sets it again.
TVokLSObj::TVokLSObj() : classInfo(&classRecord) {}

TVokLSObj::~TVokLSObj() = default;

TVokLSObj* TVokLSObj::Create() {
    TVokLSObj* object = new TVokLSObj;
    object->classInfo = &classRecord;
    return object;
}

void TVokLSObj::ReadBody(TVokStream*) {}

void TVokLSObj::WriteTags(TVokStream*, TVokSection*) {}

void TVokLSObj::Write(TVokStream* stream) {
    VokWriteRecord(this, stream);
}

void TVokLSObj::WriteSections(TVokStream* stream) {
    TVokSection section;
    InitSection(&section);
    WriteTags(stream, &section);
    BeginSection(stream, &section, VOK_END_SECTION_NAME);
    EndSection(stream, &section);
    FreeSection(&section);
}

// ---- TVokHashTable ------------------------------------------------------------

TVokHashTable::TVokHashTable() {
    for (TVokHashEntry& head : buckets) {
        head.key = nullptr;
        head.value = nullptr;
        head.next = &head;
        head.prev = &head;
    }
}

TVokHashTable::~TVokHashTable() = default;

uint8_t TVokHashTable::Hash(const void* key) {
    return *static_cast<const uint8_t*>(key);
}

bool TVokHashTable::Equal(const void* entryKey, const void* searchKey) {
    uint32_t a, b;
    std::memcpy(&a, entryKey, sizeof a);
    std::memcpy(&b, searchKey, sizeof b);
    return a == b;
}

bool TVokHashTable::Insert(TVokHashEntry* entry) {
    if (!entry || !entry->key) return false;
    TVokHashEntry* head = &buckets[Hash(entry->key)];
    entry->next = head->next;
    entry->prev = head;
    head->next->prev = entry;
    head->next = entry;
    return true;
}

TVokHashEntry* TVokHashTable::Find(const void* key) {
    if (!key) return nullptr;
    TVokHashEntry* head = &buckets[Hash(key)];
    for (TVokHashEntry* entry = head->next; entry->key; entry = entry->next) {
        if (Equal(entry->key, key)) return entry;
    }
    return nullptr;
}

// ---- TVokClassRegistry --------------------------------------------------------

uint8_t TVokClassRegistry::Hash(const void* key) {
    const char* name = static_cast<const char*>(key);
    size_t length = std::strlen(name);
    return length ? static_cast<uint8_t>(name[length - 1]) : 0;
}

bool TVokClassRegistry::Equal(const void* entryKey, const void* searchKey) {
    return std::strcmp(static_cast<const char*>(entryKey), static_cast<const char*>(searchKey)) == 0;
}

TVokClassRegistry::~TVokClassRegistry() {
    for (TVokHashEntry& head : buckets) {
        TVokHashEntry* entry = head.next;
        while (entry != &head) {
            TVokHashEntry* following = entry->next;
            delete entry;
            entry = following;
        }
        head.next = &head;
        head.prev = &head;
    }
}

bool RegisterClass(TVokClassInfo* info) {
    if (!info || !info->name || !info->factory) return false;
    size_t length = std::strlen(info->name);
    if (length == 0 || length > static_cast<size_t>(VOK_MAX_CLASS_NAME)) return false;
    if (!vokClassRegistry) vokClassRegistry = new TVokClassRegistry;
    if (TVokHashEntry* existing = vokClassRegistry->Find(info->name)) {
        return existing->value == info;
    }
    TVokHashEntry* entry = new TVokHashEntry;
    entry->key = info->name;
    entry->value = info;
    entry->next = entry;
    entry->prev = entry;
    vokClassRegistry->Insert(entry);
    return true;
}

bool VokRegisterClassInfo(TVokClassInfo* info, const char* name, const char* parentName,
                          TVokFactory factory) {
    if (!info || !name || !factory) return false;
    if (info->name && vokClassRegistry && FindClass(info->name) == info) return true;
    delete[] info->name;
    delete[] info->parentName;
    info->name = VokCopyString(name);
    info->parentName = VokCopyString(parentName);
    info->factory = factory;
    if (RegisterClass(info)) return true;
    // Refused: leave the record empty, as before registration.
    delete[] info->name;
    delete[] info->parentName;
    info->name = nullptr;
    info->parentName = nullptr;
    return false;
}

void VokRegisterFrameworkClasses() {
    // The clean-up runs once more at exit, whatever the tests did before.
    static bool cleanUpArranged = false;
    if (!cleanUpArranged) {
        cleanUpArranged = true;
        std::atexit(&VokShutdownFramework);
    }
    VokRegisterClassInfo(&TVokLSObj::classRecord, "TVokLSObj", nullptr, &TVokLSObj::Create);
    VokRegisterClassInfo(&TVokStringTree::classRecord, "TVokStringTree", "TVokTree", &TVokStringTree::Create);
    VokRegisterClassInfo(&TVokClassTree::classRecord, "TVokClassTree", "TVokStringTree",
                         &TVokClassTree::Create);
    VokRegisterClassInfo(&TVokVTree::classRecord, "TVokVTree", "TVokLSObj", &TVokVTree::Create);
    VokRegisterClassInfo(&TVokTree::classRecord, "TVokTree", "TVokVTree", &TVokTree::Create);
    VokRegisterClassInfo(&TVokTreeSentinel::classRecord, "TVokTreeSentinel", "TVokVTree",
                         &TVokTreeSentinel::Create);
}

TVokClassInfo* FindClass(const char* name) {
    if (!name || !vokClassRegistry) return nullptr;
    TVokHashEntry* entry = vokClassRegistry->Find(name);
    return entry ? static_cast<TVokClassInfo*>(entry->value) : nullptr;
}

TVokLSObj* CreateObject(const char* name) {
    TVokClassInfo* info = FindClass(name);
    if (!info || !info->factory) return nullptr;
    return info->factory();
}

void VokShutdownFramework() {
    if (vokClassRegistry) {
        // The records are static; only their heap names go, leaving them ready
        // to be registered again.
        for (TVokHashEntry& head : vokClassRegistry->buckets) {
            for (TVokHashEntry* entry = head.next; entry != &head; entry = entry->next) {
                TVokClassInfo* info = static_cast<TVokClassInfo*>(entry->value);
                delete[] info->name;
                delete[] info->parentName;
                info->name = nullptr;
                info->parentName = nullptr;
            }
        }
        delete vokClassRegistry;
        vokClassRegistry = nullptr;
    }
    VokClearTagTable();
    VokResetStoreState();
    VokFreeNodePool();
}
