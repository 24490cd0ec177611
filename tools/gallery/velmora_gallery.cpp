// velmora-gallery: opens the program's window, draws every built-in picture, the widget skin at
// 1:1 with all its pieces, panels and bars in the interface palette, and the font in its three
// alignments with wrapping, then writes the frame as a PNG to the path given as the only argument.
// It is the quick way to look at the artwork and the drawing layer after changing either.
#include <GL/gl.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/x11/gl_caps.h"
#include "app/x11/window.h"
#include "gui/colours.h"
#include "gui/draw.h"
#include "gui/text.h"
#include "tex/builtin_images.h"
#include "tex/texture_manager.h"

namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  put_u32(out, static_cast<std::uint32_t>(crc));
}

// RGBA pixels bottom row first (as glReadPixels gives them) to an 8-bit RGBA PNG.
bool write_png(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> raw;
  raw.reserve(std::size_t(height) * (width * 4 + 1));
  for (int y = height - 1; y >= 0; --y) {
    raw.push_back(0);  // no filter
    const std::uint8_t* row = &rgba[std::size_t(y) * width * 4];
    raw.insert(raw.end(), row, row + width * 4);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    return false;
  packed.resize(packed_size);

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", packed);
  put_chunk(png, "IEND", {});

  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

const char* sample_text =
    "Velmora keeps your installation up to date: it fetches the release list, signs every "
    "file and downloads only what changed. Long words like well-known/ready stay whole.";

void draw_pictures() {
  // The widget skin at 1:1 in the top left: every skin piece, the legend and the font.
  draw_tex_rect(t_gui_skin, 0, 1.0f, 0, 256, 512, 512, 0, 0, 1, 1, blend_alpha);
  // The installer skin and the background, scaled into the right half.
  draw_tex_rect(t_installer_skin, 0, 1.0f, 512, 384, 512, 384, 0, 0, 1010.0f / 1024, 764.0f / 1024,
                blend_alpha);
  draw_tex_rect(t_installer_back, 0, 1.0f, 512, 0, 512, 384, 0, 0, 1, 0.75f, blend_none);
}

void draw_panels_and_bars() {
  // One bar per palette colour, outlined in the pen colour, with its number.
  for (int i = 0; i < 14; ++i) {
    const float x = 8 + i * 36.0f;
    fill_rect(col_background + i, 1.0f, x, 200, 32, 44);
    frame_rect(col_pen_line, 1.0f, x, 200, 32, 44);
    // Light numbers: the window behind them is the dark background colour.
    draw_string(col_subtitle_bar_text, x + 16, 186, std::to_string(col_background + i), wrap_none,
                charset_proportional, align_centre);
  }
  // A panel with a translucent inset and a progress-style bar.
  fill_rect(col_menu_rect, 1.0f, 8, 8, 496, 168);
  fill_rect(col_menu_hilite, 0.5f, 12, 150, 488, 22);
  frame_rect(col_pen_line, 1.0f, 8, 8, 496, 168);
  draw_line(col_pen_line, 1.0f, 8, 146, 504, 146);
  fill_rect(col_tab_back, 1.0f, 12, 12, 488, 10);
  fill_rect(col_tab_front, 1.0f, 12, 12, 300, 10);
}

void draw_text_samples() {
  draw_string(col_subtitle_bar_text, 256, 157, "Fonts and text: left, centred, right", wrap_none,
              charset_proportional, align_centre);
  draw_string(col_list_text, 14, 134, sample_text, 150, charset_proportional, align_left);
  draw_string(col_list_text, 256, 134, sample_text, 150, charset_proportional, align_centre);
  draw_string(col_list_text, 498, 134, sample_text, 150, charset_proportional, align_right);
  draw_label(60, 34, 2, "Choose Destination Folder", false);
  draw_label(256, 34, 1, "Install", false);
  draw_label(498, 34, 0, "Quit the installer", true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velmora-gallery <output.png>\n");
    return 2;
  }
  if (!apply_window_size(window_size_startup) || create_window() != 1) {
    std::fprintf(stderr, "velmora-gallery: could not open the window (is DISPLAY set?)\n");
    return 1;
  }
  init_2d_layout();
  setup_2d();
  detect_gl(gl_caps());
  make_builtin_images();
  sample_interface_palette(scratch_pixels(), 512);
  set_layout_origin(1024, 768);

  clear_screen();
  draw_pictures();
  draw_panels_and_bars();
  draw_text_samples();

  const WindowState& w = window_state();
  std::vector<std::uint8_t> pixels(std::size_t(w.window_width) * w.window_height * 4);
  glFinish();
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w.window_width, w.window_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  end_frame();
  const bool written = write_png(argv[1], w.window_width, w.window_height, pixels);
  destroy_window();
  if (!written) {
    std::fprintf(stderr, "velmora-gallery: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
