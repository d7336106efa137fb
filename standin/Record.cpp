#include "standin/Record.h"

#include "platform/TextFile.h"

#include <cstring>
#include <string_view>

namespace quillet::standin::reader {

int Varint(const unsigned char* p, const unsigned char* end, std::uint64_t& value) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        if (p + i >= end)
            return 0;
        v = v << 7 | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) {
            value = v;
            return i + 1;
        }
    }
    if (p + 8 >= end)
        return 0;
    value = v << 8 | p[8];
    return 9;
}

namespace {

std::uint32_t Unit16(const unsigned char* p, bool bigEndian) {
    return bigEndian ? Get16(p) : (std::uint32_t{p[1]} << 8 | p[0]);
}

bool ValidUtf16(const unsigned char* p, std::size_t n, bool bigEndian) {
    if (n % 2)
        return false;
    for (std::size_t i = 0; i < n; i += 2) {
        const std::uint32_t u = Unit16(p + i, bigEndian);
        if (u >= 0xd800 && u <= 0xdbff) {
            if (i + 2 >= n)
                return false;
            const std::uint32_t low = Unit16(p + i + 2, bigEndian);
            if (low < 0xdc00 || low > 0xdfff)
                return false;
            i += 2;
        } else if (u >= 0xdc00 && u <= 0xdfff) {
            return false;
        }
    }
    return true;
}

bool HasNul(const unsigned char* p, std::size_t n, bool utf16) {
    if (!utf16)
        return std::memchr(p, 0, n) != nullptr;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        if (p[i] == 0 && p[i + 1] == 0)
            return true;
    return false;
}

// Text that SQLite would read back as it was written: valid in the file's encoding, no NUL.
bool SoundText(int encoding, const unsigned char* p, std::size_t n) {
    const bool valid = encoding == 1 ? platform::IsValidUtf8(std::string_view(reinterpret_cast<const char*>(p), n))
                                     : ValidUtf16(p, n, encoding == 3);
    return valid && !HasNul(p, n, encoding != 1);
}

// Local payload bytes of a cell with payload `p` on a table leaf or index page.
std::uint64_t LocalSize(std::uint64_t usable, std::uint64_t p, bool tableLeaf) {
    const std::uint64_t u = usable;
    const std::uint64_t x = tableLeaf ? u - 35 : (u - 12) * 64 / 255 - 23;
    if (p <= x)
        return p;
    const std::uint64_t m = (u - 12) * 32 / 255 - 23;
    const std::uint64_t k = m + (p - m) % (u - 4);
    return k <= x ? k : m;
}

// The value of serial type `t` (neither 10 nor 11) at `d`, `len` bytes; without its
// bytes at hand (`here` false) only its kind and length.
Value ValueOf(std::uint64_t t, const unsigned char* d, std::uint64_t len, bool here) {
    Value v;
    if (t == 0) {
        v.kind = Value::Null;
    } else if (t <= 6) {
        v.kind = Value::Integer;
        if (here) {
            std::uint64_t x = (d[0] & 0x80) ? ~std::uint64_t{0} : 0;
            for (std::uint64_t i = 0; i < len; ++i)
                x = x << 8 | d[i];
            v.integer = static_cast<std::int64_t>(x);
        }
    } else if (t == 7) {
        v.kind = Value::Real;
        if (here) {
            std::uint64_t x = 0;
            for (int i = 0; i < 8; ++i)
                x = x << 8 | d[i];
            std::memcpy(&v.real, &x, sizeof x);
        }
    } else if (t == 8 || t == 9) {
        v.kind = Value::Integer;
        v.integer = t == 9;
    } else {
        v.kind = t % 2 ? Value::Text : Value::Blob;
        v.bytes = here ? d : nullptr;
        v.length = static_cast<std::size_t>(len);
    }
    return v;
}

void AppendUtf8(std::string& out, std::uint32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xc0 | u >> 6);
        out += static_cast<char>(0x80 | (u & 0x3f));
    } else if (u < 0x10000) {
        out += static_cast<char>(0xe0 | u >> 12);
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (u & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | u >> 18);
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (u & 0x3f));
    }
}

} // namespace

bool ParseCell(const Geometry& g, const unsigned char* page, std::uint32_t offset, PageType type, Cell& c) {
    const unsigned char* end = page + g.usable;
    const unsigned char* p = page + offset;
    if (offset >= g.usable)
        return false;
    if (IsInterior(type)) {
        if (p + 4 > end)
            return false;
        c.child = Get32(p);
        p += 4;
    }
    if (type == PageType::InteriorTable) {
        std::uint64_t key = 0;
        const int n = Varint(p, end, key);
        c.rowid = static_cast<std::int64_t>(key);
        return n > 0;
    }
    int n = Varint(p, end, c.payloadSize);
    if (!n || c.payloadSize > 0x7fffffff)
        return false;
    p += n;
    if (type == PageType::LeafTable) {
        std::uint64_t key = 0;
        n = Varint(p, end, key);
        if (!n)
            return false;
        c.rowid = static_cast<std::int64_t>(key);
        p += n;
    }
    c.local = LocalSize(g.usable, c.payloadSize, type == PageType::LeafTable);
    if (static_cast<std::uint64_t>(end - p) < c.local + (c.local < c.payloadSize ? 4 : 0))
        return false;
    c.payload = p;
    if (c.local < c.payloadSize) {
        c.overflow = Get32(p + c.local);
        if (c.overflow < 2 || c.overflow > g.pageCount)
            return false;
    }
    return true;
}

CellResult DecodeRecord(const Geometry& g, const unsigned char* data, std::uint64_t have, std::uint64_t total,
                        bool complete, std::vector<Value>& values) {
    values.clear();
    std::uint64_t headerSize = 0;
    const int n = Varint(data, data + have, headerSize);
    if (!n || headerSize < static_cast<std::uint64_t>(n) || headerSize > total)
        return CellResult::Bad;
    if (headerSize > have)
        return complete ? CellResult::Bad : CellResult::Ok;
    const unsigned char* h = data + n;
    const unsigned char* hend = data + headerSize;
    std::uint64_t body = headerSize;
    bool textOk = true;
    while (h < hend) {
        std::uint64_t t = 0;
        const int k = Varint(h, hend, t);
        if (!k || t == 10 || t == 11)
            return CellResult::Bad;
        h += k;
        static const int sizes[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
        const std::uint64_t len = t < 10 ? static_cast<std::uint64_t>(sizes[t]) : (t - 12) / 2;
        if (len > total || body + len > total)
            return CellResult::Bad;
        const Value v = ValueOf(t, data + body, len, body + len <= have);
        if (v.kind == Value::Text && v.bytes && !SoundText(g.textEncoding, v.bytes, v.length))
            textOk = false;
        body += len;
        values.push_back(v);
    }
    if (body != total)
        return CellResult::Bad;
    return textOk ? CellResult::Ok : CellResult::BadText;
}

std::string TextOf(const Geometry& g, const Value& v) {
    if (v.kind != Value::Text || !v.bytes)
        return {};
    if (g.textEncoding == 1)
        return std::string(reinterpret_cast<const char*>(v.bytes), v.length);
    std::string out; // names and SQL of a UTF-16 file, as UTF-8
    const bool be = g.textEncoding == 3;
    for (std::size_t i = 0; i + 1 < v.length; i += 2) {
        std::uint32_t u = Unit16(v.bytes + i, be);
        if (u >= 0xd800 && u <= 0xdbff && i + 3 < v.length) {
            const std::uint32_t lo = Unit16(v.bytes + i + 2, be);
            u = 0x10000 + ((u - 0xd800) << 10) + (lo - 0xdc00);
            i += 2;
        }
        AppendUtf8(out, u);
    }
    return out;
}

} // namespace quillet::standin::reader
