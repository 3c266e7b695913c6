#include "platform/TextRaster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/Log.h"
#include "platform/Paths.h"

namespace peckish::platform {

namespace {

// Used when fonts.conf is not in the resource folder: the same choices, made in code.
struct BuiltInAlias {
  const char* name;
  const char* families[3];
  int weight;
};
const BuiltInAlias kBuiltInAliases[] = {
    {"Marker Felt", {"Comic Neue", "DejaVu Sans", nullptr}, FC_WEIGHT_BOLD},
    {"Arial", {"Liberation Sans", "DejaVu Sans", nullptr}, FC_WEIGHT_REGULAR},
    {"Helvetica", {"Liberation Sans", "DejaVu Sans", nullptr}, FC_WEIGHT_REGULAR},
    {"Verdana", {"DejaVu Sans", "Liberation Sans", nullptr}, FC_WEIGHT_REGULAR},
};

// Last resort when fontconfig finds nothing usable.
const char* const kFallbackFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
};

struct Glyph {
  FT_UInt index;
  FT_Pos kern;     // 26.6 shift against the previous glyph of the line, applied before drawing
  FT_Pos advance;  // 26.6
};

struct Line {
  std::vector<Glyph> glyphs;
  FT_Pos width = 0;  // 26.6, trailing spaces excluded
};

class FontLibrary {
 public:
  // Callers hold mutex() while they use the instance.
  static FontLibrary& instance() {
    std::lock_guard<std::recursive_mutex> lock(mutex());
    if (!current()) current().reset(new FontLibrary());
    return *current();
  }
  static void reload() {
    std::lock_guard<std::recursive_mutex> lock(mutex());
    current().reset();
  }
  static std::recursive_mutex& mutex() {
    static std::recursive_mutex m;
    return m;
  }
  ~FontLibrary() {
    for (auto& [key, face] : faces_)
      if (face) FT_Done_Face(face);
    if (ft_) FT_Done_FreeType(ft_);
    if (config_) FcConfigDestroy(config_);
  }

  FontFile find(const std::string& name) {
    auto it = files_.find(name);
    if (it != files_.end()) return it->second;
    FontFile f = lookUp(name);
    if (f.path.empty()) engineLog("Text: no font found for \"%s\"", name.c_str());
    files_.emplace(name, f);
    return f;
  }

  // A face for the name at the given size, or null when there is none.
  FT_Face face(const std::string& name, float size) {
    if (!ft_) return nullptr;
    FontFile f = find(name);
    if (f.path.empty()) return nullptr;
    auto key = std::make_pair(f.path, f.index);
    FT_Face face = nullptr;
    auto it = faces_.find(key);
    if (it != faces_.end()) {
      face = it->second;
    } else {
      if (FT_New_Face(ft_, f.path.c_str(), f.index, &face) != 0) {
        engineLog("Text: cannot open font %s", f.path.c_str());
        face = nullptr;
      }
      faces_.emplace(key, face);
    }
    if (!face) return nullptr;
    FT_F26Dot6 em = FT_F26Dot6(std::lround(std::max(size, 1.0f) * 64.0f));
    if (FT_Set_Char_Size(face, 0, em, 72, 72) != 0) return nullptr;
    return face;
  }

 private:
  FontLibrary() {
    if (FT_Init_FreeType(&ft_) != 0) {
      engineLog("Text: FreeType cannot start");
      ft_ = nullptr;
    }
    config_ = FcInitLoadConfig();
    std::string own = pathForResource("fonts.conf");
    ownConfig_ = false;
    if (config_ && !own.empty()) {
      ownConfig_ = FcConfigParseAndLoad(config_, reinterpret_cast<const FcChar8*>(own.c_str()),
                                        FcTrue) == FcTrue;
      if (!ownConfig_) engineLog("Text: cannot load %s", own.c_str());
    }
    if (config_ && !FcConfigBuildFonts(config_)) {
      FcConfigDestroy(config_);
      config_ = nullptr;
    }
  }
  static std::unique_ptr<FontLibrary>& current() {
    static std::unique_ptr<FontLibrary> lib;
    return lib;
  }

  FontFile match(const std::string& name, bool builtIn) {
    FontFile result;
    if (!config_) return result;
    FcPattern* pat = FcPatternCreate();
    const BuiltInAlias* alias = nullptr;
    if (builtIn) {
      for (const auto& a : kBuiltInAliases)
        if (name == a.name) alias = &a;
    }
    if (alias) {
      for (const char* fam : alias->families)
        if (fam) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(fam));
      FcPatternAddInteger(pat, FC_WEIGHT, alias->weight);
    } else {
      FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    }
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config_, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config_, pat, &res);
    if (found) {
      FcChar8* file = nullptr;
      FcChar8* family = nullptr;
      FcChar8* style = nullptr;
      int index = 0;
      if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
        result.path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
        if (FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch && family)
          result.family = reinterpret_cast<const char*>(family);
        if (FcPatternGetString(found, FC_STYLE, 0, &style) == FcResultMatch && style)
          result.style = reinterpret_cast<const char*>(style);
      }
      FcPatternDestroy(found);
    }
    FcPatternDestroy(pat);
    if (!result.path.empty() && !fileExists(result.path)) result = FontFile{};
    return result;
  }

  FontFile lookUp(const std::string& name) {
    FontFile f = match(name, !ownConfig_);
    if (f.path.empty()) f = match("DejaVu Sans", false);
    if (f.path.empty()) {
      for (const char* p : kFallbackFiles) {
        if (fileExists(p)) {
          f.path = p;
          break;
        }
      }
    }
    return f;
  }

  FT_Library ft_ = nullptr;
  FcConfig* config_ = nullptr;
  bool ownConfig_ = false;
  std::map<std::string, FontFile> files_;
  std::map<std::pair<std::string, int>, FT_Face> faces_;
};

// Decodes UTF-8; a malformed sequence becomes U+FFFD and decoding resumes at the next byte.
std::vector<char32_t> decodeUtf8(const std::string& s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t cp;
    if (c < 0x80) { extra = 0; cp = c; }
    else if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else { out.push_back(0xFFFD); ++i; continue; }
    bool ok = true;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= s.size()) { ok = false; break; }
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return out;
}

FT_Pos advanceOf(FT_Face face, FT_UInt glyph) {
  if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) return 0;
  return face->glyph->advance.x;
}

FT_Pos kerning(FT_Face face, FT_UInt left, FT_UInt right) {
  if (!left || !right || !FT_HAS_KERNING(face)) return 0;
  FT_Vector k{0, 0};
  if (FT_Get_Kerning(face, left, right, FT_KERNING_DEFAULT, &k) != 0) return 0;
  return k.x;
}

// Appends a glyph to the line and returns the pen position after it.
FT_Pos append(FT_Face face, Line& line, FT_Pos pen, FT_UInt g) {
  FT_Pos kern = line.glyphs.empty() ? 0 : kerning(face, line.glyphs.back().index, g);
  FT_Pos adv = advanceOf(face, g);
  line.glyphs.push_back({g, kern, adv});
  return pen + kern + adv;
}

// Lays out one paragraph (no '\n'): greedy wrapping at spaces within maxWidth (26.6; <= 0
// means unlimited); a word wider than the box is broken between characters.
void layOutParagraph(FT_Face face, const char32_t* cps, size_t n, FT_Pos maxWidth,
                     std::vector<Line>& lines) {
  Line line;
  FT_Pos pen = 0;
  size_t breakAt = 0;       // glyph index just after the last run of spaces
  FT_Pos widthAtBreak = 0;  // line width before that run of spaces
  bool lastWasSpace = false;
  for (size_t k = 0; k < n; ++k) {
    char32_t c = cps[k];
    if (c == U'\r') continue;
    if (c == U'\t') c = U' ';
    const FT_UInt g = FT_Get_Char_Index(face, c);
    if (c == U' ') {
      if (!lastWasSpace) widthAtBreak = pen;
      pen = append(face, line, pen, g);
      breakAt = line.glyphs.size();
      lastWasSpace = true;
      continue;
    }
    lastWasSpace = false;
    const FT_Pos kern = line.glyphs.empty() ? 0 : kerning(face, line.glyphs.back().index, g);
    if (maxWidth > 0 && !line.glyphs.empty() && pen + kern + advanceOf(face, g) > maxWidth) {
      std::vector<Glyph> carried;
      if (breakAt > 0) {
        carried.assign(line.glyphs.begin() + ptrdiff_t(breakAt), line.glyphs.end());
        line.glyphs.resize(breakAt);
        line.width = widthAtBreak;
      } else {
        line.width = pen;
      }
      lines.push_back(std::move(line));
      line = Line{};
      pen = 0;
      for (const Glyph& cg : carried) pen = append(face, line, pen, cg.index);
      breakAt = 0;
      widthAtBreak = 0;
    }
    pen = append(face, line, pen, g);
    line.width = pen;
  }
  if (lastWasSpace) line.width = widthAtBreak;
  lines.push_back(std::move(line));
}

std::vector<Line> layOut(FT_Face face, const std::string& text, FT_Pos maxWidth) {
  std::vector<Line> lines;
  const std::vector<char32_t> cps = decodeUtf8(text);
  size_t start = 0;
  for (;;) {
    size_t end = start;
    while (end < cps.size() && cps[end] != U'\n') ++end;
    layOutParagraph(face, cps.data() + start, end - start, maxWidth, lines);
    if (end >= cps.size()) break;
    start = end + 1;
  }
  return lines;
}

void blit(const FT_Bitmap& bm, int left, int top, uint8_t* buffer, unsigned bw, unsigned bh) {
  for (unsigned row = 0; row < bm.rows; ++row) {
    int y = top + int(row);
    if (y < 0 || y >= int(bh)) continue;
    const unsigned char* src = bm.buffer + ptrdiff_t(row) * bm.pitch;
    uint8_t* dst = buffer + size_t(y) * bw;
    for (unsigned col = 0; col < bm.width; ++col) {
      int x = left + int(col);
      if (x < 0 || x >= int(bw)) continue;
      uint8_t v;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
        v = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
      else
        v = src[col];
      if (v > dst[x]) dst[x] = v;
    }
  }
}

FT_Pos lineHeightOf(FT_Face face) {
  FT_Pos h = face->size->metrics.height;
  if (h <= 0) h = face->size->metrics.ascender - face->size->metrics.descender;
  return h;
}

}  // namespace

void reloadFonts() { FontLibrary::reload(); }

FontFile findFont(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(FontLibrary::mutex());
  FontLibrary& lib = FontLibrary::instance();
  return lib.find(name);
}

void drawString(const std::string& text, uint8_t* buffer, unsigned bufferWidth,
                unsigned bufferHeight, CGSize box, int alignment, const std::string& fontName,
                float fontSize) {
  if (!buffer || bufferWidth == 0 || bufferHeight == 0 || text.empty()) return;
  std::lock_guard<std::recursive_mutex> lock(FontLibrary::mutex());
  FontLibrary& lib = FontLibrary::instance();
  FT_Face face = lib.face(fontName, fontSize);
  if (!face) return;
  const FT_Pos boxW = FT_Pos(std::lround(std::max(box.width, 0.f) * 64.0f));
  const FT_Pos boxH = FT_Pos(std::lround(std::max(box.height, 0.f) * 64.0f));
  std::vector<Line> lines = layOut(face, text, boxW);
  const FT_Pos lineH = lineHeightOf(face);
  const FT_Pos ascender = face->size->metrics.ascender;
  for (size_t li = 0; li < lines.size(); ++li) {
    if (li > 0 && FT_Pos(li + 1) * lineH > boxH) break;
    const Line& line = lines[li];
    FT_Pos x = 0;
    if (alignment == kTextAlignmentCenter) x = (boxW - line.width) / 2;
    else if (alignment == kTextAlignmentRight) x = boxW - line.width;
    const FT_Pos baseline = ascender + FT_Pos(li) * lineH;
    const int baselinePx = int((baseline + 32) >> 6);
    for (const Glyph& g : line.glyphs) {
      x += g.kern;
      if (FT_Load_Glyph(face, g.index, FT_LOAD_RENDER) == 0) {
        FT_GlyphSlot slot = face->glyph;
        const int penPx = int((x + 32) >> 6);
        blit(slot->bitmap, penPx + slot->bitmap_left, baselinePx - slot->bitmap_top, buffer,
             bufferWidth, bufferHeight);
      }
      x += g.advance;
    }
  }
}

CGSize measureString(const std::string& text, const std::string& fontName, float fontSize,
                     float maxWidth) {
  std::lock_guard<std::recursive_mutex> lock(FontLibrary::mutex());
  FontLibrary& lib = FontLibrary::instance();
  FT_Face face = lib.face(fontName, fontSize);
  if (!face || text.empty()) return CGSize{0.f, 0.f};
  std::vector<Line> lines = layOut(face, text, FT_Pos(std::lround(std::max(maxWidth, 0.f) * 64.0f)));
  FT_Pos widest = 0;
  for (const Line& l : lines) widest = std::max(widest, l.width);
  return CGSize{float(widest) / 64.0f, float(FT_Pos(lines.size()) * lineHeightOf(face)) / 64.0f};
}

}  // namespace peckish::platform
