#include "core/picture/picture_kinds.h"

#include <algorithm>

namespace orvane {

const std::vector<PictureKind>& PictureKinds() {
    static const std::vector<PictureKind> kinds = {
        {"jpg", PictureDecoder::Jpeg, "", 2},
        {"jpeg", PictureDecoder::Jpeg, "", 0},
        {"bmp", PictureDecoder::Bmp, "Bitmaps", 1},
        {"ico", PictureDecoder::Icon, "", 0},
        {"emf", PictureDecoder::EnhancedMetafile, "", 0},
        {"wmf", PictureDecoder::WindowsMetafile, "", 0},
        {"pcx", PictureDecoder::None, "PCX", 3},
    };
    return kinds;
}

PictureDecoder DecoderForExtension(std::string_view extension) {
    std::string lower(extension);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const PictureKind& k : PictureKinds())
        if (k.extension == lower) return k.decoder;
    return PictureDecoder::None;
}

std::string OpenDialogFilter() {
    // The first entry offers every kind that decodes; users have always seen
    // the JPEG extensions twice in it, and its text is kept as they know it.
    std::string jpeg, others;
    for (const PictureKind& k : PictureKinds()) {
        if (k.decoder == PictureDecoder::None) continue;
        std::string& part = k.decoder == PictureDecoder::Jpeg ? jpeg : others;
        part += "*." + std::string(k.extension) + ";";
    }
    std::string all = jpeg + jpeg + others;
    all.pop_back();
    std::string filter = "Tout (" + all + ")|" + all;
    for (const PictureKind& k : PictureKinds())
        if (!k.filterLabel.empty()) {
            const std::string pattern = "*." + std::string(k.extension);
            filter += "|" + std::string(k.filterLabel) + " (" + pattern + ")|" + pattern;
        }
    return filter;
}

std::vector<std::string> FolderSearchPatterns() {
    std::vector<const PictureKind*> searched;
    for (const PictureKind& k : PictureKinds())
        if (k.folderSearchRank > 0) searched.push_back(&k);
    std::sort(searched.begin(), searched.end(),
              [](const PictureKind* a, const PictureKind* b) { return a->folderSearchRank < b->folderSearchRank; });
    std::vector<std::string> patterns;
    for (const PictureKind* k : searched) patterns.push_back("*." + std::string(k->extension));
    return patterns;
}

}  // namespace orvane
