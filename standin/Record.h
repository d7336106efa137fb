// The page reader's smallest parts: a b-tree page's type, its cells and the records
// they hold, each checked against the page and the file before anything is believed.
#pragma once

#include "standin/PageReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::standin::reader {

// A b-tree page's first byte.
enum class PageType : std::uint8_t { InteriorIndex = 2, InteriorTable = 5, LeafIndex = 10, LeafTable = 13 };

// Whether a page's first byte names a b-tree page.
inline bool IsPageType(std::uint8_t byte) { return byte == 2 || byte == 5 || byte == 10 || byte == 13; }
inline bool IsInterior(PageType t) { return t == PageType::InteriorIndex || t == PageType::InteriorTable; }
inline bool IsIndexPage(PageType t) { return t == PageType::InteriorIndex || t == PageType::LeafIndex; }
// Bytes of a page's header before its cell pointers.
inline std::uint32_t PageHeaderSize(PageType t) { return IsInterior(t) ? 12 : 8; }

inline std::uint32_t Get16(const unsigned char* p) { return std::uint32_t{p[0]} << 8 | p[1]; }
inline std::uint32_t Get32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Bytes taken, or 0 when the varint runs past `end`.
int Varint(const unsigned char* p, const unsigned char* end, std::uint64_t& value);

// What a file's cells and records are measured against.
struct Geometry {
    std::uint32_t usable = 0, pageCount = 0;
    int textEncoding = 1; // 1 UTF-8, 2 UTF-16le, 3 UTF-16be
};

struct Cell {
    std::uint64_t payloadSize = 0, local = 0;
    std::int64_t rowid = 0;
    std::uint32_t child = 0, overflow = 0;
    const unsigned char* payload = nullptr; // the bytes on the page, `local` of them
    bool whole() const { return local == payloadSize; }
};

// The cell at `offset` of a page of `type`; false when it does not fit the page.
bool ParseCell(const Geometry& g, const unsigned char* page, std::uint32_t offset, PageType type, Cell& c);

enum class CellResult { Ok, Bad, BadText };

// Decodes a record into `values` (cleared first; the caller's buffer, kept across
// cells). With only a prefix (`complete` false) the header is checked as far as it
// goes and values past `have` carry no bytes.
CellResult DecodeRecord(const Geometry& g, const unsigned char* data, std::uint64_t have, std::uint64_t total,
                        bool complete, std::vector<Value>& values);

// A cell's local bytes as a record, complete when nothing overflows.
inline CellResult DecodeLocal(const Geometry& g, const Cell& c, std::vector<Value>& values) {
    return DecodeRecord(g, c.payload, c.local, c.payloadSize, c.whole(), values);
}

// A text value as UTF-8, from whatever encoding the file has; empty when no text.
std::string TextOf(const Geometry& g, const Value& v);

} // namespace quillet::standin::reader
