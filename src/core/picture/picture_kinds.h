#pragma once
// The kinds of picture files the wallpaper changer knows, in one table: the
// decoder each extension goes to, and the lists that offer it (the open
// dialog's filter, the folder search). Some kinds are offered but have no
// decoder (".pcx"): such a file is refused when it is loaded, with
// "Extension de fichier graphique inconnue (.%s)".
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

enum class PictureDecoder { None, Bmp, Jpeg, Icon, EnhancedMetafile, WindowsMetafile };

struct PictureKind {
    std::string_view extension;  // lower case, without the point
    PictureDecoder decoder;
    // The entry of its own in the open dialog ("Bitmaps"), empty for none.
    std::string_view filterLabel;
    // Place in the folder search (1 first), 0 when a folder search skips it.
    int folderSearchRank;
};

const std::vector<PictureKind>& PictureKinds();

// The decoder for an extension (any case, without the point); None for an
// extension that is not in the table.
PictureDecoder DecoderForExtension(std::string_view extension);

// The open dialog's filter as "label|patterns|label|patterns...".
std::string OpenDialogFilter();

// The folder search's patterns ("*.bmp"), in the order they are searched.
std::vector<std::string> FolderSearchPatterns();

}  // namespace orvane
