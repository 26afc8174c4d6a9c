#pragma once
// Picture files decoded into plain 32-bit pixels of their own size. Bitmaps,
// icons and metafiles are checked in the core, then drawn by the platform;
// JPEG is decoded by the core.
#include <cstdint>
#include <string>

#include "core/picture/image.h"

namespace orvane {

// Decodes a picture file by its extension (letter case ignored): ".bmp",
// ".jpg"/".jpeg", ".ico", ".emf", ".wmf". Every pixel comes out opaque.
// Throws Error with the French text ("Extension de fichier graphique
// inconnue (.%s)", "Le fichier %s est vide", "Erreur JPEG #%d", ...).
Image32 DecodePictureFile(const std::wstring& path);

// The picture no larger than maxWidth x maxHeight: a side longer than its
// limit is shrunk to it, the others stay. A JPEG larger than the limits is
// decoded at a reduced scale straight to that size, never at its own. The
// picture's own size and its top-left pixel (0xAARRGGBB, upright) come back
// in the next three arguments. A JPEG decoded to a size keeps capacity for
// `spareWords` more pixels. The same errors as DecodePictureFile.
Image32 DecodePictureFileWithin(const std::wstring& path, int maxWidth, int maxHeight, int& width, int& height,
                                std::uint32_t& topLeft, std::size_t spareWords = 0);

// Nothing at all under that name: a missing file, or a folder chain or
// drive that is not there. A folder, or a file that cannot be looked at, is
// something: decoding it gives the user a reason.
bool NothingAtPath(const std::wstring& path);

// The extension (letter case ignored) is one DecodePictureFile decodes.
bool HasPictureExtension(const std::wstring& path);

}  // namespace orvane
