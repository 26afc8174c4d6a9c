#include "core/jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it
#include <string>

#include "core/error.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace orvane {
namespace {

// Past this many scans a progressive file only burns time: real encoders
// write about ten, hostile files thousands (each one a pass over the image).
constexpr int kMaxScans = 1000;

enum class Failure { None, Library, TooManyScans, TooLarge };

// libjpeg reports fatal errors through error_exit, which must not return.
// It leaves by longjmp to DecodeInto below; only C frames and these
// callbacks (which own nothing) lie between, so no destructor is skipped.
struct ErrorManager {
    jpeg_error_mgr pub;  // first: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf jump;
    Failure failure = Failure::None;
    int code = 0;
};

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->failure = Failure::Library;
    err->code = cinfo->err->msg_code;
    std::longjmp(err->jump, 1);
}

// Warnings (and trace output) would go to stderr: a window program has none.
void OnMessage(j_common_ptr, int) {}
void OnOutput(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->is_decompressor && d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        err->failure = Failure::TooManyScans;
        std::longjmp(err->jump, 1);
    }
}

// A memory source whose end is an error: the stock one pads a truncated
// file with an end marker and hands back a half-grey picture as if all
// were well.
void InitSource(j_decompress_ptr) {}
boolean FillInput(j_decompress_ptr cinfo) {
    ERREXIT(cinfo, JERR_INPUT_EOF);
    return FALSE;
}
void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) ERREXIT(cinfo, JERR_INPUT_EOF);
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}
void TermSource(j_decompress_ptr) {}

struct Session {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    jpeg_source_mgr src{};
    jpeg_progress_mgr progress{};
    bool created = false;
    std::uint32_t width = 0, height = 0;  // of a picture refused for its size

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

void CmykToBgra(const std::uint8_t* cmyk, std::uint32_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4) {
        // Adobe writes CMYK inverted (0 = full ink); others write it plain.
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        const std::uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

void RgbToBgra(const std::uint8_t* rgb, std::uint32_t* out, int width) {
    for (int x = 0; x < width; ++x, rgb += 3)
        out[x] = 0xFF000000u | (static_cast<std::uint32_t>(rgb[0]) << 16) | (static_cast<std::uint32_t>(rgb[1]) << 8) | rgb[2];
}

// Everything that may longjmp happens here; `s` and `out` belong to the
// caller, so nothing of this frame is needed after a jump.
Failure DecodeInto(Session& s, const std::uint8_t* data, std::size_t size, Image32& out) {
    jpeg_decompress_struct& cinfo = s.cinfo;
    cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = OnError;
    s.err.pub.emit_message = OnMessage;
    s.err.pub.output_message = OnOutput;
    if (setjmp(s.err.jump)) return s.err.failure;

    jpeg_create_decompress(&cinfo);
    s.created = true;
    if (size == 0) ERREXIT(&cinfo, JERR_INPUT_EMPTY);
    s.src.next_input_byte = data;
    s.src.bytes_in_buffer = size;
    s.src.init_source = InitSource;
    s.src.fill_input_buffer = FillInput;
    s.src.skip_input_data = SkipInput;
    s.src.resync_to_restart = jpeg_resync_to_restart;
    s.src.term_source = TermSource;
    cinfo.src = &s.src;
    s.progress.progress_monitor = OnProgress;
    cinfo.progress = &s.progress;

    jpeg_read_header(&cinfo, TRUE);
    // Refused before libjpeg allocates anything of the picture's size.
    if (!PictureSizeAcceptable(cinfo.image_width, cinfo.image_height)) {
        s.width = cinfo.image_width;
        s.height = cinfo.image_height;
        return Failure::TooLarge;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    bool direct = false;
    if (cmyk) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
#ifdef JCS_EXTENSIONS
        // libjpeg-turbo writes B, G, R, 255: Image32's own layout, so rows are
        // decoded in place with no conversion pass.
        cinfo.out_color_space = JCS_EXT_BGRA;
        direct = true;
#else
        cinfo.out_color_space = JCS_RGB;
#endif
    }
    jpeg_start_decompress(&cinfo);

    // Zeroed (a memset) rather than filled: every pixel is written by the
    // decoder, and a fill loop over 24 megapixels costs a third of a decode.
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    const int width = out.width;
    if (direct) {
        JSAMPROW rows[16];
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION first = cinfo.output_scanline;
            const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - first);
            for (JDIMENSION i = 0; i < n; ++i)
                rows[i] = reinterpret_cast<JSAMPROW>(&out.pixels[static_cast<std::size_t>(first + i) * width]);
            jpeg_read_scanlines(&cinfo, rows, n);
        }
    } else {
        const int components = cinfo.output_components;
        JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                       static_cast<JDIMENSION>(width * components), 1);
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION y = cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, buffer, 1);
            std::uint32_t* row = &out.pixels[static_cast<std::size_t>(y) * width];
            if (cmyk)
                CmykToBgra(buffer[0], row, width, cinfo.saw_Adobe_marker);
            else
                RgbToBgra(buffer[0], row, width);
        }
    }
    jpeg_finish_decompress(&cinfo);
    return Failure::None;
}

}  // namespace

Image32 DecodeJpeg(const std::uint8_t* data, std::size_t size) {
    Session session;
    Image32 image;
    switch (DecodeInto(session, data, size, image)) {
        case Failure::Library:
            throw Error(FormatMessage1("Erreur JPEG #%d", session.err.code));
        case Failure::TooManyScans:
            throw Error(FormatMessage1("Fichier JPEG trop complexe (plus de %d passes)", kMaxScans));
        case Failure::TooLarge:
            throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                       std::to_string(session.width) + " x " + std::to_string(session.height)));
        case Failure::None:
            break;
    }
    return image;
}

}  // namespace orvane
