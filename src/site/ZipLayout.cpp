#include "site/ZipLayout.h"

#include "common/Text.h"
#include "platform/CodePage.h"
#include "server/ServerIdentity.h"

namespace sarvo {
namespace {

constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

// Little-endian writers and readers over std::string, so that the layout never depends on the
// host's byte order or on struct packing.
void Put16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

void Put64(std::string& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value & 0xFFFFFFFF));
    Put32(out, static_cast<uint32_t>(value >> 32));
}

uint16_t Get16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t Get32(std::string_view bytes, size_t at) {
    return Get16(bytes, at) | static_cast<uint32_t>(Get16(bytes, at + 2)) << 16;
}

uint64_t Get64(std::string_view bytes, size_t at) {
    return Get32(bytes, at) | static_cast<uint64_t>(Get32(bytes, at + 4)) << 32;
}

bool Overflows32(uint64_t value) {
    return value >= kZip32Mark;
}

uint32_t Field32(uint64_t value) {
    return Overflows32(value) ? kZip32Mark : static_cast<uint32_t>(value);
}

}  // namespace

DosDateTime FileTimeToDosDateTime(FileTime time) {
    SystemTime utc;
    if (!FileTimeToSystemTime(time, utc) || utc.year < kDosFirstYear)
        return DosDateTime{0, static_cast<uint16_t>(1 << 5 | 1)};
    if (utc.year > kDosLastYear)
        return DosDateTime{static_cast<uint16_t>(23 << 11 | 59 << 5 | 29),
                           static_cast<uint16_t>((kDosLastYear - kDosFirstYear) << 9 | 12 << 5 | 31)};
    DosDateTime dos;
    dos.time = static_cast<uint16_t>(utc.hour << 11 | utc.minute << 5 | utc.second / 2);
    dos.date = static_cast<uint16_t>((utc.year - kDosFirstYear) << 9 | utc.month << 5 | utc.day);
    return dos;
}

std::string ZipEntryName(std::string_view name, uint16_t& flags) {
    if (IsPlainAscii(name))
        return std::string(name);
    std::string utf8 = AnsiTextToUtf8(name);
    // From UTF-8 the conversion changes nothing but invalid sequences.
    if (utf8.empty() || (ProcessCodePageIsUtf8() && utf8 != name))
        return std::string(name);
    flags |= kZipFlagUtf8Name;
    return utf8;
}

size_t LocalHeaderLength(size_t nameLength, bool zip64Sizes) {
    return kLocalHeaderSize + nameLength + (zip64Sizes ? kZip64LocalExtraSize : 0);
}

std::string BuildLocalHeader(const ZipEntryHeader& entry, std::string_view name) {
    std::string out;
    out.reserve(LocalHeaderLength(name.size(), entry.zip64Sizes));
    Put32(out, kLocalHeaderSignature);
    Put16(out, entry.zip64Sizes ? kZip64Version : entry.versionNeeded);
    Put16(out, entry.flags);
    Put16(out, entry.method);
    Put16(out, entry.modified.time);
    Put16(out, entry.modified.date);
    Put32(out, entry.crc);
    if (entry.zip64Sizes) {
        Put32(out, kZip32Mark);
        Put32(out, kZip32Mark);
    } else {
        // The writer decides on Zip64 sizes whenever a size could reach the mark, so these fields
        // always hold the whole value.
        Put32(out, static_cast<uint32_t>(entry.compressedSize));
        Put32(out, static_cast<uint32_t>(entry.uncompressedSize));
    }
    Put16(out, static_cast<uint16_t>(name.size()));
    Put16(out, entry.zip64Sizes ? static_cast<uint16_t>(kZip64LocalExtraSize) : 0);
    out.append(name);
    if (entry.zip64Sizes) {
        Put16(out, kZip64ExtraTag);
        Put16(out, static_cast<uint16_t>(kZip64LocalExtraSize - 4));
        // Local headers carry both sizes, uncompressed first, whichever of them overflows.
        Put64(out, entry.uncompressedSize);
        Put64(out, entry.compressedSize);
    }
    return out;
}

bool ParseLocalHeader(std::string_view bytes, LocalHeaderFields& out) {
    if (bytes.size() < kLocalHeaderSize || Get32(bytes, 0) != kLocalHeaderSignature)
        return false;
    out = LocalHeaderFields();
    out.entry.versionNeeded = Get16(bytes, 4);
    out.entry.flags = Get16(bytes, 6);
    out.entry.method = Get16(bytes, 8);
    out.entry.modified.time = Get16(bytes, 10);
    out.entry.modified.date = Get16(bytes, 12);
    out.entry.crc = Get32(bytes, 14);
    out.entry.compressedSize = Get32(bytes, 18);
    out.entry.uncompressedSize = Get32(bytes, 22);
    out.nameLength = Get16(bytes, 26);
    out.extraLength = Get16(bytes, 28);
    out.entry.zip64Sizes = out.entry.compressedSize == kZip32Mark || out.entry.uncompressedSize == kZip32Mark;
    return true;
}

bool ReadZip64Sizes(std::string_view extra, ZipEntryHeader& entry) {
    if (!entry.zip64Sizes)
        return true;
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const uint16_t tag = Get16(extra, at);
        const uint16_t length = Get16(extra, at + 2);
        at += 4;
        if (length > extra.size() - at)
            return false;
        if (tag == kZip64ExtraTag) {
            std::string_view record = extra.substr(at, length);
            size_t field = 0;
            // The record holds only the marked values, in this order.
            if (entry.uncompressedSize == kZip32Mark) {
                if (field + 8 > record.size())
                    return false;
                entry.uncompressedSize = Get64(record, field);
                field += 8;
            }
            if (entry.compressedSize == kZip32Mark) {
                if (field + 8 > record.size())
                    return false;
                entry.compressedSize = Get64(record, field);
            }
            return true;
        }
        at += length;
    }
    return false;
}

std::string BuildCentralHeader(const ZipEntryHeader& entry, std::string_view name,
                               uint64_t localHeaderOffset) {
    const bool offsetOverflows = Overflows32(localHeaderOffset);
    const bool zip64 = entry.zip64Sizes || offsetOverflows;
    std::string extra;
    if (zip64) {
        Put16(extra, kZip64ExtraTag);
        Put16(extra, static_cast<uint16_t>((entry.zip64Sizes ? 16 : 0) + (offsetOverflows ? 8 : 0)));
        if (entry.zip64Sizes) {
            Put64(extra, entry.uncompressedSize);
            Put64(extra, entry.compressedSize);
        }
        if (offsetOverflows)
            Put64(extra, localHeaderOffset);
    }

    std::string out;
    out.reserve(kCentralHeaderSize + name.size() + extra.size());
    Put32(out, kCentralHeaderSignature);
    const uint16_t host = (entry.flags & kZipFlagUtf8Name) ? kZipHostNtfs << 8 : 0;
    Put16(out, static_cast<uint16_t>(host | (zip64 ? kZip64Version : kZipVersion)));  // made by
    Put16(out, zip64 ? kZip64Version : entry.versionNeeded);
    Put16(out, entry.flags);
    Put16(out, entry.method);
    Put16(out, entry.modified.time);
    Put16(out, entry.modified.date);
    Put32(out, entry.crc);
    Put32(out, entry.zip64Sizes ? kZip32Mark : static_cast<uint32_t>(entry.compressedSize));
    Put32(out, entry.zip64Sizes ? kZip32Mark : static_cast<uint32_t>(entry.uncompressedSize));
    Put16(out, static_cast<uint16_t>(name.size()));
    Put16(out, static_cast<uint16_t>(extra.size()));
    Put16(out, 0);  // comment length
    Put16(out, 0);  // disk number start
    Put16(out, 0);  // internal attributes
    Put32(out, 0);  // external attributes
    Put32(out, Field32(localHeaderOffset));
    out.append(name);
    out.append(extra);
    return out;
}

std::string BuildEndRecords(uint64_t entryCount, uint64_t directorySize, uint64_t directoryOffset,
                            std::string_view comment) {
    const bool countOverflows = entryCount >= kZipCountMark;
    const bool zip64 = countOverflows || Overflows32(directorySize) || Overflows32(directoryOffset);
    std::string out;
    if (zip64) {
        const uint64_t zip64RecordOffset = directoryOffset + directorySize;
        Put32(out, kZip64EndRecordSignature);
        // The record's size counts the bytes after this field.
        Put64(out, kZip64EndRecordSize - 12);
        Put16(out, kZip64Version);
        Put16(out, kZip64Version);
        Put32(out, 0);  // this disk
        Put32(out, 0);  // disk of the central directory
        Put64(out, entryCount);
        Put64(out, entryCount);
        Put64(out, directorySize);
        Put64(out, directoryOffset);

        Put32(out, kZip64LocatorSignature);
        Put32(out, 0);  // disk of the Zip64 end record
        Put64(out, zip64RecordOffset);
        Put32(out, 1);  // total disks
    }
    const uint16_t count = countOverflows ? kZipCountMark : static_cast<uint16_t>(entryCount);
    Put32(out, kEndRecordSignature);
    Put16(out, 0);  // this disk
    Put16(out, 0);  // disk of the central directory
    Put16(out, count);
    Put16(out, count);
    Put32(out, Field32(directorySize));
    Put32(out, Field32(directoryOffset));
    Put16(out, static_cast<uint16_t>(comment.size()));
    out.append(comment);
    return out;
}

std::string ZipArchiveComment() {
    return std::string(kZipCommentStart) + kProductPageAddress + kZipCommentEnd;
}

}  // namespace sarvo
