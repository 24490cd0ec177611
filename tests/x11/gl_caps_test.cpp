// GL capability detection: the version rule, capability flags from fake GL answers (missing entry
// points, dependencies, command-line switches), the alerts, and the report a real context logs.
#include <gtest/gtest.h>

#include "app/x11/gl_caps.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <set>

#include "app/log.h"
#include "app/options.h"
#include "app/shell.h"
#include "app/x11/window.h"
#include "support/files.h"
#include "support/xvfb.h"

namespace {

class FakeGl : public GlQuery {
 public:
  std::string vendor = "Test Vendor", renderer = "Test Renderer", version = "1.5",
              extensions, glx = "GLX_SGIX_fbconfig GLX_SGIX_pbuffer";
  std::set<std::string> missing_procs;
  int native_instructions = 512;

  std::string gl_string(unsigned name) override {
    switch (name) {
      case GL_VENDOR: return vendor;
      case GL_RENDERER: return renderer;
      case GL_VERSION: return version;
      default: return extensions;
    }
  }
  std::string glx_client_extensions() override { return glx; }
  bool has_proc(const char* name) override { return !missing_procs.count(name); }
  int gl_integer(unsigned name) override {
    if (name == GL_MAX_TEXTURE_SIZE) return 4096;
    if (name == GL_MAX_TEXTURE_IMAGE_UNITS_ARB) return 16;
    return 4;
  }
  float gl_float(unsigned) override { return 8; }
  float gl_float_second(unsigned) override { return 64; }
  int program_native_instructions(unsigned) override { return native_instructions; }
};

// Detection with a log of its own and the given command line; returns the log text.
class Detect : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);  // alerts leave their files in the current folder
  }
  void TearDown() override { clear_options(); }

  std::string run(FakeGl& gl, GlCaps& caps, std::vector<std::string> args = {}) {
    log_open(dir_ / "Log.txt");
    clear_options();
    std::vector<char*> argv = {const_cast<char*>("velmora")};
    for (std::string& a : args) argv.push_back(a.data());
    parse_options(static_cast<int>(argv.size()), argv.data());
    detect_gl_with(gl, caps);
    log_close();
    return test_support::read_file(dir_ / "Log.txt");
  }
  test_support::TempDir dir_{"velmora-caps"};
};

TEST(GlVersion, Numbers) {
  struct Case {
    const char* version;
    int number;
  } cases[] = {{"1.5", 150},
               {"1.2.2 Vendor build 7", 120},
               {"2.1 Mesa 7.0", 210},
               {"4.5 (Compatibility Profile) Mesa 22.3.6", 450},
               {"1.x", 100},
               {"", 100},
               {"OpenGL ES 2.0", 100}};
  for (const Case& c : cases) EXPECT_EQ(gl_version_number(c.version), c.number) << c.version;
}

TEST_F(Detect, OldVersionDependsOnExtensions) {
  FakeGl gl;
  gl.version = "1.2.2 Vendor build 7";
  GlCaps without;
  run(gl, without);
  EXPECT_EQ(without.version_number, 120);
  EXPECT_FALSE(without.multitexture);
  EXPECT_TRUE(without.tex_clamp_avail);
  EXPECT_FALSE(without.vbo_avail);

  gl.extensions = "GL_ARB_multitexture GL_ARB_vertex_buffer_object GL_EXT_texture_filter_anisotropic";
  GlCaps with;
  run(gl, with);
  EXPECT_TRUE(with.multitexture);
  EXPECT_TRUE(with.vbo_avail);
  EXPECT_TRUE(with.aniso_avail);
  EXPECT_EQ(with.max_anisotropy, 8);
}

TEST_F(Detect, MissingEntryPointClearsTheCapabilityAndItsDependants) {
  FakeGl gl;
  gl.version = "2.1";
  gl.missing_procs = {"glLinkProgramARB"};
  GlCaps caps;
  const std::string log = run(gl, caps);
  EXPECT_NE(log.find("WARNING: extension missing proc glLinkProgramARB\n"), std::string::npos);
  EXPECT_FALSE(caps.shad_objs_avail);
  EXPECT_FALSE(caps.vshader_avail);
  EXPECT_FALSE(caps.fshader_avail);
  EXPECT_FALSE(caps.glsl_avail);
  EXPECT_TRUE(caps.vbo_avail) << "others stay";
  EXPECT_EQ(caps.max_texture_units, 4) << "no GLSL: the image-unit limit does not count";
}

TEST_F(Detect, ProgramsNeedANativeInstructionLimit) {
  FakeGl gl;
  gl.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  GlCaps caps;
  run(gl, caps);
  EXPECT_TRUE(caps.vprog_avail);
  EXPECT_TRUE(caps.fprog_avail);
  EXPECT_FALSE(caps.first_gen_shaders);

  gl.native_instructions = 0;
  run(gl, caps);
  EXPECT_FALSE(caps.vprog_avail);
  EXPECT_FALSE(caps.fprog_avail);
  run(gl, caps, {"--use_vprogs", "--use_fprogs"});
  EXPECT_TRUE(caps.vprog_avail);
  EXPECT_TRUE(caps.fprog_avail);
  EXPECT_TRUE(caps.first_gen_shaders) << "fragment programs below 100 instructions";
}

TEST_F(Detect, CommandLineSwitchesShowInTheReport) {
  FakeGl gl;
  gl.version = "2.1";
  gl.extensions = "GL_EXT_framebuffer_object GL_EXT_texture_filter_anisotropic";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  } cases[] = {
      {{}, {"vbo_avail        : 1\n", "pbo_avail        : 1\n", "framebuf_avail   : 1\n"}},
      {{"--no_vbos"}, {"vbo_avail        : 0\n", "pbo_avail        : 0\n"}},
      {{"--disable-vbo"}, {"VBOs disabled on user's request.\n", "vbo_avail        : 0\n", "pbo_avail        : 1\n"}},
      {{"--no_fbos", "--no_glsl"}, {"framebuf_avail   : 0\n", "glsl_avail       : 0\n"}},
      {{"--no_aniso_filtering"}, {"aniso_avail      : 0\n", "max iso filtering: 1.000000\n"}},
  };
  for (Case& c : cases) {
    GlCaps caps;
    const std::string log = run(gl, caps, c.args);
    for (const std::string& line : c.lines)
      EXPECT_NE(log.find(line), std::string::npos) << line << "in\n" << log;
  }
}

TEST_F(Detect, SoftwareRendererAlertIsPrintedOnceAndStartupGoesOn) {
  FakeGl gl;
  gl.renderer = "Mesa GLX Indirect";
  GlCaps caps;
  ::testing::internal::CaptureStdout();
  run(gl, caps);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("I can not find a 3-D accelerator card"), std::string::npos) << out;
  EXPECT_EQ(out.find("Skybase Error:"), out.rfind("Skybase Error:"));

  gl.renderer = "Mesa GLX Indirect (not exactly)";
  ::testing::internal::CaptureStdout();
  run(gl, caps);
  EXPECT_EQ(::testing::internal::GetCapturedStdout().find("Skybase Error:"), std::string::npos);
}

TEST_F(Detect, HardwareWithoutMultitexturing) {
  FakeGl gl;
  gl.version = "1.0";
  GlCaps caps;
  ::testing::internal::CaptureStdout();
  run(gl, caps, {"--force_run"});
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Your graphics hardware cannot support Velmora."), std::string::npos);
  EXPECT_NE(out.find("You have used the force-run command inline option"), std::string::npos);

  EXPECT_EXIT({ run(gl, caps); }, ::testing::ExitedWithCode(1), "");
  const std::string log = test_support::read_file(dir_ / "Log.txt");
  EXPECT_NE(log.find("First, try updating your graphics drivers."), std::string::npos);
  EXPECT_NE(log.find(maker_support_address), std::string::npos) << "the last line says where to write";
}

TEST_F(Detect, RealContextReport) {
  XvfbServer server;
  ASSERT_TRUE(server.running());
  // The window lives in a child so that this program keeps no GL state.
  EXPECT_EXIT(
      {
        if (!apply_window_size(window_size_startup) || create_window() != 1) std::_Exit(2);
        log_open(dir_ / "Log.txt");
        detect_gl(gl_caps());
        log_close();
        std::_Exit(gl_caps().max_texture_size > 0 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  const std::string log = test_support::read_file(dir_ / "Log.txt");
  for (const char* line :
       {"OpenGL Vendor    : ", "OpenGL Render    : llvmpipe", "OpenGL Version   : ",
        "OpenGL Extensions: GL_", "GLX Extensions: ", "tex_clamp_avail  : 1\n",
        "vbo_avail        : 1\n", "threaded_avail   : 0\n", "first-gen shaders: ",
        "max tex units    : ", "max iso filtering: ", "max texture size : ", "max point size   : "})
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
  EXPECT_NE(log.find(" Mesa "), std::string::npos) << "version string with its number";
}

}  // namespace
