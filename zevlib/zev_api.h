#pragma once
// The binary interface of zev.lib: four entry points with the standard calling convention,
// imported by name. Shared by the library and by the program that binds it.
#include <stdint.h>

#if defined(_WIN32)
#define ZEV_CALL __stdcall
#else
#define ZEV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  // No archive at that path (or a folder), or a name to extract that matches no entry.
  ZEV_ERROR_FILE_NOT_FOUND = 1001,
  // An empty name to extract, or '*' / '?' in one of its folder parts.
  ZEV_ERROR_ILLEGAL_WILDCARD_PATH = 1002,
  // No ZIP archive, damaged or overlapping directory, unsupported compression or encryption,
  // or no password that opens an encrypted entry.
  ZEV_ERROR_CANNOT_OPEN = 1003,
  ZEV_ERROR_DAMAGED_ENTRY = 1004,     // data does not match its sizes, CRC or AES code
  // A name that would land outside the destination or that Windows would write elsewhere
  // (relative parts, absolute/UNC/drive/device paths, streams, device names, trailing dots and
  // blanks, control characters), an entry reaching outside through a link, or two entries for
  // the same file.
  ZEV_ERROR_UNSAFE_ENTRY = 1005,
  ZEV_ERROR_WRITE_FAILED = 1006,
  ZEV_ERROR_STOPPED = 1007,           // the progress callback answered 0
  ZEV_ERROR_BAD_ARGUMENT = 1008
};

enum { ZEV_PASSWORD_BUFFER_SIZE = 1024 };  // bytes handed to the password callback

enum {
  ZEV_OVERWRITE_KEEP = 1,     // keep the existing file
  ZEV_OVERWRITE_REPLACE = 4   // replace it
};

// Second argument of ExtractArchive: the only operation is "extract".
enum { ZEV_OPERATION_EXTRACT = 1 };
// Fifth argument of ExtractArchive.
enum { ZEV_KEEP_PATHS = 0, ZEV_DROP_PATHS = 1 };

// Entry names as listed (either separator, any letter case), or patterns with '*' and '?' in
// the file name only ("docs/*.txt": the files directly in docs). A null record or a count of
// 0 extracts everything.
typedef struct ZevTargetFiles {
  const char* const* names;
  int32_t count;
} ZevTargetFiles;

// One listed entry: 48 bytes on the 32-bit build.
typedef struct ZevListEntry {
  const char* name;           // offset 0
  uint32_t reserved0;         // pads name to 8 bytes on 32-bit builds
  uint64_t compressedSize;    // offset 8
  uint64_t size;              // offset 16
  uint32_t crc32;             // offset 24
  uint32_t flags;             // offset 28: bit 0 folder, bit 1 encrypted
  uint32_t fileTimeLow;       // offset 32: FILETIME
  uint32_t fileTimeHigh;
  uint32_t attributes;        // offset 40
  uint32_t reserved1;
} ZevListEntry;

// Answers 1 after writing a zero-terminated password of at most ZEV_PASSWORD_BUFFER_SIZE - 1
// bytes into the buffer, 0 when it has none. Asked at most once per call, when no password
// known so far opens an encrypted entry; a wrong answer ends the call with
// ZEV_ERROR_CANNOT_OPEN.
typedef int(ZEV_CALL* ZevPasswordCallback)(char* buffer);
// Non-zero goes on, 0 stops.
typedef int(ZEV_CALL* ZevProgressCallback)(const char* file, uint64_t done, uint64_t total);
// Asked with the entry name and the error number before giving up on a failed entry:
// 1 ends the call with that error (so does a null callback), anything else skips the entry;
// the call then goes on and fails with the first skipped entry's error.
typedef int(ZEV_CALL* ZevContinueCallback)(const char* file, int32_t error);
// Asked for an existing file: existing name, its size (low, high), its time (low, high), the
// entry name, its size (low, high), its time (low, high). ZEV_OVERWRITE_REPLACE or _KEEP; any
// other answer, and a null callback, keep the file.
typedef int(ZEV_CALL* ZevOverwriteCallback)(const char* existing, uint32_t existingSizeLow,
                                            uint32_t existingSizeHigh, uint32_t existingTimeLow,
                                            uint32_t existingTimeHigh, const char* entry,
                                            uint32_t entrySizeLow, uint32_t entrySizeHigh,
                                            uint32_t entryTimeLow, uint32_t entryTimeHigh);

typedef intptr_t ZevListHandle;

// Non-zero on success; on failure 0, with the error number for GetLastArchiveError. Files are
// written under a temporary name and renamed when complete and checked, so a failure never
// leaves a half-written file (nor loses the file it was to replace).
int32_t ZEV_CALL ExtractArchive(const char* archive, int32_t operation, const char* destination,
                                const ZevTargetFiles* files, int32_t pathMode,
                                const char* password, ZevPasswordCallback passwordCallback,
                                ZevProgressCallback progressCallback,
                                ZevContinueCallback continueCallback,
                                ZevOverwriteCallback overwriteCallback);

// Non-zero handle on success, with the entries valid until CloseListArchive. ZIP does not
// encrypt names, so the password arguments are not used.
ZevListHandle ZEV_CALL OpenListArchive(const char* archive, int32_t reserved1,
                                       ZevPasswordCallback passwordCallback, int32_t reserved2,
                                       int32_t reserved3, int32_t reserved4,
                                       const char* password, ZevListEntry** entries,
                                       int32_t* count);

// An unknown, zero or already closed handle is ignored.
void ZEV_CALL CloseListArchive(ZevListHandle handle);

// The error number of this thread's last call; 0 after a success.
int32_t ZEV_CALL GetLastArchiveError(void);

#ifdef __cplusplus
}
#endif
