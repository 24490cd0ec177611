// The drawing layer on a real context: where primitives land on the read-back frame, culling,
// scissoring, the layout origin, the colour rule and the GL state cache; palette sampling; the
// built-in pictures as textures and the full-screen background.
#include "gui/draw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gl_test_window.h"
#include "gui/colours.h"
#include "tex/builtin_images.h"
#include "tex/texture_manager.h"

namespace {

class DrawFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    draw_context().ox = draw_context().oy = 0;
    clear_to_black();
  }
  void TearDown() override {
    clear_scissor();
    draw_context().ox = draw_context().oy = 0;
  }
};

TEST_F(DrawFrame, PrimitivesLandOnExactPixels) {
  struct Case {
    const char* label;
    float ox, oy;
    void (*draw)();
    Frame::Box box;  // left, bottom, right, top (exclusive), lit pixel count
  } cases[] = {
      {"filled rectangle", 0, 0, [] { fill_rect(0, 1.0f, 10, 20, 30, 40); }, {10, 20, 40, 60, 1200}},
      {"with layout origin", 112, 84, [] { fill_rect(0, 1.0f, 10, 20, 30, 40); },
       {122, 104, 152, 144, 1200}},
      {"negative width is culled", 0, 0, [] { fill_rect(0, 1.0f, 40, 20, -30, 40); }, {-1, -1, -1, -1, 0}},
      {"negative height is culled", 0, 0, [] { fill_rect(0, 1.0f, 10, 60, 30, -40); }, {-1, -1, -1, -1, 0}},
      {"zero width draws nothing", 0, 0, [] { fill_rect(0, 1.0f, 10, 20, 0, 40); }, {-1, -1, -1, -1, 0}},
      {"frame outline on pixel centres", 0, 0, [] { frame_rect(0, 1.0f, 10, 20, 30, 40); },
       {10, 20, 41, 61, 2 * 30 + 2 * 40}},
      {"horizontal line", 0, 0, [] { draw_line(0, 1.0f, 5, 7, 25, 7); }, {5, 7, 25, 8, 20}},
      {"negative scissor hides everything", 0, 0,
       [] {
         set_scissor(0, 0, -5, 100);
         fill_rect(0, 1.0f, 10, 20, 30, 40);
       },
       {-1, -1, -1, -1, 0}},
      {"scissor clips to its rectangle", 0, 0,
       [] {
         set_scissor(20, 30, 5.9f, 5);
         fill_rect(0, 1.0f, 10, 20, 30, 40);
       },
       {20, 30, 25, 35, 25}},
  };
  for (const Case& c : cases) {
    clear_to_black();
    draw_context().ox = c.ox;
    draw_context().oy = c.oy;
    c.draw();
    clear_scissor();
    const Frame::Box b = read_frame().lit_box();
    EXPECT_EQ(b.count, c.box.count) << c.label;
    EXPECT_EQ(b.left, c.box.left) << c.label;
    EXPECT_EQ(b.bottom, c.box.bottom) << c.label;
    EXPECT_EQ(b.right, c.box.right) << c.label;
    EXPECT_EQ(b.top, c.box.top) << c.label;
  }
}

TEST_F(DrawFrame, ClearScreenCoversTheWholeWindowInTheBackgroundColour) {
  const Rgb saved = colour(col_background);
  set_colour(col_background, 1, 1, 1);
  set_layout_origin(800, 600);  // the origin must not shift the clear
  EXPECT_EQ(draw_context().ox, 112);
  EXPECT_EQ(draw_context().oy, 84);
  clear_screen();
  const Frame::Box b = read_frame().lit_box();
  EXPECT_EQ(b.count, 1024L * 768);
  set_colour(col_background, saved.r, saved.g, saved.b);
}

TEST(DrawLayout, OriginCentresAndNeverGoesNegative) {
  struct Case {
    float w, h, ox, oy;
  } cases[] = {{1024, 768, 0, 0}, {800, 600, 112, 84}, {601, 401, 212, 184}, {2000, 900, 0, 0}};
  for (const Case& c : cases) {
    set_layout_origin(c.w, c.h);
    EXPECT_EQ(draw_context().ox, c.ox) << c.w;
    EXPECT_EQ(draw_context().oy, c.oy) << c.h;
  }
  draw_context().ox = draw_context().oy = 0;
}

TEST_F(DrawFrame, AlphaAbove099IsDrawnOpaque) {
  // White over black: a translucent colour blends, one above 0.99 is sent without alpha.
  struct Case {
    float alpha;
    int red;
  } cases[] = {{0.5f, 128}, {0.99f, 252}, {0.991f, 255}, {1.0f, 255}};
  for (const Case& c : cases) {
    clear_to_black();
    fill_rect(0, c.alpha, 0, 0, 4, 4);
    EXPECT_NEAR(read_frame().at(1, 1)[0], c.red, 1) << c.alpha;
  }
}

TEST(DrawState, CacheSkipsRepeatsAndClampsTextureUnits) {
  DrawContext& d = draw_context();
  set_gl_state(1, 0, lighting_off, blend_alpha, depth_off, depth_write_off);
  const long before = d.gl_state_changes;
  set_gl_state(1, 0, lighting_off, blend_alpha, depth_off, depth_write_off);
  EXPECT_EQ(d.gl_state_changes, before) << "a repeated state sends nothing";
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));

  set_gl_state(1, 0, lighting_off, blend_and_test, depth_off, depth_write_off);
  EXPECT_EQ(d.gl_state_changes, before + 1) << "only the alpha test changes";
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));

  // More units than the GL offers enables only the available ones.
  const int saved_units = gl_caps().max_texture_units;
  gl_caps().max_texture_units = 2;
  set_gl_state(1, 4, lighting_off, blend_alpha, depth_off, depth_write_off);
  for (int unit = 0; unit < 3; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), unit < 2) << "unit " << unit;
  }
  glActiveTexture(GL_TEXTURE0);
  set_gl_state(1, 0, lighting_off, blend_alpha, depth_off, depth_write_off);
  for (int unit = 0; unit < 2; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "unit " << unit;
  }
  glActiveTexture(GL_TEXTURE0);
  gl_caps().max_texture_units = saved_units;
}

TEST(DrawPalette, SampledFromTheSkinLegend) {
  std::vector<std::uint8_t> skin(512 * 512 * 4, 0);
  auto put = [&skin](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t* p = &skin[(y * 512 + x) * 4];
    p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
  };
  for (const PaletteSwatch& s : palette_swatches)
    put(s.x, s.y, static_cast<std::uint8_t>(s.colour), static_cast<std::uint8_t>(2 * s.colour), 255);
  put(319, 147, 0, 100, 200);  // menu rectangle
  put(319, 123, 50, 0, 100);   // menu text
  sample_interface_palette(skin.data(), 512);
  EXPECT_FLOAT_EQ(colour(col_background).r, 34 / 255.0f);
  EXPECT_FLOAT_EQ(colour(col_background).g, 68 / 255.0f);
  EXPECT_FLOAT_EQ(colour(col_cockpit_maker_text).r, 44 / 255.0f);  // the second column
  EXPECT_FLOAT_EQ(colour(col_glass_help_text).b, 1.0f);
  EXPECT_FLOAT_EQ(colour(col_menu_mid).r, 25 / 255.0f);
  EXPECT_FLOAT_EQ(colour(col_menu_mid).g, 50 / 255.0f);
  EXPECT_FLOAT_EQ(colour(col_menu_mid).b, 150 / 255.0f);
}

TEST_F(DrawFrame, BuiltinImagesBecomeTexturesAndTheBackgroundFillsOnlyItsPicture) {
  // Whatever the scratch image held before must not show above a picture.
  std::memset(scratch_pixels(), 0xff, std::size_t(scratch_max_size) * scratch_max_size * 4);
  make_builtin_images();
  const TextureManager& m = tman();
  struct Case {
    const char* label;
    int reference;
    float image_width, image_height, texture_width, texture_height;
    GLint filter;
  } cases[] = {
      {"widget skin", t_gui_skin, 512, 512, 512, 512, GL_NEAREST},
      {"installer skin", t_installer_skin, 1010, 764, 1024, 1024, GL_LINEAR},
      {"background", t_installer_back, 1024, 768, 1024, 1024, GL_LINEAR},
  };
  for (const Case& c : cases) {
    const TextureEntry& e = m.table.at(c.reference);
    EXPECT_EQ(e.state, tex_state_loaded) << c.label;
    EXPECT_EQ(e.gl_name, c.reference) << c.label;
    EXPECT_EQ(e.image_width, c.image_width) << c.label;
    EXPECT_EQ(e.image_height, c.image_height) << c.label;
    EXPECT_EQ(e.texture_width, c.texture_width) << c.label;
    EXPECT_EQ(e.texture_height, c.texture_height) << c.label;
    EXPECT_EQ(e.flags, 0x502) << c.label;
    EXPECT_EQ(e.category, 4) << c.label;
    bind_tex(c.reference, 0, 0);
    GLint filter = 0, wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(filter, c.filter) << c.label;
    EXPECT_EQ(wrap, GL_REPEAT) << c.label;
  }
  // The widget skin is made last, so the palette can still be sampled from the scratch image.
  EXPECT_EQ(std::memcmp(scratch_pixels(), builtin_gui_skin().pixels, builtin_gui_skin().bytes), 0);

  // Texture rows 768 and up are empty: t up to 0.75 fills the window, t up to 1.0 leaves the top
  // quarter (window rows 576 and up) as it was.
  struct Background {
    float t_top;
    long black_below_570, black_above_580;
  } backgrounds[] = {{0.75f, 0, 0}, {1.0f, 0, 1024L * (768 - 580)}};
  for (const Background& b : backgrounds) {
    clear_to_black();
    draw_tex_rect(t_installer_back, 49, 1.0f, 0, 0, 1024, 768, 0, 0, 1, b.t_top, blend_alpha);
    const Frame f = read_frame();
    long below = 0, above = 0;
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1024; ++x) {
        const std::uint8_t* p = f.at(x, y);
        const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
        if (y < 570) below += black;
        if (y >= 580) above += black;
      }
    EXPECT_EQ(below, b.black_below_570) << b.t_top;
    EXPECT_EQ(above, b.black_above_580) << b.t_top;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GlWindowEnvironment);
  return RUN_ALL_TESTS();
}
