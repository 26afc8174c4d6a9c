#include "core/picture/jpeg_decoder.h"

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/exif.h"
#include "core/picture/resample.h"
#include "core/picture/upright_rows.h"

// jpeglib.h first: it brings jconfig.h, whose D_ARITH_CODING_SUPPORTED
// decides whether jerror.h numbers JWRN_ARITH_BAD_CODE (and so every code
// after it) as the library does.
extern "C" {
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
}

namespace orvane {
namespace {

// Past this many scans a progressive file only burns time: real encoders
// write about ten, hostile files thousands (each one a pass over the image).
constexpr int kMaxScans = 1000;

// Rows the decoder hands over at a time: one or two rows of MCUs, and few
// enough handovers between threads that their cost never shows.
constexpr int kBatchRows = 16;

// The DCT scaling leaves at least this much of the shrinking to the area
// average. A DCT-scaled pixel is the average of a whole block of the
// picture, so the resampler's spans snap to block edges and sharp edges
// spread: left a factor near 1, the resampler made wallpapers visibly softer
// than today's (on six photographs, differences up to 119 levels, mean up
// to 11); left a factor of 2, as libvips' shrink-on-load leaves for the same
// reason, up to 66 and a mean of at most 7, and only on edges. Below 1/2 the
// scales cost about the same to decode, the entropy decoding being most of
// it, so the factor costs time only where it means decoding at full size.
constexpr unsigned kResamplerShare = 2;

// Rows of slack between the two threads, in bytes of decoded rows, and
// never fewer than kMinSlackRows rows whatever the width.
constexpr std::int64_t kRingSlackBytes = 2 << 20;
constexpr int kMinSlackRows = 4 * kBatchRows;

// With two threads, a consumer short of rows sleeps until this many more
// than it has are decoded (or all it needs, when that is more).
constexpr int kWakeRows = 4 * kBatchRows;

// The two threads' contract. The ring holds the rows one destination row
// reads (at most MaxSourceRows), one batch and the slack. The decoder only
// writes whole batches, and only while they fit behind the oldest row the
// consumer keeps; the consumer sleeps while it has fewer rows than it
// needs, until `decoded + kWakeRows` are there. It has fewer than it needs,
// so decoded + kWakeRows < kept + MaxSourceRows + kWakeRows, and that many
// rows fit in the ring as long as kWakeRows <= slack + one batch. Past
// that, the consumer waits for rows the decoder has no room to write, and
// each sleeps for ever (a 6000 x 4000 picture to 1920 x 1080 does it).
// Both counts being whole batches keeps the bound exact.
static_assert(kWakeRows <= kMinSlackRows + kBatchRows, "the consumer would wait for rows the ring cannot hold");
static_assert(kWakeRows % kBatchRows == 0 && kMinSlackRows % kBatchRows == 0);

// Below this many decoded pixels a second thread costs more than it saves:
// its start, the handovers and the copy out of the ring, where one thread
// decodes a picture wanted at its decoded size straight into place. A
// 1920 x 1080 picture (2 MP) decoded faster on one thread in every run.
constexpr std::int64_t kThreadMinPixels = 1 << 22;

enum class Failure { None, Library, TooManyScans, TooLarge, Exception };

// libjpeg reports fatal errors through error_exit, which must not return
// (and OnMessage below raises the warnings that lose picture data there).
// It leaves by longjmp to the function that armed `jump` on the same
// thread (Prepare or DecodeRows below); only C frames and these callbacks
// (which own nothing) lie between, so no destructor is skipped.
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

// Warnings after which libjpeg goes on with part of the picture made up:
// it fills what it could not decode with zeros (grey, or a smear of the last
// good block) and still reports success. They are refused like errors:
// - JWRN_HIT_MARKER: a marker met inside the scan, the usual shape of a
//   file cut short and closed by an end marker (by a download or a copy
//   that stopped);
// - JWRN_JPEG_EOF: the input ended in the scan (only a source that pads
//   the end says so; ours fails first, this one is for safety);
// - JWRN_HUFF_BAD_CODE, JWRN_ARITH_BAD_CODE: scan data that is no code at
//   all, the rest of its segment is lost;
// - JWRN_MUST_RESYNC: a restart marker missing or out of place, the rows
//   up to the next one are lost or shifted.
// The others describe headers, not pixels, and stay tolerated as every
// viewer tolerates them: extra bytes before a marker (JWRN_EXTRANEOUS_DATA,
// common after editors), an unknown JFIF revision or Adobe transform, odd
// scan parameters (JWRN_NOT_SEQUENTIAL, JWRN_BOGUS_PROGRESSION: a scan sent
// twice), a damaged ICC block.
bool LosesPictureData(int code) {
    switch (code) {
        case JWRN_HIT_MARKER:
        case JWRN_JPEG_EOF:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
            return true;
        default:
            return false;
    }
}

// Level -1 is a warning, 0 and up trace output; none of it goes to stderr
// (a window program has none).
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && LosesPictureData(cinfo->err->msg_code)) OnError(cinfo);
}
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

// One decode: libjpeg's state and what was decided about the output. It is
// used by one thread at a time: the caller's for the headers, then the
// decoding thread's until that thread is joined.
struct Session {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    jpeg_source_mgr src{};
    jpeg_progress_mgr progress{};
    bool created = false;
    std::uint32_t refusedWidth = 0, refusedHeight = 0;  // of a picture refused for its size

    int orientation = kOrientationUpright;
    bool cmyk = false, direct = false;
    int width = 0, height = 0;  // decoded, as stored (after DCT scaling)

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

[[noreturn]] void Throw(const Session& s, Failure failure) {
    switch (failure) {
        case Failure::TooManyScans:
            throw Error(FormatMessage1("Fichier JPEG trop complexe (plus de %d passes)", kMaxScans));
        case Failure::TooLarge:
            throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                       std::to_string(s.refusedWidth) + " x " + std::to_string(s.refusedHeight)));
        default:
            throw Error(FormatMessage1("Erreur JPEG #%d", s.err.code));
    }
}

// The target in the stored picture's axes: 0 x 0 for the full size.
struct Target {
    int width = 0, height = 0;
};

// Headers, size check, colour space and DCT scale, on the calling thread.
// When `target` is set, the scale is the smallest of 1/8, 1/4, 1/2 and 1
// whose output is at least kResamplerShare times the target both ways.
// libjpeg-turbo has vector code for exactly these four; its other M/8
// scales run plain C and decode slower than the full size does.
Failure Prepare(Session& s, const std::uint8_t* data, std::size_t size, Target target) {
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
        s.refusedWidth = cinfo.image_width;
        s.refusedHeight = cinfo.image_height;
        return Failure::TooLarge;
    }
    s.orientation = JpegOrientation(data, size);

    s.cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (s.cmyk) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
#ifdef JCS_EXTENSIONS
        // libjpeg-turbo writes B, G, R, 255: Image32's own layout, so rows are
        // decoded in place with no conversion pass.
        cinfo.out_color_space = JCS_EXT_BGRA;
        s.direct = true;
#else
        cinfo.out_color_space = JCS_RGB;
#endif
    }

    cinfo.scale_num = 8;
    cinfo.scale_denom = 8;
    if (target.width > 0 && target.height > 0) {
        for (unsigned num : {1u, 2u, 4u}) {
            cinfo.scale_num = num;
            jpeg_calc_output_dimensions(&cinfo);
            if (cinfo.output_width >= static_cast<JDIMENSION>(kResamplerShare * target.width) &&
                cinfo.output_height >= static_cast<JDIMENSION>(kResamplerShare * target.height))
                break;
            cinfo.scale_num = 8;
        }
    }
    jpeg_calc_output_dimensions(&cinfo);
    s.width = static_cast<int>(cinfo.output_width);
    s.height = static_cast<int>(cinfo.output_height);
    return Failure::None;
}

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

class RowRing;

// Makes the destination rows, in order, as soon as their source rows are
// in the ring, and places them upright.
class Consumer {
public:
    Consumer(const RowResampler& resampler, UprightRows& upright)
        : resampler_(resampler), upright_(upright), scratch_(resampler.ScratchPixels(), 0),
          rows_(resampler.MaxSourceRows()) {}

    bool Finished() const { return next_ >= resampler_.Height(); }
    int RowsNeeded() const { return resampler_.EndSourceRow(next_); }
    // Source rows before this one are no longer needed.
    int FirstKept() const { return Finished() ? resampler_.SourceHeight() : resampler_.FirstSourceRow(next_); }

    void Drain(RowRing& ring, int decoded);

private:
    const RowResampler& resampler_;
    UprightRows& upright_;
    std::vector<std::uint32_t> scratch_;
    std::vector<const std::uint32_t*> rows_;
    int next_ = 0;
};

// The decoded rows between the decoder and the resampler: a ring of a few
// rows of the decoded width, never the picture. Row j lives in slot j mod
// the ring's size; the decoder may fill a slot once the consumer has passed
// the row that was there. With one thread the decoder drains it itself
// after every batch; with two, they wait for each other here, and each
// wakes the other only when what it waits for is there: a wake-up can cost
// more than a batch on a busy machine.
class RowRing {
public:
    // `consumer`: the one that drains the ring on the decoder's thread, or
    // none when a second thread does.
    RowRing(int width, int rows, Consumer* consumer)
        : width_(static_cast<std::size_t>(width)), rows_(rows), consumer_(consumer),
          pixels_(width_ * static_cast<std::size_t>(rows), 0) {}
    // No ring: the decoder writes each row where the picture keeps it, on
    // its own thread (a decode at the size wanted has nothing to resample).
    explicit RowRing(UprightRows& direct) : width_(0), rows_(0), consumer_(nullptr), direct_(&direct) {}

    int Rows() const { return rows_; }
    std::uint32_t* Row(int j) {
        return direct_ ? direct_->Row(j) : &pixels_[static_cast<std::size_t>(j % rows_) * width_];
    }

    // Decoder: may rows up to `end` (excluded) be written? False once the
    // consumer has stopped.
    bool WaitForRoom(int end) {
        if (consumer_ || direct_) return true;  // drained after each batch: the ring is sized for it
        std::unique_lock lock(mutex_);
        roomWanted_ = end;
        roomChanged_.wait(lock, [&] { return stopped_ || end <= released_ + rows_; });
        roomWanted_ = 0;
        return !stopped_;
    }

    // Decoder: rows before `end` are written. May throw with one thread
    // (the consumer's own errors).
    void Publish(int end) {
        if (direct_) {
            for (; published_ < end; ++published_) direct_->Done(published_);
            return;
        }
        if (consumer_) {
            consumer_->Drain(*this, end);
            return;
        }
        bool wake;
        {
            std::lock_guard lock(mutex_);
            decoded_ = end;
            wake = rowsWanted_ > 0 && decoded_ >= rowsWanted_;
        }
        if (wake) rowsChanged_.notify_one();
    }

    // Decoder: no more rows will come.
    void Finish() {
        if (consumer_ || direct_) return;
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        rowsChanged_.notify_one();
    }

    // Consumer: the number of rows written, at least `needed`; when fewer
    // are, sleeps until `wanted` (>= needed) are or the decoder has ended.
    // -1 when the decoder ended short of `needed`.
    int WaitForRows(int needed, int wanted) {
        std::unique_lock lock(mutex_);
        if (decoded_ < needed) {
            rowsWanted_ = wanted;
            rowsChanged_.wait(lock, [&] { return finished_ || decoded_ >= wanted; });
            rowsWanted_ = 0;
        }
        return decoded_ >= needed ? decoded_ : -1;
    }

    // Consumer: rows before `first` may be overwritten.
    void Release(int first) {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            if (first <= released_) return;
            released_ = first;
            wake = roomWanted_ > 0 && roomWanted_ <= released_ + rows_;
        }
        if (wake) roomChanged_.notify_one();
    }

    // Consumer: the decoder is to end as soon as it can.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        roomChanged_.notify_one();
    }

private:
    std::size_t width_;
    int rows_;
    Consumer* consumer_;
    UprightRows* direct_ = nullptr;
    int published_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::mutex mutex_;
    std::condition_variable rowsChanged_, roomChanged_;
    int decoded_ = 0, released_ = 0;
    int rowsWanted_ = 0, roomWanted_ = 0;  // what a sleeping side waits for, 0 when none sleeps
    bool finished_ = false, stopped_ = false;
};

void Consumer::Drain(RowRing& ring, int decoded) {
    while (!Finished() && RowsNeeded() <= decoded) {
        const int first = resampler_.FirstSourceRow(next_), end = resampler_.EndSourceRow(next_);
        for (int j = first; j < end; ++j) rows_[j - first] = ring.Row(j);
        resampler_.MakeRow(next_, rows_.data(), upright_.Row(next_), scratch_.data());
        upright_.Done(next_);
        ++next_;
    }
}

// Everything that may longjmp during the decoding happens here, on the
// thread that runs it; `s` and `ring` belong to the caller, so nothing of
// this frame is needed after a jump.
Failure DecodeRows(Session& s, RowRing& ring) {
    jpeg_decompress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump)) return s.err.failure;
    jpeg_start_decompress(&cinfo);
    if (static_cast<int>(cinfo.output_width) != s.width || static_cast<int>(cinfo.output_height) != s.height)
        ERREXIT(&cinfo, JERR_BAD_STATE);

    JSAMPARRAY converted = nullptr;
    if (!s.direct)
        converted = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               static_cast<JDIMENSION>(s.width * cinfo.output_components),
                                               kBatchRows);
    JSAMPROW rows[kBatchRows];
    while (cinfo.output_scanline < cinfo.output_height) {
        const int first = static_cast<int>(cinfo.output_scanline);
        const int n = std::min(kBatchRows, s.height - first);
        if (!ring.WaitForRoom(first + n)) {
            jpeg_abort_decompress(&cinfo);
            return Failure::None;
        }
        for (int i = 0; i < n; ++i)
            rows[i] = s.direct ? reinterpret_cast<JSAMPROW>(ring.Row(first + i)) : converted[i];
        while (static_cast<int>(cinfo.output_scanline) < first + n) {
            const int done = static_cast<int>(cinfo.output_scanline) - first;
            jpeg_read_scanlines(&cinfo, rows + done, static_cast<JDIMENSION>(n - done));
        }
        if (!s.direct) {
            for (int i = 0; i < n; ++i) {
                if (s.cmyk)
                    CmykToBgra(converted[i], ring.Row(first + i), s.width, cinfo.saw_Adobe_marker);
                else
                    RgbToBgra(converted[i], ring.Row(first + i), s.width);
            }
        }
        ring.Publish(first + n);
    }
    jpeg_finish_decompress(&cinfo);
    return Failure::None;
}

// The one stored row holding the upright top-left pixel: the first or the
// last, skipped to (which still runs the entropy decoding, but nothing
// after it); the pixel at column `column` of it lands in `pixel`.
Failure DecodeOneRow(Session& s, bool lastRow, int column, std::uint32_t& pixel) {
    jpeg_decompress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump)) return s.err.failure;
    jpeg_start_decompress(&cinfo);
    if (lastRow && cinfo.output_height > 1) jpeg_skip_scanlines(&cinfo, cinfo.output_height - 1);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);
    for (int tries = 0; jpeg_read_scanlines(&cinfo, row, 1) == 0; ++tries)
        if (tries > 8) ERREXIT(&cinfo, JERR_BAD_STATE);  // a decoder that makes no row
    const std::uint8_t* p = row[0] + static_cast<std::size_t>(column) * cinfo.output_components;
    if (s.direct) {
        pixel = 0xFF000000u | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
    } else if (s.cmyk) {
        CmykToBgra(p, &pixel, 1, cinfo.saw_Adobe_marker);
    } else {
        RgbToBgra(p, &pixel, 1);
    }
    jpeg_abort_decompress(&cinfo);
    return Failure::None;
}

bool UseSecondThread(DecodeThreads threads, const Session& s) {
    switch (threads) {
        case DecodeThreads::One: return false;
        case DecodeThreads::Two: return true;
        case DecodeThreads::Automatic: break;
    }
    return std::thread::hardware_concurrency() >= 2 &&
           static_cast<std::int64_t>(s.width) * s.height >= kThreadMinPixels;
}

// Decodes the prepared session through the resampler (which may keep the
// size) into the upright picture.
Image32 Run(Session& s, int storedWidth, int storedHeight, DecodeThreads threads, std::size_t spareWords) {
    Image32 out;
    const RowResampler resampler(s.width, s.height, storedWidth, storedHeight);
    // One thread drains the ring after every batch: a batch past what a
    // destination row reads is enough.
    const int ringRows = resampler.MaxSourceRows() + kBatchRows;

    if (UseSecondThread(threads, s)) {
        // Two run at uneven paces (the consumer first touches the picture's
        // pages, which can cost more than decoding into them): some slack
        // keeps the decoder from waiting on every batch.
        const int slack = std::max<int>(
            kMinSlackRows, static_cast<int>(std::min<std::int64_t>(kRingSlackBytes / (4 * std::int64_t{s.width}), s.height)));
        RowRing ring(s.width, ringRows + slack, nullptr);
        Failure failure = Failure::None;
        std::exception_ptr thrown;
        std::thread decoder;
        try {
            decoder = std::thread([&] {
                try {
                    failure = DecodeRows(s, ring);
                } catch (...) {
                    thrown = std::current_exception();
                    failure = Failure::Exception;
                }
                ring.Finish();
            });
        } catch (const std::system_error&) {
            // No thread to be had: the same work on this one.
        }
        if (decoder.joinable()) {
            bool complete = false;
            {
                // Whatever ends the consumer, the decoder is stopped and
                // joined before the ring and the session it uses go away.
                struct Join {
                    RowRing& ring;
                    std::thread& thread;
                    ~Join() {
                        ring.Stop();
                        thread.join();
                    }
                } join{ring, decoder};
                // The picture's memory is set up while the decoder runs.
                UprightRows upright(out, storedWidth, storedHeight, s.orientation, spareWords);
                Consumer consumer(resampler, upright);
                int decoded = 0;
                while (!consumer.Finished()) {
                    // Woken for a few batches at a time (see kWakeRows for
                    // why that always fits in the ring).
                    const int wanted = std::min({std::max(consumer.RowsNeeded(), decoded + kWakeRows),
                                                 consumer.FirstKept() + ring.Rows(), s.height});
                    decoded = ring.WaitForRows(consumer.RowsNeeded(), wanted);
                    if (decoded < 0) break;
                    consumer.Drain(ring, decoded);
                    ring.Release(consumer.FirstKept());
                }
                complete = consumer.Finished();
            }
            if (thrown) std::rethrow_exception(thrown);
            if (failure != Failure::None) Throw(s, failure);
            if (!complete) Throw(s, Failure::Library);  // the decoder ended early without saying why
            return out;
        }
    }
    // Room for the bitmap file's headers, should the picture become one.
    UprightRows upright(out, storedWidth, storedHeight, s.orientation, spareWords);
    if (s.width == storedWidth && s.height == storedHeight) {
        RowRing direct(upright);
        const Failure failure = DecodeRows(s, direct);
        if (failure != Failure::None) Throw(s, failure);
        return out;
    }
    Consumer consumer(resampler, upright);
    RowRing ring(s.width, ringRows, &consumer);
    const Failure failure = DecodeRows(s, ring);
    if (failure != Failure::None) Throw(s, failure);
    return out;
}

}  // namespace

Image32 DecodeJpeg(const std::uint8_t* data, std::size_t size, DecodeThreads threads) {
    Session s;
    const Failure failure = Prepare(s, data, size, Target{});
    if (failure != Failure::None) Throw(s, failure);
    return Run(s, s.width, s.height, threads, kBmpInPlaceSpareWords);
}

Image32 DecodeJpeg(const std::uint8_t* data, std::size_t size) {
    return DecodeJpeg(data, size, DecodeThreads::Automatic);
}

Image32 DecodeJpegToSize(const std::uint8_t* data, std::size_t size, int width, int height, DecodeThreads threads) {
    return DecodeJpegToSize(data, size, width, height, threads, kBmpInPlaceSpareWords);
}

Image32 DecodeJpegToSize(const std::uint8_t* data, std::size_t size, int width, int height, DecodeThreads threads,
                         std::size_t spareWords) {
    if (width <= 0 || height <= 0) return Image32();
    if (!PictureSizeAcceptable(width, height)) throw Error("Image trop grande");
    // The orientation is only known from the file: the target is turned
    // into the stored picture's axes once it is.
    Session s;
    const int orientation = JpegOrientation(data, size);
    const Target target = OrientationSwapsAxes(orientation) ? Target{height, width} : Target{width, height};
    const Failure failure = Prepare(s, data, size, target);
    if (failure != Failure::None) Throw(s, failure);
    return Run(s, target.width, target.height, threads, spareWords);
}

Image32 DecodeJpegToSize(const std::uint8_t* data, std::size_t size, int width, int height) {
    return DecodeJpegToSize(data, size, width, height, DecodeThreads::Automatic);
}

std::uint32_t DecodeJpegTopLeftPixel(const std::uint8_t* data, std::size_t size) {
    Session s;
    Failure failure = Prepare(s, data, size, Target{});
    if (failure != Failure::None) Throw(s, failure);
    // Upright (0, 0) is stored (0, 0) in 1 and 5, (W - 1, 0) in 2 and 8,
    // (W - 1, H - 1) in 3 and 7, (0, H - 1) in 4 and 6.
    const int o = s.orientation;
    const bool lastRow = o == 3 || o == 4 || o == 6 || o == 7;
    const bool lastColumn = o == 2 || o == 3 || o == 7 || o == 8;
    std::uint32_t pixel = 0;
    failure = DecodeOneRow(s, lastRow, lastColumn ? s.width - 1 : 0, pixel);
    if (failure != Failure::None) Throw(s, failure);
    return pixel;
}

JpegInfo ReadJpegInfo(const std::uint8_t* data, std::size_t size) {
    Session s;
    const Failure failure = Prepare(s, data, size, Target{});
    if (failure != Failure::None) Throw(s, failure);
    JpegInfo info;
    info.orientation = s.orientation;
    const bool swap = OrientationSwapsAxes(s.orientation);
    info.width = swap ? s.height : s.width;
    info.height = swap ? s.width : s.height;
    return info;
}

}  // namespace orvane
