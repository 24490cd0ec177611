// The program's three built-in pictures. The build draws them (tools/artgen) and embeds them as raw
// RGBA arrays in read-only data, so the interface can be drawn before anything is installed and
// without reading an image file. Each array is laid out the way the texture manager reads its
// scratch image: 8-bit R, G, B, A, rows as wide as the texture (the power of two at or above the
// picture width), bottom row first, picture width x height x 4 bytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct BuiltinImage {
  const char* name;        // "t_gui_skin", "t_installer_skin", "t_installer_back"
  int reference;           // texture reference, also the GL texture name
  int width, height;       // picture size
  int texture_width;       // stored row length in pixels
  int texture_height;
  const std::uint8_t* pixels;
  std::size_t bytes;       // width x height x 4
};

// The pictures in the order in which they are made into textures: installer skin (393), background
// (394), widget skin (392). The widget skin comes last so that the scratch image still holds it
// when start-up samples the interface palette from it.
std::span<const BuiltinImage> builtin_images();

const BuiltinImage& builtin_gui_skin();
const BuiltinImage& builtin_installer_skin();
const BuiltinImage& builtin_installer_back();

// The read-only block holding the three arrays back to back: widget skin, installer skin,
// background.
std::span<const std::uint8_t> builtin_artwork_block();

// Load flags, load time and name under which the pictures become textures (the name's prefix tells
// the texture manager to take the pixels from its scratch image).
constexpr int builtin_image_category = 4;
constexpr int builtin_image_flags = 0x502;  // RGBA, full resolution, 0x400
constexpr int builtin_image_load_time = 100;
inline constexpr const char* builtin_image_texture_name = "scratch_array:hardwired textures";

// Copies each picture in turn into the texture manager's scratch image and loads it under its
// reference. Called once at start-up, after the texture manager and the GL context exist; the
// scratch image holds the widget skin afterwards.
void make_builtin_images();
