// The texture manager: the texture table indexed by reference, the name table, the scratch image
// that producers of pixels fill, load_tex (size rules, formats, wrap, filters, mip-maps) and
// bind_tex with its per-unit cache. Every error here is a programming error and ends the program
// through a t_exit alert.
//
// [SECTION] manager and scratch   [SECTION] alerts   [SECTION] load_tex   [SECTION] bind_tex
#include "tex/texture_manager.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/alert.h"
#include "app/x11/gl_caps.h"

// [SECTION] manager and scratch -------------------------------------------------------------------
TextureManager::TextureManager() {
  std::fill(std::begin(bound_name), std::end(bound_name), -1);
  std::fill(std::begin(bound_env), std::end(bound_env), -1);
}

TextureManager& tman() {
  static TextureManager manager;
  return manager;
}

std::uint8_t* scratch_pixels() {
  TextureManager& m = tman();
  if (m.scratch.empty()) m.scratch.assign(std::size_t(scratch_max_size) * scratch_max_size * 4, 0);
  return m.scratch.data();
}

void set_scratch_size(int width, int height) {
  tman().scratch_width = width;
  tman().scratch_height = height;
}

int next_power_of_two(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

namespace {

// [SECTION] alerts --------------------------------------------------------------------------------
void fatal(const std::string& headline, const std::string& line2, const std::string& line3,
           const std::string& line4, int line) {
  show_alert(0, headline, line2, line3, line4, t_exit, "tman", line);
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%6.0f", value);
  return text;
}

void check_size(int value, const std::string& name) {
  if (value < 1 || value > scratch_max_size)
    fatal("Trying to create a texture either less than 1 or greater than 2048!", "value:",
          std::to_string(value), name, __LINE__);
}

// [SECTION] load_tex ------------------------------------------------------------------------------
struct PixelFormat {
  GLenum format;
  int bytes_per_pixel;
};

PixelFormat pixel_format_for(int colour_enum) {
  switch (colour_enum) {
    case 1: case 4: case 7: return {GL_RGB, 3};
    case 2: case 5: return {GL_RGBA, 4};
    case 3: return {GL_ALPHA, 1};
    case 6: return {GL_DEPTH_COMPONENT, 1};
    default: return {0, 0};
  }
}

GLint internal_format_for(GLenum format, int flags) {
  if (flags & tex_float16) {
    if (format == GL_RGBA) return GL_RGBA16F_ARB;
    if (format == GL_RGB) return GL_RGB16F_ARB;
    if (format == GL_ALPHA) return GL_ALPHA16F_ARB;
  }
  if (flags & tex_explicit_8bit) {
    if (format == GL_RGB) return GL_RGB8;
    if (format == GL_RGBA) return GL_RGBA8;
  }
  if (format == GL_DEPTH_COMPONENT) return GL_DEPTH_COMPONENT24;
  return static_cast<GLint>(format);
}

// The pixels to upload: the scratch image itself at full scale; otherwise a copy taken every
// 1/scale-th pixel of each scratch row (the scratch rows stay as wide as the unscaled texture).
struct PreparedPixels {
  const std::uint8_t* data = nullptr;
  std::vector<std::uint8_t> reduced;
  int image_width = 0, image_height = 0;
  int texture_width = 0, texture_height = 0;
};

PreparedPixels prepare_scratch_pixels(int flags, int bytes_per_pixel, int max_texture_size,
                                      const std::string& name) {
  TextureManager& m = tman();
  const int width = m.scratch_width, height = m.scratch_height;
  check_size(width, name);
  check_size(height, name);

  double scale = 1.0;
  scale = std::max({scale, 1.0 / width, 1.0 / height});
  while (max_texture_size > 0 && (width * scale > max_texture_size || height * scale > max_texture_size))
    scale *= 0.5;

  PreparedPixels p;
  p.image_width = static_cast<int>(width * scale);
  p.image_height = static_cast<int>(height * scale);
  p.texture_width = (flags & tex_exact_size) ? p.image_width : next_power_of_two(p.image_width);
  p.texture_height = (flags & tex_exact_size) ? p.image_height : next_power_of_two(p.image_height);
  check_size(p.image_width, name);
  check_size(p.image_height, name);
  check_size(p.texture_width, name);
  check_size(p.texture_height, name);

  const std::uint8_t* scratch = scratch_pixels();
  if (scale >= 1.0) {
    p.data = scratch;
    return p;
  }
  const int step = static_cast<int>(1.0 / scale + 0.5);
  const int source_row = ((flags & tex_exact_size) ? width : next_power_of_two(width)) * bytes_per_pixel;
  p.reduced.assign(std::size_t(p.texture_width) * p.texture_height * bytes_per_pixel, 0);
  for (int y = 0; y < p.image_height; ++y)
    for (int x = 0; x < p.image_width; ++x)
      std::memcpy(&p.reduced[(std::size_t(y) * p.texture_width + x) * bytes_per_pixel],
                  &scratch[std::size_t(y) * step * source_row + std::size_t(x) * step * bytes_per_pixel],
                  bytes_per_pixel);
  p.data = p.reduced.data();
  return p;
}

// One mip level from the one above it with a 2 x 2 box filter.
std::vector<std::uint8_t> halve(const std::uint8_t* source, int width, int height, int bpp,
                                int& out_width, int& out_height) {
  out_width = std::max(1, width / 2);
  out_height = std::max(1, height / 2);
  std::vector<std::uint8_t> out(std::size_t(out_width) * out_height * bpp);
  for (int y = 0; y < out_height; ++y)
    for (int x = 0; x < out_width; ++x)
      for (int c = 0; c < bpp; ++c) {
        const int x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
        const int y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
        const int sum = source[(std::size_t(y0) * width + x0) * bpp + c] +
                        source[(std::size_t(y0) * width + x1) * bpp + c] +
                        source[(std::size_t(y1) * width + x0) * bpp + c] +
                        source[(std::size_t(y1) * width + x1) * bpp + c];
        out[(std::size_t(y) * out_width + x) * bpp + c] = static_cast<std::uint8_t>((sum + 2) / 4);
      }
  return out;
}

bool uses_nearest_filter(int reference) {
  return reference == 392 || reference == 419 || reference == 425 || reference == 426 ||
         (reference >= 427 && reference <= 442);
}

int upload(int reference, int flags, const PixelFormat& pf, const PreparedPixels& p) {
  TextureManager& m = tman();
  if (reference < 0 || reference >= static_cast<int>(m.table.size()))
    fatal("(manual_ref>=ref_dat.size()!",
          "maybe we tried to load some texture thatis not avail, and we have not loaded the "
          "t_blank_gray yet?",
          "", "", __LINE__);
  if (!p.data) return 0;

  TextureEntry& e = m.table[reference];
  const bool same_storage = e.counted && e.texture_width == p.texture_width &&
                            e.texture_height == p.texture_height && e.gl_format == int(pf.format) &&
                            e.flags == flags;
  const bool mipmapped = (flags & tex_mipmap) != 0;
  e.gl_name = reference;
  e.state = tex_state_loaded;
  e.image_width = static_cast<float>(p.image_width);
  e.image_height = static_cast<float>(p.image_height);
  e.texture_width = static_cast<float>(p.texture_width);
  e.texture_height = static_cast<float>(p.texture_height);
  e.gl_format = static_cast<int>(pf.format);
  e.flags = flags;
  const long bytes = long(p.texture_width) * p.texture_height * pf.bytes_per_pixel;
  e.memory = static_cast<int>(mipmapped ? bytes * 1.33 : bytes);
  if (!e.counted) {
    e.counted = true;
    ++m.loaded_count;
    m.loaded_memory += e.memory;
  }
  if (reference == 0)
    fatal("Trying to bind a null ref!", "ref=" + number_text(reference) + ", tex=" + number_text(e.gl_name),
          "", "", __LINE__);
  if (e.gl_name == 0)
    fatal("Trying to bind a null tex!", "ref=" + number_text(reference) + ", tex=" + number_text(e.gl_name),
          "", "", __LINE__);

  // Bind on unit 0, with 2D texturing on for the duration of the upload.
  tex_active_unit(0);
  const bool texturing_was_on = glIsEnabled(GL_TEXTURE_2D);
  if (!texturing_was_on) glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, e.gl_name);
  ++m.gl_binds;
  m.bound_name[0] = e.gl_name;

  const GlCaps& caps = gl_caps();
  const bool gl_mipmaps = mipmapped && caps.automini_avail && !(flags & tex_explicit_8bit);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, gl_mipmaps ? GL_TRUE : GL_FALSE);
  const GLenum data_type = GL_UNSIGNED_BYTE;
  if (same_storage)
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.texture_width, p.texture_height, pf.format, data_type,
                    p.data);
  else
    glTexImage2D(GL_TEXTURE_2D, 0, internal_format_for(pf.format, flags), p.texture_width,
                 p.texture_height, 0, pf.format, data_type, p.data);
  if (mipmapped && !gl_mipmaps) {
    std::vector<std::uint8_t> level_pixels(p.data, p.data + bytes);
    int width = p.texture_width, height = p.texture_height;
    for (int level = 1; width > 1 || height > 1; ++level) {
      int next_width, next_height;
      level_pixels = halve(level_pixels.data(), width, height, pf.bytes_per_pixel, next_width, next_height);
      width = next_width;
      height = next_height;
      glTexImage2D(GL_TEXTURE_2D, level, internal_format_for(pf.format, flags), width, height, 0,
                   pf.format, data_type, level_pixels.data());
    }
  }

  const GLint clamp_mode = caps.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (flags & (tex_clamp | tex_clamp_s)) ? clamp_mode : GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (flags & tex_clamp) ? clamp_mode : GL_REPEAT);
  if (caps.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);

  if (uses_nearest_filter(reference)) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  }
  if (pf.format == GL_DEPTH_COMPONENT) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
  }
  if (!texturing_was_on) glDisable(GL_TEXTURE_2D);
  return reference;
}

}  // namespace

int load_tex(int category, int reference, int flags, int load_time, const std::string& name) {
  if (name.empty()) return 0;
  TextureManager& m = tman();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);

  if (load_time < 100 || load_time > 102)
    fatal("Trying to create an invalid texture load_time!", "value:", std::to_string(load_time), "",
          __LINE__);
  if (reference < 0 || reference > max_manual_ref)
    fatal("Trying to bind too low or high a manual_ref!", "value:", std::to_string(reference), "",
          __LINE__);

  if (reference >= static_cast<int>(m.table.size())) m.table.resize(reference + 1);
  m.names[name] = reference;
  TextureEntry& e = m.table[reference];
  if (e.gl_format == 0) {
    e.name = name;
    e.reference_count = -1;
    e.flags = flags;
    e.gl_format = GL_RGBA;
    e.state = tex_state_loaded;
    e.category = category;
  }

  if (flags < 0 || flags > tex_flags_max)
    fatal("Trying to bind an invalid filter type!", "value:", std::to_string(flags), name, __LINE__);
  GLint max_texture_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_size);

  const PixelFormat pf = pixel_format_for(flags & tex_colour_mask);
  if (pf.format == 0)
    fatal("BAD color enum for tman - see tman.h for valid colors!  We cannot pass 0.", "", "", "",
          __LINE__);

  // Only the scratch image is a pixel source in this program; any other name has no pixels.
  PreparedPixels pixels;
  if (name.compare(0, 13, scratch_texture_prefix) == 0)
    pixels = prepare_scratch_pixels(flags, pf.bytes_per_pixel, max_texture_size, name);
  return upload(reference, flags, pf, pixels);
}

// [SECTION] bind_tex ------------------------------------------------------------------------------
void tex_active_unit(int unit) {
  TextureManager& m = tman();
  if (m.bind_cache_enabled && m.active_unit == unit) return;
  glActiveTexture(GL_TEXTURE0 + unit);
  m.active_unit = unit;
}

void tex_invalidate_bind_cache() {
  TextureManager& m = tman();
  std::fill(std::begin(m.bound_name), std::end(m.bound_name), -1);
  std::fill(std::begin(m.bound_env), std::end(m.bound_env), -1);
  m.active_unit = -1;
}

namespace {
GLint env_mode_for(int mode) {
  switch (mode) {
    case 1: return GL_REPLACE;
    case 2: return GL_ADD;
    case 3: return GL_DECAL;
    default: return GL_MODULATE;
  }
}
}  // namespace

void bind_tex(int reference, int texture_unit, int env_mode) {
  TextureManager& m = tman();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);

  int gl_name = 0;
  const bool beyond = reference < 0 || reference >= static_cast<int>(m.table.size());
  if ((reference != 0 && beyond) ||
      (!beyond && m.table[reference].state != 100 && m.table[reference].state != 101)) {
    fatal("missing non-scenery texture - how?", "ref=" + number_text(reference),
          beyond ? "" : m.table[reference].name, "", __LINE__);
    gl_name = missing_texture_name;
  } else if (!beyond) {
    gl_name = m.table[reference].gl_name;
  }

  const bool cached = m.bind_cache_enabled && texture_unit >= 0 && texture_unit < tex_bind_cache_units;
  // The unit is made active even on a cache hit (itself cached), so that later texture calls
  // meant for this unit never land on a unit an earlier bind left active.
  tex_active_unit(texture_unit);
  if (cached && m.bound_name[texture_unit] == gl_name && m.bound_env[texture_unit] == env_mode) return;
  if (!cached || m.bound_name[texture_unit] != gl_name) {
    glBindTexture(GL_TEXTURE_2D, gl_name);
    ++m.gl_binds;
  }
  if (!cached || m.bound_env[texture_unit] != env_mode)
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, env_mode_for(env_mode));
  if (texture_unit >= 0 && texture_unit < tex_bind_cache_units) {
    m.bound_name[texture_unit] = gl_name;
    m.bound_env[texture_unit] = env_mode;
  }
}
