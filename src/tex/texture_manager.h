// The texture manager: owns every GL texture of the program. A texture is known by its reference,
// a small integer that is also its GL texture name. Pixels come from the manager's scratch image,
// which the producer of the pixels fills before calling load_tex. Binding goes through a per-unit
// cache so that repeated binds of the same texture cost nothing.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Texture references the installer uses.
enum : int {
  t_gui_skin = 392,        // widget skin and interface font, 512 x 512
  t_installer_skin = 393,  // the installer's own artwork, 1010 x 764 in 1024 x 1024
  t_installer_back = 394,  // the full-screen background picture, 1024 x 768 in 1024 x 1024
  t_symbol_font = 396,     // the symbol sheet of character set 103; never loaded here
};

constexpr int max_manual_ref = 1135;   // fixed references are 1 .. 1135
constexpr int scratch_max_size = 2048;  // the scratch image is 2048 x 2048 RGBA
constexpr int tex_state_loaded = 100;
constexpr int missing_texture_name = 930;  // bound in place of a texture that was never loaded

// Load flags.
enum : int {
  tex_colour_mask = 0x7,       // 1/7 RGB, 2 RGBA, 3 alpha, 4 RGB, 5 RGBA, 6 depth; 0 invalid
  tex_mipmap = 0x8,            // build mip-maps
  tex_clamp = 0x10,            // clamp in s and t
  tex_clamp_s = 0x20,          // clamp in s only
  tex_res_double = 0x40,       // double the texture-resolution scale
  tex_res_half = 0x80,         // halve the texture-resolution scale
  tex_full_res = 0x100,        // full resolution whatever the setting
  tex_from_scratch = 0x200,    // image-file loads: take the pixels from the scratch image
  tex_float16 = 0x800,         // 16-bit floating-point internal formats
  tex_explicit_8bit = 0x1000,  // explicit 8-bit-per-component internal formats
  tex_exact_size = 0x2000,     // keep the exact size, no rounding to a power of two
  tex_flags_max = 0x3FFF,
};

// The name prefix that tells load_tex to take the pixels from the scratch image.
inline constexpr const char* scratch_texture_prefix = "scratch_array";

struct TextureEntry {
  std::string name = "un-inited";
  int gl_name = 0;               // the texture object bound for this reference
  float image_width = 0, image_height = 0;
  float texture_width = 0, texture_height = 0;
  int memory = 0;                // bytes on the GL side, x 1.33 with mip-maps
  int gl_format = 0;             // 0: the entry is free
  int state = 0;                 // tex_state_loaded once uploaded
  int flags = 0;
  int category = 4;
  int reference_count = -1;      // -1: loaded under a fixed reference, never released
  bool counted = false;          // already counted among the loaded textures
};

constexpr int tex_bind_cache_units = 32;

struct TextureManager {
  std::vector<TextureEntry> table;  // indexed by reference
  std::unordered_map<std::string, int> names;
  std::recursive_mutex mutex;
  int loaded_count = 0;
  long loaded_memory = 0;
  int resolution_setting = 5;  // 0 .. 5; 5 and above is full resolution

  // Scratch image: RGBA rows of the power-of-two width at or above scratch_width, bottom row first.
  std::vector<std::uint8_t> scratch;  // scratch_max_size^2 * 4 bytes once allocated
  int scratch_width = 0, scratch_height = 0;

  // Per-unit bind cache: the GL name and environment mode last sent for each unit (-1 unknown),
  // and the active texture unit.
  int bound_name[tex_bind_cache_units];
  int bound_env[tex_bind_cache_units];
  int active_unit = 0;
  bool bind_cache_enabled = true;  // off only to measure what the cache saves
  long gl_binds = 0;               // glBindTexture calls sent, for measurements

  TextureManager();
};

TextureManager& tman();

// The scratch image's pixels (allocated zeroed on first use) and its size.
std::uint8_t* scratch_pixels();
void set_scratch_size(int width, int height);

// Loads `reference` from the scratch image (a name starting with "scratch_array"). Returns the
// reference, or 0 for an empty name or when there were no pixels. Invalid arguments are programming
// errors and raise a t_exit alert.
int load_tex(int category, int reference, int flags, int load_time, const std::string& name);

// Binds `reference` on `texture_unit` with environment mode 0 (modulate). A reference that was
// never loaded raises the missing-texture alert and binds name 930 instead.
void bind_tex(int reference, int texture_unit, int env_mode);

// Makes `unit` the active texture unit, through the same cache bind_tex uses.
void tex_active_unit(int unit);

// Forgets what the bind cache believes is bound (after GL state was changed behind its back).
void tex_invalidate_bind_cache();

// Power of two at or above n (n >= 1).
int next_power_of_two(int n);
