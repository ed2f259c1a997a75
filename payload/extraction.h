// Unpacking the payload (and the skin and backup archives) into the install directory, and
// checking the installed files against it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "payload/archive.h"

constexpr size_t scratchNameField = 100;
constexpr size_t scratchDigestGap = 10;
constexpr size_t skinArchiveCapacity = 131072;
constexpr size_t failureTextOffset = 4096;

extern const char* const exemptionList;

// Inflates the entry into `content` and checks its digest (current layout), leaving the digest
// text 10 bytes after the content: the inflated length, 0 when either step failed. `capacity`
// must leave 44 bytes of room after it.
uint32_t unpackVerified(const ArchiveEntry& entry, uint8_t* content, size_t capacity);

// Names of files that stay as they are when they exist already (they count as written).
using KeepExisting = bool (*)(const char* name);
// What becomes of a restored phrase library "vorncyzk.bak": the setup brings it into its stored
// form; a tool that unpacks a container writes it as the container holds it.
enum class PhraseBackup { normalised, asStored };
// The names a container read from a file the user can write may produce (a skin archive, the
// backup): anything else, a program or module above all, is refused there.
using NameAllowed = bool (*)(const char* name);
// Programs and modules extracted get the protected access list from their creation (the
// setup's install directory); a tool that unpacks a container for its user turns that off.
void lockExtractedPrograms(bool lock);
// Every entry into installDir; true when all of entryCount were written. The scratch area holds
// the entry name, the inflated content and its digest text. An entry whose name `allowed`
// refuses is not written and reported as an entry that failed.
bool extractAll(const uint8_t* container, size_t size, uint8_t* scratch, size_t scratchSize,
                KeepExisting keep = nullptr, PhraseBackup phrases = PhraseBackup::normalised,
                NameAllowed allowed = nullptr);
// The digest an installed file should have when it differs from the entry's own (a file that
// was changed on its way in): true with the digest text in `out`, false to use the entry's.
using ExpectedDigest = bool (*)(const ArchiveEntry& entry, const char* name,
                                char out[md5TextSize]);
// The number of entries found intact; names of the others, each followed by "....", are appended
// to the failure text.
uint32_t verifyAll(const uint8_t* container, size_t size, char* failureText,
                   size_t failureCapacity, const char* exemptions,
                   ExpectedDigest expected = nullptr);
int containsName(const char* list, const char* name);
// Brings a phrase library into its stored form in place; `bytes` must have 12 bytes of room after
// `length` for the trailer. Returns the length of the kept text.
size_t compactPhraseLibrary(uint8_t* bytes, size_t length);
// A container file of at most 131,072 bytes read into workBuffer and extracted, only the
// entries `allowed` accepts.
void extractFromFile(const char* path, NameAllowed allowed);
// Checks installDir against the payload and reports what is missing or damaged.
void verifyPayloadFiles();
