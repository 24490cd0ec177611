// The texture manager on a real context: sizes, formats, filters and wrap as the GL reports them,
// re-uploads, the bind cache, and the checks that end the program.
#include "tex/texture_manager.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/log.h"
#include "gui/gl_test_window.h"
#include "support/files.h"

namespace {

constexpr int rgba_full_res = 0x502;
const char* scratch_name = "scratch_array:test";

GLint texture_parameter(int reference, GLenum name) {
  GLint value = 0;
  glBindTexture(GL_TEXTURE_2D, reference);
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  tex_invalidate_bind_cache();
  return value;
}

GLint level_parameter(int reference, GLenum name) {
  GLint value = 0;
  glBindTexture(GL_TEXTURE_2D, reference);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
  tex_invalidate_bind_cache();
  return value;
}

TEST(TextureLoad, SizesAndFilters) {
  struct Case {
    const char* label;
    int reference, width, height, flags;
    int texture_width, texture_height;
    GLint min_filter, wrap_s, wrap_t;
  } cases[] = {
      {"installer skin size", 393, 1010, 764, rgba_full_res, 1024, 1024, GL_LINEAR, GL_REPEAT, GL_REPEAT},
      {"widget skin is nearest", 392, 512, 512, rgba_full_res, 512, 512, GL_NEAREST, GL_REPEAT, GL_REPEAT},
      {"nearest range end", 442, 3, 3, rgba_full_res, 4, 4, GL_NEAREST, GL_REPEAT, GL_REPEAT},
      {"clamp both", 500, 3, 2, rgba_full_res | tex_clamp, 4, 2, GL_LINEAR, GL_CLAMP_TO_EDGE,
       GL_CLAMP_TO_EDGE},
      {"clamp s only", 501, 3, 2, rgba_full_res | tex_clamp_s, 4, 2, GL_LINEAR, GL_CLAMP_TO_EDGE, GL_REPEAT},
      {"exact size", 502, 3, 5, rgba_full_res | tex_exact_size, 3, 5, GL_LINEAR, GL_REPEAT, GL_REPEAT},
      {"mip-mapped", 503, 8, 8, rgba_full_res | tex_mipmap, 8, 8, GL_LINEAR_MIPMAP_LINEAR, GL_REPEAT,
       GL_REPEAT},
      {"largest reference", max_manual_ref, 1, 1, rgba_full_res, 1, 1, GL_LINEAR, GL_REPEAT, GL_REPEAT},
      {"largest size", 504, 2048, 1, rgba_full_res, 2048, 1, GL_LINEAR, GL_REPEAT, GL_REPEAT},
  };
  for (const Case& c : cases) {
    set_scratch_size(c.width, c.height);
    ASSERT_EQ(load_tex(4, c.reference, c.flags, 100, scratch_name), c.reference) << c.label;
    const TextureEntry& e = tman().table[c.reference];
    EXPECT_EQ(e.image_width, c.width) << c.label;
    EXPECT_EQ(e.image_height, c.height) << c.label;
    EXPECT_EQ(e.texture_width, c.texture_width) << c.label;
    EXPECT_EQ(e.texture_height, c.texture_height) << c.label;
    EXPECT_EQ(e.gl_name, c.reference) << c.label;
    EXPECT_EQ(e.state, tex_state_loaded) << c.label;
    EXPECT_EQ(level_parameter(c.reference, GL_TEXTURE_WIDTH), c.texture_width) << c.label;
    EXPECT_EQ(level_parameter(c.reference, GL_TEXTURE_HEIGHT), c.texture_height) << c.label;
    EXPECT_EQ(texture_parameter(c.reference, GL_TEXTURE_MIN_FILTER), c.min_filter) << c.label;
    EXPECT_EQ(texture_parameter(c.reference, GL_TEXTURE_WRAP_S), c.wrap_s) << c.label;
    EXPECT_EQ(texture_parameter(c.reference, GL_TEXTURE_WRAP_T), c.wrap_t) << c.label;
  }
  // Entries below a new reference are filled as "un-inited" and stay free.
  EXPECT_EQ(tman().table[395].name, "un-inited");
  EXPECT_EQ(tman().table[395].gl_format, 0);
}

TEST(TextureLoad, PixelsComeFromScratchRowsOfTextureWidth) {
  // A 3 x 2 picture in a 4-wide texture: each scratch row is 4 pixels, bottom row first.
  std::uint8_t* scratch = scratch_pixels();
  for (int i = 0; i < 4 * 2 * 4; ++i) scratch[i] = static_cast<std::uint8_t>(i);
  set_scratch_size(3, 2);
  ASSERT_EQ(load_tex(4, 510, rgba_full_res, 100, scratch_name), 510);
  std::uint8_t read_back[4 * 2 * 4] = {};
  glBindTexture(GL_TEXTURE_2D, 510);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read_back);
  tex_invalidate_bind_cache();
  EXPECT_EQ(std::memcmp(read_back, scratch, sizeof read_back), 0);

  // Loading the same reference again replaces the pixels and counts the texture once.
  const int loaded = tman().loaded_count;
  scratch[0] = 200;
  ASSERT_EQ(load_tex(4, 510, rgba_full_res, 100, scratch_name), 510);
  EXPECT_EQ(tman().loaded_count, loaded);
  glBindTexture(GL_TEXTURE_2D, 510);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read_back);
  tex_invalidate_bind_cache();
  EXPECT_EQ(read_back[0], 200);
}

TEST(TextureLoad, NoPixelSource) {
  EXPECT_EQ(load_tex(4, 520, rgba_full_res, 100, ""), 0) << "empty name";
  EXPECT_EQ(load_tex(4, 520, rgba_full_res, 100, "picture.png"), 0) << "not from the scratch image";
}

TEST(TextureBind, CacheSendsOneBindPerChange) {
  set_scratch_size(2, 2);
  ASSERT_EQ(load_tex(4, 530, rgba_full_res, 100, scratch_name), 530);
  ASSERT_EQ(load_tex(4, 531, rgba_full_res, 100, scratch_name), 531);
  TextureManager& m = tman();
  bind_tex(530, 0, 0);
  const long binds = m.gl_binds;
  bind_tex(530, 0, 0);
  EXPECT_EQ(m.gl_binds, binds) << "same texture, same unit";
  bind_tex(531, 0, 0);
  EXPECT_EQ(m.gl_binds, binds + 1);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 531);

  // Another unit has its own cache entry and is left active.
  bind_tex(530, 1, 0);
  EXPECT_EQ(m.gl_binds, binds + 2);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE1);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 530);
  bind_tex(531, 0, 0);
  EXPECT_EQ(m.gl_binds, binds + 2) << "unit 0 still holds 531";
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
}

// Each case must end the program through the texture manager's alert.
TEST(TextureDeath, ProgrammingErrorsEndTheProgram) {
  struct Case {
    const char* label;
    void (*act)();
    const char* headline;
  } cases[] = {
      {"width 0", [] { set_scratch_size(0, 16); load_tex(4, 540, rgba_full_res, 100, scratch_name); },
       "Trying to create a texture either less than 1 or greater than 2048!"},
      {"height 2049", [] { set_scratch_size(16, 2049); load_tex(4, 540, rgba_full_res, 100, scratch_name); },
       "Trying to create a texture either less than 1 or greater than 2048!"},
      {"reference 1136", [] { set_scratch_size(4, 4); load_tex(4, 1136, rgba_full_res, 100, scratch_name); },
       "Trying to bind too low or high a manual_ref!"},
      {"negative reference", [] { set_scratch_size(4, 4); load_tex(4, -1, rgba_full_res, 100, scratch_name); },
       "Trying to bind too low or high a manual_ref!"},
      {"reference 0", [] { set_scratch_size(4, 4); load_tex(4, 0, rgba_full_res, 100, scratch_name); },
       "Trying to bind a null ref!"},
      {"load time 103", [] { set_scratch_size(4, 4); load_tex(4, 540, rgba_full_res, 103, scratch_name); },
       "Trying to create an invalid texture load_time!"},
      {"flags 0x4000", [] { set_scratch_size(4, 4); load_tex(4, 540, 0x4000, 100, scratch_name); },
       "Trying to bind an invalid filter type!"},
      {"colour enum 0", [] { set_scratch_size(4, 4); load_tex(4, 540, 0x500, 100, scratch_name); },
       "BAD color enum for tman - see tman.h for valid colors!  We cannot pass 0."},
      {"binding a texture never loaded", [] { bind_tex(t_symbol_font, 0, 0); },
       "missing non-scenery texture - how?"},
      {"binding past the table", [] { bind_tex(1200, 0, 0); }, "missing non-scenery texture - how?"},
  };
  const test_support::TempDir dir("velmora-tman");
  ASSERT_TRUE(dir.ok());
  for (const Case& c : cases) {
    const std::string log_path = dir / "Log.txt";
    EXPECT_EXIT(
        {
          if (chdir(dir.path().c_str()) != 0) std::_Exit(3);
          log_open(log_path);
          c.act();
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(1), "")
        << c.label;
    const std::string log = test_support::read_file(log_path);
    EXPECT_NE(log.find(c.headline), std::string::npos) << c.label << "\n" << log;
    EXPECT_NE(log.find("(tman line"), std::string::npos) << c.label;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GlWindowEnvironment);
  return RUN_ALL_TESTS();
}
