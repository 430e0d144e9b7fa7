// Fonts: LOGFONTW resolved through fontconfig to a font file, rendered with
// FreeType into cached grey-level glyphs. "Calibri" is drawn with Carlito (the
// same metrics); a face that is not installed falls back to DejaVu Sans. When
// no font can be opened at all, text still has metrics (so layouts work) and
// draws nothing.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

#include "platform/WinText.h"
#include "platform/gdi/GdiInternal.h"

namespace qplat::gdi {

namespace {

struct Glyph {
    int left = 0, top = 0, width = 0, height = 0;
    long advX = 0, advY = 0;  // 26.6
    std::vector<uint8_t> alpha;
};

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The installed face that stands for a requested one.
std::string MapFamily(const std::string& requested)
{
    std::string l = Lower(requested);
    if (l == "calibri") return "Carlito";
    if (l == "tahoma" || l == "arial" || l == "helvetica" || l == "ms sans serif" || l == "system" || l.empty())
        return "DejaVu Sans";
    if (l == "courier new" || l == "courier") return "DejaVu Sans Mono";
    return requested;
}

struct FileChoice {
    std::string file;
    int index = 0;
    bool bold = false;  // the file itself is bold
};

FileChoice Match(const std::string& family, bool bold, bool italic, bool exact)
{
    FileChoice choice;
    // Our own configuration, released at exit so that nothing of fontconfig is
    // left behind (the lookups are cached above it).
    static FcConfig* config = [] {
        FcConfig* c = FcInitLoadConfigAndFonts();
        if (c) std::atexit([] { FcConfigDestroy(config); FcFini(); });
        return c;
    }();
    if (!config) return choice;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match) {
        FcChar8* got = nullptr;
        FcChar8* file = nullptr;
        int index = 0, weight = FC_WEIGHT_REGULAR;
        bool sameFamily = FcPatternGetString(match, FC_FAMILY, 0, &got) == FcResultMatch &&
                          Lower(reinterpret_cast<const char*>(got)) == Lower(family);
        if ((!exact || sameFamily) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            choice.file = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) choice.index = index;
            if (FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch)
                choice.bold = weight >= FC_WEIGHT_DEMIBOLD;
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return choice;
}

FileChoice FindFile(const std::string& requested, bool bold, bool italic)
{
    static std::map<std::tuple<std::string, bool, bool>, FileChoice> cache;
    auto key = std::make_tuple(Lower(requested), bold, italic);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    FileChoice c = Match(MapFamily(requested), bold, italic, true);
    if (c.file.empty()) c = Match("DejaVu Sans", bold, italic, true);
    if (c.file.empty()) c = Match("sans-serif", bold, italic, false);
    cache[key] = c;
    return c;
}

}  // namespace

class FontInstance {
public:
    FontInstance(const FileChoice& file, const LOGFONTW& log) : file_(file.file)
    {
        wantBold_ = log.lfWeight >= FW_SEMIBOLD;
        embolden_ = wantBold_ && !file.bold;
        FT_Library lib = Library();
        if (lib && !file.file.empty() && FT_New_Face(lib, file.file.c_str(), file.index, &face_) != 0) face_ = nullptr;
        int upem = face_ ? face_->units_per_EM : 2048;
        double winAscent = upem * 0.9, winDescent = upem * 0.25, avgWidth = upem * 0.5;
        if (face_) {
            if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2))) {
                if (os2->usWinAscent + os2->usWinDescent > 0) {
                    winAscent = os2->usWinAscent;
                    winDescent = os2->usWinDescent;
                }
                if (os2->xAvgCharWidth > 0) avgWidth = os2->xAvgCharWidth;
            } else {
                winAscent = face_->ascender;
                winDescent = -face_->descender;
            }
        }
        // A negative height is the em size; a positive one the cell (ascent
        // plus descent), which the metrics then match exactly.
        double cellUnits = winAscent + winDescent;
        double ppem;
        if (log.lfHeight < 0)
            ppem = -static_cast<double>(log.lfHeight);
        else if (log.lfHeight > 0)
            ppem = log.lfHeight * upem / cellUnits;
        else
            ppem = 13;
        ppem = std::clamp(ppem, 1.0, 400.0);
        double xppem = ppem;
        if (log.lfWidth > 0) xppem = std::clamp(log.lfWidth * upem / avgWidth, 1.0, 400.0);
        if (log.lfHeight > 0 && log.lfHeight <= 400) {
            ascent_ = static_cast<int>(std::lround(log.lfHeight * winAscent / cellUnits));
            descent_ = log.lfHeight - ascent_;
        } else {
            ascent_ = static_cast<int>(std::lround(winAscent * ppem / upem));
            descent_ = static_cast<int>(std::lround(winDescent * ppem / upem));
        }
        internalLeading_ = std::max(0, ascent_ + descent_ - static_cast<int>(std::lround(ppem)));
        aveWidth_ = std::max(1, static_cast<int>(std::lround(avgWidth * xppem / upem)));
        maxWidth_ = std::max(aveWidth_, static_cast<int>(std::lround(xppem)));
        ppemY_ = static_cast<int>(std::lround(ppem));
        if (face_) {
            FT_Set_Char_Size(face_, static_cast<FT_F26Dot6>(std::lround(xppem * 64)),
                             static_cast<FT_F26Dot6>(std::lround(ppem * 64)), 72, 72);
            if (face_->max_advance_width > 0)
                maxWidth_ = static_cast<int>(std::lround(face_->max_advance_width * xppem / upem));
        }
        angle_ = (log.lfEscapement % 3600) / 10.0;
        if (face_ && log.lfEscapement % 3600 != 0) {
            double rad = angle_ * 3.14159265358979323846 / 180.0;
            FT_Matrix m;
            m.xx = static_cast<FT_Fixed>(std::lround(std::cos(rad) * 65536));
            m.xy = static_cast<FT_Fixed>(std::lround(-std::sin(rad) * 65536));
            m.yx = static_cast<FT_Fixed>(std::lround(std::sin(rad) * 65536));
            m.yy = static_cast<FT_Fixed>(std::lround(std::cos(rad) * 65536));
            FT_Set_Transform(face_, &m, nullptr);
        }
    }
    ~FontInstance()
    {
        if (face_) FT_Done_Face(face_);
    }
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;

    const Glyph& Get(char32_t c)
    {
        auto it = glyphs_.find(c);
        if (it != glyphs_.end()) return it->second;
        Glyph g;
        g.advX = aveWidth_ * 64;
        if (face_) {
            FT_UInt index = FT_Get_Char_Index(face_, c);
            if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0) {
                FT_GlyphSlot slot = face_->glyph;
                if (embolden_) FT_GlyphSlot_Embolden(slot);
                if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
                    const FT_Bitmap& bm = slot->bitmap;
                    g.left = slot->bitmap_left;
                    g.top = slot->bitmap_top;
                    g.width = static_cast<int>(bm.width);
                    g.height = static_cast<int>(bm.rows);
                    g.alpha.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
                    for (int y = 0; y < g.height; ++y)
                        for (int x = 0; x < g.width; ++x)
                            g.alpha[static_cast<size_t>(y * g.width + x)] = bm.buffer[y * bm.pitch + x];
                }
                g.advX = slot->advance.x;
                g.advY = slot->advance.y;
                if (angle_ == 0) g.advX = ((g.advX + 32) / 64) * 64;  // whole pixels, as GDI lays out
            }
        }
        return glyphs_.emplace(c, std::move(g)).first->second;
    }

    int ascent_ = 0, descent_ = 0, internalLeading_ = 0, aveWidth_ = 1, maxWidth_ = 1, ppemY_ = 13;
    double angle_ = 0;
    bool wantBold_ = false, embolden_ = false;
    std::string file_;

private:
    FT_Face face_ = nullptr;
    std::unordered_map<char32_t, Glyph> glyphs_;
};

namespace {

std::string Utf8Face(const LOGFONTW& log)
{
    std::u16string face(log.lfFaceName, qplat::FieldLength(log.lfFaceName, LF_FACESIZE));
    return qplat::ToUtf8(face);
}

// Decodes one code point; advances i past it.
char32_t Next(const char16_t* text, int count, int& i)
{
    char32_t c = text[i++];
    if (c >= 0xD800 && c < 0xDC00 && i < count && text[i] >= 0xDC00 && text[i] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i] - 0xDC00);
        ++i;
    }
    return c;
}

}  // namespace

std::shared_ptr<FontInstance> ResolveFont(Font& font)
{
    if (font.instance) return font.instance;
    static std::map<std::string, std::shared_ptr<FontInstance>> cache;
    const LOGFONTW& l = font.log;
    bool bold = l.lfWeight >= FW_SEMIBOLD;
    bool italic = l.lfItalic != 0;
    FileChoice file = FindFile(Utf8Face(l), bold, italic);
    std::string key = file.file + "|" + std::to_string(file.index) + "|" + std::to_string(l.lfHeight) + "|" +
                      std::to_string(l.lfWidth) + "|" + std::to_string(l.lfEscapement % 3600) + "|" +
                      std::to_string(bold) + std::to_string(file.bold);
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() > 256) cache.clear();  // instances in use stay alive through their fonts
        it = cache.emplace(key, std::make_shared<FontInstance>(file, l)).first;
    }
    font.instance = it->second;
    return font.instance;
}

FontInstance& DcFont(Dc& dc)
{
    if (!dc.state.font) {
        static Font fallback;
        return *ResolveFont(fallback);
    }
    return *ResolveFont(*dc.state.font);
}

TextMetrics Metrics(FontInstance& f)
{
    TextMetrics m;
    m.ascent = f.ascent_;
    m.descent = f.descent_;
    m.internalLeading = f.internalLeading_;
    m.aveWidth = f.aveWidth_;
    m.maxWidth = f.maxWidth_;
    return m;
}

int TextWidth(FontInstance& font, const char16_t* text, int count, int* advances)
{
    long total = 0;
    for (int i = 0; i < count;) {
        int start = i;
        char32_t c = Next(text, count, i);
        const Glyph& g = font.Get(c);
        // Along the base line: the length of the advance vector.
        long adv = font.angle_ == 0 ? g.advX : std::lround(std::hypot(static_cast<double>(g.advX), static_cast<double>(g.advY)));
        total += adv;
        if (advances) {
            advances[start] = static_cast<int>((total + 32) / 64);
            for (int k = start + 1; k < i; ++k) advances[k] = advances[start];
        }
    }
    return static_cast<int>((total + 32) / 64);
}

void DrawGlyphs(FontInstance& font, Surface& s, const RECT& clip, int x, int y, const char16_t* text, int count,
                uint32_t pixel)
{
    if (Empty(clip)) return;
    long penX = static_cast<long>(x) * 64, penY = static_cast<long>(y) * 64;
    for (int i = 0; i < count;) {
        char32_t c = Next(text, count, i);
        const Glyph& g = font.Get(c);
        int gx = static_cast<int>((penX + 32) >> 6) + g.left;
        int gy = static_cast<int>((penY + 32) >> 6) - g.top;
        if (gx < clip.right && gy < clip.bottom && gx + g.width > clip.left && gy + g.height > clip.top) {
            for (int row = 0; row < g.height; ++row) {
                int py = gy + row;
                if (py < clip.top || py >= clip.bottom) continue;
                const uint8_t* a = g.alpha.data() + static_cast<size_t>(row) * static_cast<size_t>(g.width);
                for (int col = 0; col < g.width; ++col)
                    if (a[col]) BlendPixel(s, clip, gx + col, py, pixel, a[col]);
            }
        }
        penX += g.advX;
        penY -= g.advY;  // FreeType's y grows upwards
    }
}

std::string FontFileOf(FontInstance& font)
{
    return font.file_;
}

double FontAngle(FontInstance& font)
{
    return font.angle_;
}

}  // namespace qplat::gdi

using namespace qplat;
using namespace qplat::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* log)
{
    if (!log) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(GdiMutex());
    auto f = std::make_shared<Font>();
    f->log = *log;
    f->log.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(Insert(f));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR face)
{
    LOGFONTW l{};
    l.lfHeight = height;
    l.lfWidth = width;
    l.lfEscapement = escapement;
    l.lfOrientation = orientation;
    l.lfWeight = weight;
    l.lfItalic = static_cast<BYTE>(italic);
    l.lfUnderline = static_cast<BYTE>(underline);
    l.lfStrikeOut = static_cast<BYTE>(strikeOut);
    l.lfCharSet = static_cast<BYTE>(charSet);
    l.lfOutPrecision = static_cast<BYTE>(outPrecision);
    l.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    l.lfQuality = static_cast<BYTE>(quality);
    l.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (face) qplat::CopyField(l.lfFaceName, LF_FACESIZE, face);
    return CreateFontIndirectW(&l);
}
