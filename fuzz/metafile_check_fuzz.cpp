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
#include "metafile_seeds.h"

namespace {

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

void WriteSeeds(const std::string& folder) {
    using namespace metafile_seeds;
    const struct {
        const char* name;
        Bytes bytes;
        bool emf;
    } seeds[] = {{"minimal.emf", EmfBuilder().Finish(), true},
                 {"records.emf", EveryEmfRecord(), true},
                 {"gradient.emf", GradientFillEmf(1), true},  // the shape of a fill that claims more vertices
                 {"records.wmf", EveryWmfRecord().Finish(), false},
                 {"placeable.wmf", EveryWmfRecord().Placeable(), false}};
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
