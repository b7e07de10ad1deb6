// The size of a picture read from its file header, without decoding it. The
// direct-IM preview uses it on pictures buddies send, so a malformed file must
// end the scan, never loop or read out of bounds.
#pragma once

#include <string>

enum class PictureType : int { None = 0, Gif = 1, Png = 2, Jpeg = 4, Bmp = 5 };

struct PictureInfo {
    std::wstring path;                 // in
    PictureType type = PictureType::None;
    int width = 0;
    int height = 0;
};

// True when the type was recognised and a size found.
bool ReadPictureSize(PictureInfo& picture);
