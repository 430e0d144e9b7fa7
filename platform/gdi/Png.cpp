// PNG files for snapshots of the screen and for the bitmap resources.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "platform/gdi/Surface.h"

namespace qplat {

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (count > r->size - r->pos) png_error(png, "truncated");
    std::memcpy(out, r->data + r->pos, count);
    r->pos += count;
}

void Silent(png_structp, png_const_charp) {}
[[noreturn]] void Fail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// libpng reports errors through longjmp; these helpers keep every C++ object
// with a destructor outside the jumped-over frames.
bool DecodeInto(const uint8_t* data, size_t size, int& width, int& height, std::vector<uint32_t>& pixels)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Silent);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    Reader reader{data, size, 0};
    png_bytep row = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_free(png, row);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, ReadBytes);
    png_set_user_limits(png, 16384, 16384);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_palette_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != w * 4) png_error(png, "layout");
    pixels.assign(static_cast<size_t>(w) * h, 0);
    int passes = png_set_interlace_handling(png);
    row = static_cast<png_bytep>(png_malloc(png, w * 4));
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < h; ++y) {
            uint32_t* out = pixels.data() + static_cast<size_t>(y) * w;
            // Interlaced passes refine the row already decoded.
            for (png_uint_32 x = 0; x < w; ++x) {
                uint32_t p = out[x];
                row[x * 4] = static_cast<png_byte>(p >> 16);
                row[x * 4 + 1] = static_cast<png_byte>(p >> 8);
                row[x * 4 + 2] = static_cast<png_byte>(p);
                row[x * 4 + 3] = 0xFF;
            }
            png_read_row(png, row, nullptr);
            for (png_uint_32 x = 0; x < w; ++x) {
                // Bitmaps are opaque: a transparent pixel is shown over white.
                unsigned a = row[x * 4 + 3];
                unsigned c[3];
                for (int k = 0; k < 3; ++k) c[k] = (row[x * 4 + k] * a + 255u * (255u - a) + 127u) / 255u;
                out[x] = (c[0] << 16) | (c[1] << 8) | c[2];
            }
        }
    }
    png_free(png, row);
    row = nullptr;
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool WriteFrom(std::FILE* file, int width, int height, const uint32_t* pixels, png_bytep row)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Silent);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint32_t* in = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<png_byte>(in[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(in[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(in[x]);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Surface& out)
{
    out = Surface();
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    if (!DecodeInto(data, size, w, h, pixels) || w <= 0 || h <= 0) return false;
    out.width = w;
    out.height = h;
    out.pixels = std::move(pixels);
    return true;
}

bool WritePng(const Surface& surface, const std::string& hostPath)
{
    if (surface.width <= 0 || surface.height <= 0 ||
        surface.pixels.size() < static_cast<size_t>(surface.width) * static_cast<size_t>(surface.height))
        return false;
    std::FILE* file = std::fopen(hostPath.c_str(), "wb");
    if (!file) return false;
    std::vector<png_byte> row(static_cast<size_t>(surface.width) * 3);
    bool ok = WriteFrom(file, surface.width, surface.height, surface.pixels.data(), row.data());
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) std::remove(hostPath.c_str());
    return ok;
}

}  // namespace qplat
