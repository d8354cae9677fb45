// SPDX-License-Identifier: MIT
// The codecs part's one entry point, which the program finds in the module by name.

#include "codecs/heif_picture.h"
#include "codecs/jxl_picture.h"
#include "codecs/webp_picture.h"
#include "imaging/library_codecs.h"

extern "C" const pictavo::LibraryCodecs* pictavo_library_codecs() {
    using namespace pictavo;
    static const LibraryCodecs codecs{kLibraryCodecsVersion, isHeifPicture,       heifPictureSize, decodeHeifPicture,
                                      heifIccProfile,        isJxlPicture,        jxlPictureSize,  decodeJxlPicture,
                                      jxlIccProfile,         webpOpaqueStillSize, decodeWebpRows,  webpIccProfile};
    return &codecs;
}
