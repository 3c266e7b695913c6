#pragma once
// Text rasterisation: fonts looked up by family name through fontconfig (with the rules of the
// resource folder's fonts.conf on top of the machine's configuration), glyphs drawn by FreeType
// into 8-bit coverage buffers.
//
// Names the game uses map to faces we can ship with the system: "Marker Felt" to Comic Neue
// Bold, "Arial" to Liberation Sans, "Verdana" to DejaVu Sans. When fonts.conf is missing the
// same mapping is applied in code; when no face can be found at all text draws nothing.
#include <cstdint>
#include <string>

#include "math/Vec2.h"

namespace peckish::platform {

// Horizontal alignment codes of text in its box.
enum TextAlignment : int {
  kTextAlignmentLeft = 0,
  kTextAlignmentCenter = 1,
  kTextAlignmentRight = 2,
};

struct FontFile {
  std::string path;    // font file, empty when nothing was found
  int index = 0;       // face index inside the file
  std::string family;  // family name of the face found
  std::string style;   // its style name ("Bold", "Regular", ...)
};

// The face used for a font name.
FontFile findFont(const std::string& name);

// Forgets the font configuration, the lookups and the open faces; the next use reads the
// resource folder's fonts.conf again.
void reloadFonts();

// Draws `text` (UTF-8) into `buffer`, an 8-bit coverage bitmap of bufferWidth x bufferHeight
// bytes with rows of bufferWidth bytes, top row first. The text is laid out in the box
// (0, 0, box.width, box.height) anchored at the top-left of the buffer: lines break at '\n' and
// wrap at spaces (a word wider than the box is broken between characters); each line is
// aligned left, centred or right in the box width. The first line is always drawn, further
// lines only while they fit in the box height. Coverage is combined with what the buffer holds
// by taking the larger value. fontSize is the em size in pixels.
void drawString(const std::string& text, uint8_t* buffer, unsigned bufferWidth,
                unsigned bufferHeight, CGSize box, int alignment, const std::string& fontName,
                float fontSize);

// The size the text takes when laid out as drawString does with a box maxWidth wide
// (maxWidth <= 0: no wrapping): the widest line and the height of all its lines.
CGSize measureString(const std::string& text, const std::string& fontName, float fontSize,
                     float maxWidth = 0.f);

}  // namespace peckish::platform
