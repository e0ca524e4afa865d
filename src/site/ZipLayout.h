#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileTime.h"

// The bytes of the folder download's Zip archive: local headers, central directory headers and the
// end records, all little-endian. The archive uses no data descriptors, no directory entries and no
// extra fields, with one exception: a size or an offset that does not fit its 32-bit field is carried
// in a Zip64 record, so nothing is ever cut to its low bits. An archive that needs no Zip64 record
// holds none, and its bytes are then those of the plain layout.
namespace sarvo {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50;    // "PK" 3 4
inline constexpr uint32_t kCentralHeaderSignature = 0x02014B50;  // "PK" 1 2
inline constexpr uint32_t kEndRecordSignature = 0x06054B50;      // "PK" 5 6
inline constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kZip64EndRecordSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;

// Version 1.1 with host system 0; readers of Zip64 records need version 4.5.
inline constexpr uint16_t kZipVersion = 11;
inline constexpr uint16_t kZip64Version = 45;
inline constexpr uint16_t kZipMethodDeflate = 8;

inline constexpr uint16_t kZip64ExtraTag = 0x0001;
// The extra field of a local header with Zip64 sizes: tag, length, both sizes.
inline constexpr size_t kZip64LocalExtraSize = 20;

// A 32-bit field holding this value (a 16-bit count holding kZipCountMark) says "the real value is
// in the Zip64 record". The value itself therefore already needs the record.
inline constexpr uint32_t kZip32Mark = 0xFFFFFFFF;
inline constexpr uint16_t kZipCountMark = 0xFFFF;
inline constexpr size_t kZipNameMax = 0xFFFF;

// General-purpose flag bit 11: the entry's name is UTF-8. Without it readers take the name as code
// page 437 (or guess).
inline constexpr uint16_t kZipFlagUtf8Name = 0x0800;
// The host system a central header names for an entry with a UTF-8 name: NTFS, as an archiver on
// Windows writes today. Info-ZIP unzip translates the names of host 0 (FAT) entries from the OEM code
// page whatever bit 11 says, so a UTF-8 name under host 0 comes out garbled; entries with ASCII names
// keep host 0.
inline constexpr uint16_t kZipHostNtfs = 11;

inline constexpr char kZipCommentStart[] = "Zip Folder by Sarvo (";
inline constexpr char kZipCommentEnd[] = ")";

struct DosDateTime {
    uint16_t time = 0;
    uint16_t date = 0;
};

// The MS-DOS form of a UTC file time, without conversion to local time: two-second steps, years 1980
// to 2107. A time before 1980 gives 1980-01-01 00:00:00 and one after 2107 gives 2107-12-31
// 23:59:58, because Windows leaves the fields as they were in those cases, and a date of 0 (month
// 0, day 0) upsets some readers.
DosDateTime FileTimeToDosDateTime(FileTime time);

// What a local header says about one entry.
struct ZipEntryHeader {
    uint16_t versionNeeded = kZipVersion;
    uint16_t flags = 0;
    uint16_t method = kZipMethodDeflate;
    DosDateTime modified;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    // Both sizes are in a Zip64 extra field and the 32-bit fields hold kZip32Mark. Decided before
    // the entry's data is written, because the extra field sits in front of the data.
    bool zip64Sizes = false;
};

// The name an entry is stored under, from a name in the process code page. A plain ASCII name is
// taken as it is and leaves flags alone; any other name is stored in UTF-8 with kZipFlagUtf8Name set
// in flags. A name that is not valid UTF-8 in a UTF-8 code page (a Linux name may be any bytes) keeps
// its bytes and gets no flag, since readers refuse a flagged name they cannot decode.
std::string ZipEntryName(std::string_view name, uint16_t& flags);

// The local header, the name and, for Zip64 sizes, the extra field with both sizes. The version
// needed is kZip64Version then, whatever the record says.
std::string BuildLocalHeader(const ZipEntryHeader& entry, std::string_view name);
// The length BuildLocalHeader gives.
size_t LocalHeaderLength(size_t nameLength, bool zip64Sizes);

// The fixed 30 bytes of a local header read back from an archive. False for fewer bytes or another
// signature. Sizes marked kZip32Mark stay marked until ReadZip64Sizes replaces them.
struct LocalHeaderFields {
    ZipEntryHeader entry;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
};
bool ParseLocalHeader(std::string_view bytes, LocalHeaderFields& out);
// Takes the sizes of a marked header from its extra field. False when the header marks a size and
// the extra field has no Zip64 record long enough to hold it.
bool ReadZip64Sizes(std::string_view extra, ZipEntryHeader& entry);

// The central header and the name, the fields copied from the local header, and the offset of that
// local header. A Zip64 extra field holds whichever of the two sizes and the offset are marked. An
// entry flagged kZipFlagUtf8Name is made by kZipHostNtfs.
std::string BuildCentralHeader(const ZipEntryHeader& entry, std::string_view name,
                               uint64_t localHeaderOffset);

// The end of the archive: when the count, the directory's size or its offset does not fit the end
// record, the Zip64 end record and its locator first (the directory ends where they begin), then the
// end record and the comment.
std::string BuildEndRecords(uint64_t entryCount, uint64_t directorySize, uint64_t directoryOffset,
                            std::string_view comment);

// "Zip Folder by Sarvo (" + the product's page + ")".
std::string ZipArchiveComment();

}  // namespace sarvo
