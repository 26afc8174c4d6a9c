#pragma once
// The wallpaper model's files on Windows: pictures decoded through the
// program's decoders, folders searched with the system's wildcards, the list
// file replaced atomically and written in the ANSI code page when it can be.
#include <string>

#include "core/wallpaper/wallpaper_services.h"

namespace orvane {

// The system's ANSI code page (Windows-1252 on a French system).
class WindowsAnsiCodec : public AnsiCodec {
public:
    bool Encode(std::string_view utf8, std::string& ansi) const override;
    std::string Decode(std::string_view ansi) const override;
};

class WindowsPictureFiles : public PictureFiles {
public:
    bool IsFile(const std::string& path) override;
    bool NothingAt(const std::string& path) override;
    bool IsFolder(const std::string& path) override;
    bool VolumeAvailable(const std::string& root) override;
    void RemoveFile(const std::string& path) override;
    std::vector<std::string> FindMatching(const std::string& folder, const std::string& pattern) override;
    Image32 Decode(const std::string& path) override;
    Image32 DecodeWithin(const std::string& path, int maxWidth, int maxHeight, PictureHeader& header) override;
    Image32 DecodeWithinRoom(const std::string& path, int maxWidth, int maxHeight, PictureHeader& header,
                             std::size_t spareWords) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, std::string_view bytes) override;
    // piclist.cfg beside the program, or in the user's roaming application
    // data when the program's folder cannot be written (Program Files).
    std::string DefaultListFileName() override;
    const AnsiCodec& ListCodec() override { return codec_; }

private:
    WindowsAnsiCodec codec_;
};

}  // namespace orvane
