// Plays metafiles through the platform's players for the Windows-side test
// that watches them (tests/win32/metafile_player_test.cpp): a fault in a
// player ends this process only. The test writes a batch of metafiles into
// one file; before each one this program writes its index into the test's
// shared progress word, and the batch's count at the end, so that the test
// knows which metafile was playing when the process ended or stopped.
//   metafile_player <batch file> <progress mapping name> <first index>
// Batch: per metafile, kind (0 enhanced, 1 Windows), width, height and byte
// count (32-bit little-endian), then the bytes.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "win32/dib_section.h"
#include "win32/handles.h"

namespace {

struct MetaFileTraits {
    static HMETAFILE Invalid() { return nullptr; }
    static void Close(HMETAFILE h) { ::DeleteMetaFile(h); }
};
using MetaFile = win::UniqueHandle<HMETAFILE, MetaFileTraits>;

struct ViewTraits {
    static void* Invalid() { return nullptr; }
    static void Close(void* v) { ::UnmapViewOfFile(v); }
};
using View = win::UniqueHandle<void*, ViewTraits>;

// A fault ends the process at once with its code: no debugger, no dialog.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* e) {
    ::TerminateProcess(::GetCurrentProcess(), e->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

// As the wallpaper changer plays them: an enhanced metafile straight, a
// Windows metafile converted with the picture's extent; then the Windows
// metafile through its own player too. One surface serves them all.
class Player {
public:
    void Play(std::uint32_t kind, int width, int height, const std::uint8_t* data, std::uint32_t size) {
        if (!surface_.Ensure(width, height)) return;
        const RECT target{0, 0, width, height};
        ::RestoreDC(surface_.dc(), -1);  // the state a previous metafile left
        ::SaveDC(surface_.dc());
        if (kind == 0) {
            win::EnhMetaFile emf(::SetEnhMetaFileBits(size, data));
            if (emf) ::PlayEnhMetaFile(surface_.dc(), emf.get(), &target);
            return;
        }
        METAFILEPICT picture{MM_ANISOTROPIC, ::MulDiv(width, 2540, 96), ::MulDiv(height, 2540, 96), nullptr};
        win::EnhMetaFile converted(::SetWinMetaFileBits(size, data, screen_.get(), &picture));
        if (converted) ::PlayEnhMetaFile(surface_.dc(), converted.get(), &target);
        MetaFile wmf(::SetMetaFileBitsEx(size, data));
        if (wmf) ::PlayMetaFile(surface_.dc(), wmf.get());
    }

private:
    win::DibSurface surface_;
    win::WindowDc screen_{nullptr};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(EndOnFault);

    win::FileHandle file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER length{};
    if (!file || !::GetFileSizeEx(file.get(), &length)) return 3;
    std::vector<std::uint8_t> batch(static_cast<std::size_t>(length.QuadPart));
    DWORD read = 0;
    if (!batch.empty() && (!::ReadFile(file.get(), batch.data(), static_cast<DWORD>(batch.size()), &read, nullptr) ||
                           read != batch.size()))
        return 3;

    win::Handle mapping(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, argv[2]));
    View view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(LONG)) : nullptr);
    if (!view) return 4;
    auto* progress = static_cast<volatile LONG*>(view.get());
    const long first = std::wcstol(argv[3], nullptr, 10);

    Player player;
    long index = 0;
    for (std::size_t at = 0; at + 16 <= batch.size(); ++index) {
        const std::uint32_t kind = U32(batch, at), size = U32(batch, at + 12);
        const int width = static_cast<int>(U32(batch, at + 4)), height = static_cast<int>(U32(batch, at + 8));
        if (size > batch.size() - at - 16) return 5;
        if (index >= first) {
            ::InterlockedExchange(progress, index);
            player.Play(kind, width, height, batch.data() + at + 16, size);
        }
        at += 16 + size;
    }
    ::InterlockedExchange(progress, index);
    return 0;
}
