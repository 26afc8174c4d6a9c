// The picture list of the real program: removal through the window, the
// "Appliquer" rule, and every picture format applied at its natural size,
// with the errors of the formats that cannot be read.
#include <windows.h>

#include <gtest/gtest.h>


#include "e2e/wallpaper_fixture.h"
#include "support/jpeg_writer.h"
#include "../../fuzz/metafile_seeds.h"

namespace e2e {
namespace {

// A grey JPEG of the given size.
std::string MakeJpeg(int width, int height) {
    const test_jpeg::Bytes file = test_jpeg::EncodeJpeg(width, height, [](int, int) { return 0x808080u; }, {.quality = 75});
    return std::string(file.begin(), file.end());
}

// A 16 x 16, 32-bit icon file.
std::string MakeIcon() {
    const int n = 16;
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = n;
    ih.biHeight = n * 2;  // colour and mask
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    std::string image(reinterpret_cast<char*>(&ih), sizeof(ih));
    for (int i = 0; i < n * n; ++i) image += std::string("\x20\x80\xE0\xFF", 4);
    image += std::string(static_cast<std::size_t>(n) * 4, '\0');  // AND mask: rows of 4 bytes
    std::string file("\0\0\1\0\1\0", 6);
    unsigned char entry[16] = {n, n, 0, 0, 1, 0, 32, 0};
    const DWORD size = static_cast<DWORD>(image.size()), offset = 6 + 16;
    memcpy(entry + 8, &size, 4);
    memcpy(entry + 12, &offset, 4);
    file.append(reinterpret_cast<char*>(entry), 16);
    return file + image;
}

bool MakeMetafiles(const std::wstring& emf, const std::wstring& wmf) {
    RECT frame{0, 0, 2000, 1000};  // 20 x 10 mm
    HDC e = ::CreateEnhMetaFileW(nullptr, emf.c_str(), &frame, nullptr);
    if (!e) return false;
    ::Rectangle(e, 0, 0, 60, 30);
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(e));
    HDC w = ::CreateMetaFileW(wmf.c_str());
    if (!w) return false;
    ::SetWindowExtEx(w, 60, 30, nullptr);
    ::Rectangle(w, 0, 0, 60, 30);
    ::DeleteMetaFile(::CloseMetaFile(w));
    return true;
}

class PictureListTest : public WallpaperTest {
protected:
    HWND StartWithList(const std::vector<std::wstring>& names) {
        std::vector<std::wstring> paths;
        for (const auto& n : names) paths.push_back(pictures_ + n);
        WriteList(paths);
        PlainSettings(L"1");  // centred: the picture's own size
        Start(L"/afficher");
        HWND main = WaitMainWindow(15000);
        // The start-up change may have failed on an unreadable first entry.
        if (WaitForMessageBox(app_.Id(), kAppTitle, 500)) AcceptMessageBox();
        return main;
    }
    // A click on item `index` as the user makes it, posted to the other process.
    void ClickItem(HWND main, int index, WPARAM keys = 0) {
        HWND list = ListBox(main);
        const int itemHeight = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        const LPARAM at = MAKELPARAM(10, index * itemHeight + itemHeight / 2);
        ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
        ::PostMessageW(list, WM_LBUTTONUP, keys, at);
        ::Sleep(150);
    }
};

TEST_F(PictureListTest, RemovingTheSelectionThroughTheWindowKeepsTheOthersInOrder) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= 6; ++i) {
        names.push_back(L"image" + std::to_wstring(i) + L".bmp");
        ASSERT_TRUE(WriteSolidBmp(pictures_ + names.back(), 4, 4, 0x101010 * i));
    }
    HWND main = StartWithList(names);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(Button(main, L"Appliquer")));
    ClickItem(main, 1);
    EXPECT_TRUE(::IsWindowEnabled(Button(main, L"Appliquer")));
    ClickItem(main, 2, MK_CONTROL);
    EXPECT_FALSE(::IsWindowEnabled(Button(main, L"Appliquer")));
    ClickItem(main, 4, MK_CONTROL);
    Click(Button(main, L"Supprimer sélection"));
    ASSERT_TRUE(WaitFor([&] { return ListCount(main) == 3; }, 5000));
    EXPECT_EQ(ListItems(main), (std::vector<std::wstring>{L"image1.bmp", L"image4.bmp", L"image6.bmp"}));
    const std::string folder(pictures_.begin(), pictures_.end());
    EXPECT_TRUE(WaitFor([&] {
        return ReadBytes(ListFile()) ==
               folder + "image1.bmp\r\n" + folder + "image4.bmp\r\n" + folder + "image6.bmp\r\n";
    }, 5000));
}

TEST_F(PictureListTest, EveryFormatIsAppliedAtItsNaturalSizeAndUnreadableOnesSayWhy) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"carte.bmp", 37, 23, 0x3366CC));
    ASSERT_TRUE(WriteBytes(pictures_ + L"photo.JPG", MakeJpeg(45, 31)));
    ASSERT_TRUE(WriteBytes(pictures_ + L"icône.ico", MakeIcon()));
    ASSERT_TRUE(MakeMetafiles(pictures_ + L"dessin.emf", pictures_ + L"vieux.wmf"));
    ASSERT_TRUE(WriteBytes(pictures_ + L"scan.pcx", "\x0A\x05\x01\x08"));
    ASSERT_TRUE(WriteBytes(pictures_ + L"cassée.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11) +
                                                         std::string(64, '\x55')));
    HWND main = StartWithList(
        {L"carte.bmp", L"photo.JPG", L"icône.ico", L"dessin.emf", L"vieux.wmf", L"scan.pcx", L"cassée.jpg"});
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(ListCount(main), 7);

    struct Expect {
        int index;
        int width, height;  // 0: any non-empty size
    };
    for (const Expect& e : {Expect{0, 37, 23}, Expect{1, 45, 31}, Expect{2, 16, 16}, Expect{3, 0, 0},
                            Expect{4, 0, 0}}) {
        ::DeleteFileW(ComposedWallpaperPath().c_str());
        ClickItem(main, e.index);
        Click(Button(main, L"Appliquer"));
        ASSERT_TRUE(WaitFor([] { return BitmapSize(ComposedWallpaperPath()).has_value(); }, 5000)) << e.index;
        const SIZE size = *BitmapSize(ComposedWallpaperPath());
        if (e.width) {
            EXPECT_EQ(size.cx, e.width) << e.index;
            EXPECT_EQ(size.cy, e.height) << e.index;
        } else {
            EXPECT_GT(size.cx, 0);
            EXPECT_GT(size.cy, 0);
        }
    }

    ClickItem(main, 5);
    Click(Button(main, L"Appliquer"));
    EXPECT_EQ(AcceptMessageBox(), L"Extension de fichier graphique inconnue (.pcx)");
    ClickItem(main, 6);
    Click(Button(main, L"Appliquer"));
    const std::wstring jpegError = AcceptMessageBox();
    EXPECT_EQ(jpegError.rfind(L"Erreur JPEG #", 0), 0u) << std::string(jpegError.begin(), jpegError.end());
    EXPECT_GT(jpegError.size(), wcslen(L"Erreur JPEG #"));
    EXPECT_TRUE(app_.Running());
}

// Pictures that once killed the program or showed half a picture: each one,
// as the only picture of the list, is refused at start with the error box,
// and the program runs on.
TEST_F(PictureListTest, AHostilePictureAloneInTheListGivesAnErrorBoxAtStartAndTheProgramRunsOn) {
    const std::vector<std::uint8_t> gradient = metafile_seeds::GradientFillEmf(1u << 22);
    ASSERT_TRUE(WriteBytes(pictures_ + L"dégradé.emf", std::string(gradient.begin(), gradient.end())));
    std::uint32_t grain = 7;
    const test_jpeg::Bytes photo = test_jpeg::EncodeJpeg(320, 240, [&](int x, int y) {
        grain = grain * 1103515245u + 12345u;
        return ((x * 255 / 320) << 16) | ((y * 255 / 240) << 8) | (grain >> 24);
    });
    const test_jpeg::Bytes cut = test_jpeg::CutWithEndMarker(photo, 0.6);
    ASSERT_TRUE(WriteBytes(pictures_ + L"coupée.jpg", std::string(cut.begin(), cut.end())));
    struct Case {
        const wchar_t* name;
        const wchar_t* errorStart;
    };
    for (const Case& c : {Case{L"dégradé.emf", L"Métafichier incorrect"}, Case{L"coupée.jpg", L"Erreur JPEG #"}}) {
        WriteList({pictures_ + c.name});
        PlainSettings(L"2");
        Start();
        const std::wstring error = AcceptMessageBox(15000);
        EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << std::string(error.begin(), error.end());
        ::Sleep(500);
        EXPECT_TRUE(app_.Running()) << std::string(c.name, c.name + wcslen(c.name));
        app_.Kill();
    }
}

}  // namespace
}  // namespace e2e
