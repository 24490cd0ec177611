// Artwork generator: draws the program's three built-in pictures and writes them as raw arrays in
// the layout the program stores and uploads them (8-bit R, G, B, A; rows as wide as the texture;
// bottom row first; picture width x height x 4 bytes). The build runs it and embeds the output.
//
//   velmora-artgen --out DIR [--png DIR]
//
// writes DIR/gui_skin.rgba, DIR/installer_skin.rgba and DIR/installer_back.rgba, and with --png a
// preview PNG of each picture. Output depends on nothing but this program, so every run produces
// identical bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "artwork.h"
#include "png.h"

namespace {

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

int usage() {
  std::fprintf(stderr, "usage: velmora-artgen --out DIR [--png DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out_dir, png_dir;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
      out_dir = argv[++i];
    else if (!std::strcmp(argv[i], "--png") && i + 1 < argc)
      png_dir = argv[++i];
    else
      return usage();
  }
  if (out_dir.empty() && png_dir.empty()) return usage();

  struct Job {
    const artgen::PictureSpec& layout;
    artgen::Canvas (*paint)();
  };
  const Job jobs[] = {{artgen::gui_skin_spec, artgen::paint_gui_skin},
                      {artgen::installer_skin_spec, artgen::paint_installer_skin},
                      {artgen::installer_back_spec, artgen::paint_installer_back}};
  for (const Job& job : jobs) {
    artgen::Canvas canvas = job.paint();
    std::vector<std::uint8_t> bytes = canvas.to_rgba8(job.layout.row_width, job.layout.stored_bytes());
    if (!out_dir.empty()) {
      std::string path = out_dir + "/" + job.layout.file_stem + ".rgba";
      if (!write_file(path, bytes)) {
        std::fprintf(stderr, "velmora-artgen: cannot write %s\n", path.c_str());
        return 1;
      }
    }
    if (!png_dir.empty()) {
      // Previews show the whole canvas, including what the stored array leaves out.
      std::vector<std::uint8_t> full =
          canvas.to_rgba8(job.layout.row_width, static_cast<std::size_t>(job.layout.row_width) * job.layout.height * 4);
      std::string path = png_dir + "/" + job.layout.file_stem + ".png";
      if (!artgen::write_png(path, full, job.layout.row_width, job.layout.width, job.layout.height)) {
        std::fprintf(stderr, "velmora-artgen: cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
