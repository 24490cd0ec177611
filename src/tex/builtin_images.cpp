// The built-in pictures: accessors for the arrays the build embedded, and their upload as textures.
#include "tex/builtin_images.h"

#include <array>
#include <cstring>

#include "tex/texture_manager.h"

// Defined by the assembled artwork (cmake/artwork.cmake), back to back in this order.
extern "C" const std::uint8_t velmora_artwork_gui_skin[];
extern "C" const std::uint8_t velmora_artwork_installer_skin[];
extern "C" const std::uint8_t velmora_artwork_installer_back[];
extern "C" const std::uint8_t velmora_artwork_end[];

namespace {

constexpr std::size_t picture_bytes(int width, int height) {
  return static_cast<std::size_t>(width) * height * 4;
}

const std::array<BuiltinImage, 3>& image_table() {
  static const std::array<BuiltinImage, 3> table = {{
      {"t_installer_skin", t_installer_skin, 1010, 764, 1024, 1024, velmora_artwork_installer_skin,
       picture_bytes(1010, 764)},
      {"t_installer_back", t_installer_back, 1024, 768, 1024, 1024, velmora_artwork_installer_back,
       picture_bytes(1024, 768)},
      {"t_gui_skin", t_gui_skin, 512, 512, 512, 512, velmora_artwork_gui_skin, picture_bytes(512, 512)},
  }};
  return table;
}

}  // namespace

std::span<const BuiltinImage> builtin_images() { return image_table(); }

const BuiltinImage& builtin_installer_skin() { return image_table()[0]; }
const BuiltinImage& builtin_installer_back() { return image_table()[1]; }
const BuiltinImage& builtin_gui_skin() { return image_table()[2]; }

std::span<const std::uint8_t> builtin_artwork_block() {
  return {velmora_artwork_gui_skin,
          static_cast<std::size_t>(velmora_artwork_end - velmora_artwork_gui_skin)};
}

void make_builtin_images() {
  for (const BuiltinImage& image : builtin_images()) {
    set_scratch_size(image.width, image.height);
    std::uint8_t* scratch = scratch_pixels();
    std::memcpy(scratch, image.pixels, image.bytes);
    // The texture rows the picture does not fill stay transparent black, whatever the scratch
    // image held before.
    const std::size_t texture_bytes =
        static_cast<std::size_t>(image.texture_width) * image.texture_height * 4;
    std::memset(scratch + image.bytes, 0, texture_bytes - image.bytes);
    load_tex(builtin_image_category, image.reference, builtin_image_flags, builtin_image_load_time,
             builtin_image_texture_name);
  }
}
