#pragma once
// Picture files decoded into plain 32-bit pixels of their own size. Bitmaps,
// icons and metafiles are checked in the core, then drawn by the platform;
// JPEG is decoded by the core.
#include <string>

#include "core/image.h"

namespace orvane {

// Decodes a picture file by its extension (letter case ignored): ".bmp",
// ".jpg"/".jpeg", ".ico", ".emf", ".wmf". Every pixel comes out opaque.
// Throws Error with the French text ("Extension de fichier graphique
// inconnue (.%s)", "Le fichier %s est vide", "Erreur JPEG #%d", ...).
Image32 DecodePictureFile(const std::wstring& path);

// Nothing at all under that name: a missing file, or a folder chain or
// drive that is not there. A folder, or a file that cannot be looked at, is
// something: decoding it gives the user a reason.
bool NothingAtPath(const std::wstring& path);

// The extension (letter case ignored) is one DecodePictureFile decodes.
bool HasPictureExtension(const std::wstring& path);

}  // namespace orvane
