// libFuzzer target: the enhanced and Windows metafile checks. Any input is
// refused with the program's Error, or accepted with a description the
// platform's player can rely on: lengths inside the input, a record chain
// that ends inside them, a natural size the program can allocate. Run with
// ORVANE_FUZZ_SEEDS=<folder> set, it writes small sound metafiles there as
// seeds and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/picture/byte_reader.h"
#include "core/error.h"
#include "core/picture/image.h"
#include "core/picture/metafile_check.h"
#include "fuzz_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An independent walk of the records from `at`: each record inside `r`,
// the chain closed by an end record (EMR_EOF, or function 0 of a WMF).
bool ChainEnds(const orvane::ByteReader& r, std::uint64_t at, bool emf) {
    while (r.Has(at, emf ? 8 : 6)) {
        const std::uint64_t size = emf ? r.U32(at + 4) : std::uint64_t{r.U32(at)} * 2;
        const std::uint32_t type = emf ? r.U32(at) : r.U16(at + 4);
        if (size < (emf ? 8u : 6u) || !r.Has(at, size)) return false;
        if (type == (emf ? 14u : 0u)) return true;
        at += size;
    }
    return false;
}

bool Drawable(const orvane::MetafileSize& s) {
    return s.width > 0 && s.height > 0 && orvane::PictureSizeAcceptable(s.width, s.height);
}

void CheckEmfInput(const std::uint8_t* data, std::size_t size) {
    orvane::EmfInfo info;
    try {
        info = orvane::CheckEmf(orvane::ByteReader(data, size), "fuzz.emf");
    } catch (const orvane::Error&) {
        return;
    }
    FUZZ_CHECK(info.bytes >= 88 && info.bytes <= size);
    FUZZ_CHECK(ChainEnds(orvane::ByteReader(data, info.bytes), 0, true));
    // Only the header's length is the metafile: cut there, it is judged alike.
    const orvane::EmfInfo cut = orvane::CheckEmf(orvane::ByteReader(data, info.bytes), "fuzz.emf");
    FUZZ_CHECK(cut.bytes == info.bytes && cut.natural.width == info.natural.width &&
               cut.natural.height == info.natural.height);
    bool accepted = true;
    try {
        orvane::CheckMetafileSize(info.natural, "fuzz.emf");
    } catch (const orvane::Error&) {
        accepted = false;
    }
    FUZZ_CHECK(accepted == Drawable(info.natural));
}

void CheckWmfInput(const std::uint8_t* data, std::size_t size, int dpi) {
    orvane::WmfInfo info;
    try {
        info = orvane::CheckWmf(orvane::ByteReader(data, size), "fuzz.wmf", dpi);
    } catch (const orvane::Error&) {
        return;
    }
    FUZZ_CHECK(info.offset == (info.placeable ? 22u : 0u));
    FUZZ_CHECK(info.offset + info.bytes == size);
    FUZZ_CHECK(Drawable(info.natural));
    FUZZ_CHECK(ChainEnds(orvane::ByteReader(data + info.offset, info.bytes), 18, false));
    // The records judged alike without the placeable header; only the size
    // may then be missing or different.
    if (info.placeable) {
        try {
            orvane::CheckWmf(orvane::ByteReader(data + info.offset, info.bytes), "fuzz.wmf", dpi);
        } catch (const orvane::Error& e) {
            const std::string what = e.what();
            FUZZ_CHECK(what == "Le métafichier fuzz.wmf n'a pas de dimensions" ||
                       what.rfind("Image trop grande (", 0) == 0);
        }
    }
}

// ---- seeds -----------------------------------------------------------------------

void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Add(Bytes& b, std::initializer_list<std::uint32_t> values, int bytes) {
    for (std::uint32_t v : values) {
        b.resize(b.size() + bytes);
        Put(b, b.size() - bytes, v, bytes);
    }
}

// 2 x 2 pixels at 24 bits: an info header and two padded rows.
Bytes PackedDib() {
    Bytes b;
    Add(b, {40, 2, 2}, 4), Add(b, {1, 24}, 2), Add(b, {0, 16, 0, 0, 0, 0}, 4);
    b.resize(b.size() + 16, 0x7F);
    return b;
}

Bytes Emf(bool withRecords) {
    Bytes b(88, 0);
    Put(b, 0, 1, 4), Put(b, 4, 88, 4), Put(b, 16, 39, 4), Put(b, 20, 29, 4), Put(b, 32, 1000, 4), Put(b, 36, 750, 4);
    Put(b, 40, 0x464D4520u, 4), Put(b, 44, 0x10000, 4), Put(b, 56, 3, 2);
    Put(b, 72, 1000, 4), Put(b, 76, 1000, 4), Put(b, 80, 250, 4), Put(b, 84, 250, 4);
    auto record = [&](std::uint32_t type, const Bytes& body) {
        Add(b, {type, static_cast<std::uint32_t>(8 + body.size())}, 4);
        b.insert(b.end(), body.begin(), body.end());
    };
    auto words = [](std::initializer_list<std::uint32_t> v) {
        Bytes w;
        Add(w, v, 4);
        return w;
    };
    if (withRecords) {
        record(39, words({1, 0, 0xFF, 0}));                 // CREATEBRUSHINDIRECT
        record(37, words({1}));                             // SELECTOBJECT
        record(37, words({0x80000008u}));                   // a stock pen
        record(43, words({0, 0, 40, 30}));                  // RECTANGLE
        record(4, words({0, 0, 39, 29, 2, 0, 0, 39, 29}));  // POLYLINE
        Bytes blt = words({0, 0, 39, 29, 0, 0, 2, 2, 0x00CC0020u, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 40, 140, 16});
        const Bytes dib = PackedDib();
        blt.insert(blt.end(), dib.begin(), dib.end());
        record(76, blt);                                    // BITBLT
        Bytes text = words({0, 0, 39, 29, 1, 0, 0, 5, 5, 3, 76, 0, 0, 0, 0, 0, 84, 0x00620061, 0x63, 8, 8, 8});
        record(84, text);                                   // EXTTEXTOUTW
        Bytes rgn = words({0, 0, 39, 29, 48, 1, 32, 1, 1, 16, 0, 0, 10, 10, 0, 0, 10, 10});
        record(71, rgn);                                    // FILLRGN
        record(40, words({1}));                             // DELETEOBJECT
    }
    record(14, words({0, 16, 20}));                         // EOF
    Put(b, 48, static_cast<std::uint32_t>(b.size()), 4);
    return b;
}

Bytes Wmf(bool placeable) {
    Bytes b(18, 0);
    Put(b, 0, 1, 2), Put(b, 2, 9, 2), Put(b, 4, 0x300, 2), Put(b, 10, 2, 2);
    auto record = [&](std::uint16_t function, std::initializer_list<std::uint32_t> params) {
        Add(b, {static_cast<std::uint32_t>(3 + params.size())}, 4);
        Add(b, {function}, 2);
        Add(b, params, 2);
    };
    record(0x020B, {0, 0});                      // SETWINDOWORG
    record(0x020C, {30, 40});                    // SETWINDOWEXT
    record(0x02FC, {0, 0xFF, 0, 0});             // CREATEBRUSHINDIRECT
    record(0x012D, {0});                         // SELECTOBJECT
    record(0x041B, {30, 40, 0, 0});              // RECTANGLE
    record(0x0324, {3, 0, 0, 10, 0, 10, 10});    // POLYGON
    record(0x0521, {3, 0x6261, 0x63, 5, 5});     // TEXTOUT
    record(0x06FF, {0, 6, 0, 0, 0, 1, 0, 0, 0, 10, 10, 2, 0, 5, 0, 10, 2});  // CREATEREGION
    record(0x0228, {1, 0});                      // FILLREGION
    const Bytes dib = PackedDib();
    const std::size_t at = b.size();
    record(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0});  // STRETCHDIB, bitmap below
    b.insert(b.end(), dib.begin(), dib.end());
    Put(b, at, static_cast<std::uint32_t>((b.size() - at) / 2), 4);
    record(0x01F0, {0});                         // DELETEOBJECT
    record(0x0000, {});                          // end
    Put(b, 6, static_cast<std::uint32_t>(b.size() / 2), 4);
    if (!placeable) return b;
    Bytes h(22, 0);
    Put(h, 0, 0x9AC6CDD7u, 4), Put(h, 10, 40, 2), Put(h, 12, 30, 2), Put(h, 14, 96, 2);
    h.insert(h.end(), b.begin(), b.end());
    return h;
}

void WriteSeeds(const std::string& folder) {
    const struct {
        const char* name;
        Bytes bytes;
        bool emf;
    } seeds[] = {{"minimal.emf", Emf(false), true},
                 {"records.emf", Emf(true), true},
                 {"plain.wmf", Wmf(false), false},
                 {"placeable.wmf", Wmf(true), false}};
    for (const auto& seed : seeds) {
        // Each seed must pass, or it would seed nothing but refusals.
        const orvane::ByteReader reader(seed.bytes.data(), seed.bytes.size());
        if (seed.emf)
            orvane::CheckMetafileSize(orvane::CheckEmf(reader, seed.name).natural, seed.name);
        else
            orvane::CheckWmf(reader, seed.name, 96);
        const std::string path = folder + "/" + seed.name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        FUZZ_CHECK(f != nullptr);
        FUZZ_CHECK(std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), f) == seed.bytes.size());
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("ORVANE_FUZZ_SEEDS")) {
        try {
            WriteSeeds(folder);
        } catch (const orvane::Error& e) {
            std::fprintf(stderr, "seed refused: %s\n", e.what());
            std::exit(1);
        }
        std::_Exit(0);  // no leak report on the way out: nothing was fuzzed
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckEmfInput(data, size);
    CheckWmfInput(data, size, 96);
    CheckWmfInput(data, size, 144);
    return 0;
}
