// GL capability detection: version number, capability flags with their entry-point checks and
// command-line switches, limits, the capability report in the log, and the hardware alerts.
#include "app/x11/gl_caps.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cstdio>
#include <initializer_list>

#include "app/alert.h"
#include "app/log.h"
#include "app/options.h"
#include "app/shell.h"

GlCaps& gl_caps() {
  static GlCaps caps;
  return caps;
}

int gl_version_number(const std::string& version) {
  int major = 0, minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) == 2) return major * 100 + minor * 10;
  static const struct {
    const char* text;
    int number;
  } known[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140},
               {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
  std::string head = version.substr(0, 3);
  for (const auto& k : known)
    if (head == k.text) return k.number;
  return 100;
}

namespace {

// The query against the context that is current on this thread.
class CurrentContextQuery : public GlQuery {
 public:
  std::string gl_string(unsigned name) override {
    const GLubyte* s = glGetString(name);
    return s ? reinterpret_cast<const char*>(s) : "";
  }
  std::string glx_client_extensions() override {
    Display* display = glXGetCurrentDisplay();
    const char* s = display ? glXGetClientString(display, GLX_EXTENSIONS) : nullptr;
    return s ? s : "";
  }
  bool has_proc(const char* name) override {
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)) != nullptr;
  }
  int gl_integer(unsigned name) override {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
  }
  float gl_float(unsigned name) override {
    GLfloat values[2] = {0, 0};
    glGetFloatv(name, values);
    return values[0];
  }
  float gl_float_second(unsigned name) override {
    GLfloat values[2] = {0, 0};
    glGetFloatv(name, values);
    return values[1];
  }
  int program_native_instructions(unsigned target) override {
    auto get_programiv = reinterpret_cast<PFNGLGETPROGRAMIVARBPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glGetProgramivARB")));
    if (!get_programiv) return 0;
    GLint value = 0;
    get_programiv(target, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &value);
    return value;
  }
};

// Clears `flag` when one of its entry points is missing, with a warning per missing name.
void require_procs(GlQuery& query, bool& flag, std::initializer_list<const char*> procs) {
  if (!flag) return;
  for (const char* name : procs) {
    if (!query.has_proc(name)) {
      app_log() << "WARNING: extension missing proc " << name << "\n";
      flag = false;
    }
  }
}

void clear_on_option(bool& flag, const char* option) {
  if (has_option(option)) flag = false;
}

void log_caps_line(const char* label, const std::string& value) {
  char padded[32];
  std::snprintf(padded, sizeof padded, "%-17s: ", label);
  app_log() << padded << value << "\n";
}

void log_flag(const char* label, bool flag) { log_caps_line(label, flag ? "1" : "0"); }

void log_flag_with_limit(const char* label, bool flag, const char* limit_name, int limit) {
  log_caps_line(label, std::string(flag ? "1" : "0") + " (" + limit_name + " " +
                           std::to_string(limit) + ")");
}

void write_report(const GlCaps& c) {
  log_caps_line("OpenGL Vendor", c.vendor);
  log_caps_line("OpenGL Render", c.renderer);
  log_caps_line("OpenGL Version", c.version + " (" + std::to_string(c.version_number) + ")");
  log_caps_line("OpenGL Extensions", c.extensions);
  app_log() << "GLX Extensions: " << c.glx_extensions << "\n";
  log_flag("tex_clamp_avail", c.tex_clamp_avail);
  log_flag("add_env_avail", c.add_env_avail);
  log_flag("combine_avail", c.combine_avail);
  log_flag("dis_fog_avail", c.dis_fog_avail);
  log_flag("tex_comp_avail", c.tex_comp_avail);
  log_flag("vbo_avail", c.vbo_avail);
  log_flag("pbo_avail", c.pbo_avail);
  log_flag_with_limit("vprog_avail", c.vprog_avail, "native instructions",
                      c.vprog_native_instructions);
  log_flag_with_limit("fprog_avail", c.fprog_avail, "native instructions",
                      c.fprog_native_instructions);
  log_flag("automini_avail", c.automini_avail);
  log_flag("aniso_avail", c.aniso_avail);
  log_flag("fsaa_avail", c.fsaa_avail);
  log_flag("sprites_avail", c.sprites_avail);
  log_flag("depth_tex_avail", c.depth_tex_avail);
  log_flag("occlude_avail", c.occlude_avail);
  log_flag("shad_objs_avail", c.shad_objs_avail);
  log_flag_with_limit("vshader_avail", c.vshader_avail, "vertex attributes", c.vertex_attribs);
  log_flag_with_limit("fshader_avail", c.fshader_avail, "texture image units",
                      c.texture_image_units);
  log_flag("gshader_avail", c.gshader_avail);
  log_flag("glsl_avail", c.glsl_avail);
  log_flag("framebuf_avail", c.framebuf_avail);
  log_flag("sblend_avail", c.sblend_avail);
  log_flag("threaded_avail", c.threaded_avail);
  log_flag("first-gen shaders", c.first_gen_shaders);
  log_caps_line("max tex units", std::to_string(c.max_texture_units));
  char number[32];
  std::snprintf(number, sizeof number, "%f", c.max_anisotropy);
  log_caps_line("max iso filtering", number);
  log_caps_line("max texture size", std::to_string(c.max_texture_size));
  std::snprintf(number, sizeof number, "%f", c.max_point_size);
  log_caps_line("max point size", number);
}

// The maker's pages the hardware alerts send users to.
constexpr const char* requirements_page = "www.corvane.example/requirements";
constexpr const char* graphics_cards_page = "www.corvane.example/graphics";

void raise_hardware_alerts(const GlCaps& c) {
  if (!c.multitexture && c.version_number < 110) {
    const char* headline =
        "Your graphics hardware cannot support Velmora. Velmora requires a graphics card with 16 "
        "MB of VRAM and multitexturing.";
    if (has_option("--force_run"))
      show_alert(0, headline, "Your system does not meet Velmora's hardware requirements.",
                 "You have used the force-run command inline option to run Velmora anyway, but it "
                 "may crash.",
                 std::string("The system requirements are listed at ") + requirements_page + ".",
                 t_alert, "OGL_extensions", 590);
    else
      show_alert(0, headline, "First, try updating your graphics drivers.",
                 "If this does not help, check your graphics card specifications.",
                 std::string("If you still need help, write to ") + maker_support_address + ".",
                 t_exit,
                 "OGL_extensions", 590);
  }
  const std::string& r = c.renderer;
  if (r == "GENERIC" || r == "Generic" || r == "generic" || r == "Mesa GLX Indirect")
    show_alert(0,
               "I can not find a 3-D accelerator card that can handle OpenGL that has correctly "
               "installed drivers.",
               "I will still let you run the simulator, but the frame rate will NOT allow for a good "
               "simulation.",
               "For you to fly realistically, you must use Velmora version Classic, or get a 3-D "
               "accelerator card that can handle OpenGL.",
               std::string("Compatible cards are listed at ") + graphics_cards_page + ".", t_alert,
               "OGL_extensions", 601);
}

}  // namespace

void detect_gl(GlCaps& caps) {
  CurrentContextQuery query;
  detect_gl_with(query, caps);
}

void detect_gl_with(GlQuery& query, GlCaps& c) {
  c.vendor = query.gl_string(GL_VENDOR);
  c.renderer = query.gl_string(GL_RENDERER);
  c.version = query.gl_string(GL_VERSION);
  c.extensions = query.gl_string(GL_EXTENSIONS);
  c.glx_extensions = query.glx_client_extensions();
  const int v = c.version_number = gl_version_number(c.version);
  auto ext = [&c](const char* name) { return c.extensions.find(name) != std::string::npos; };

  c.multitexture = v >= 130 || ext("GL_ARB_multitexture");
  c.tex_clamp_avail = v >= 120 || ext("GL_EXT_texture_edge_clamp") || ext("GL_SGIS_texture_edge_clamp");
  c.add_env_avail = v >= 130 || ext("GL_ARB_texture_env_add") || ext("GL_EXT_texture_env_add");
  c.combine_avail =
      v >= 130 || ext("GL_ARB_texture_env_combine") || ext("GL_EXT_texture_env_combine");
  c.dis_fog_avail = ext("GL_NV_fog_distance");
  c.tex_comp_avail = v >= 130 || ext("GL_ARB_texture_compression");
  c.vbo_avail = v >= 150 || ext("GL_ARB_vertex_buffer_object");
  c.pbo_avail = v >= 210 || ext("GL_ARB_pixel_buffer_object");
  c.vprog_avail = ext("GL_ARB_vertex_program");
  c.fprog_avail = ext("GL_ARB_fragment_program");
  c.automini_avail = v >= 140 || ext("GL_SGIS_generate_mipmap");
  c.aniso_avail = ext("GL_EXT_texture_filter_anisotropic");
  c.fsaa_avail = v >= 130 || ext("GL_ARB_multisample");
  c.sprites_avail = v >= 200 || ext("GL_ARB_point_sprite");
  c.depth_tex_avail = v >= 140 || ext("GL_ARB_depth_texture");
  c.occlude_avail = v >= 150 || ext("GL_ARB_occlusion_query");
  c.shad_objs_avail = v >= 200 || ext("GL_ARB_shader_objects");
  c.vshader_avail = v >= 200 || ext("GL_ARB_vertex_shader");
  c.fshader_avail = v >= 200 || ext("GL_ARB_fragment_shader");
  c.gshader_avail = ext("GL_EXT_geometry_shader4");
  c.glsl_avail = v >= 200 || ext("GL_ARB_shading_language_100");
  c.framebuf_avail = ext("GL_EXT_framebuffer_object");
  c.sblend_avail = ext("GL_EXT_blend_func_separate") && ext("GL_EXT_blend_equation_separate");

  // Worker threads would need pbuffers for contexts of their own; they never get one here.
  const bool pbuffers = c.glx_extensions.find("GLX_SGIX_fbconfig") != std::string::npos &&
                        c.glx_extensions.find("GLX_SGIX_pbuffer") != std::string::npos;
  if (!pbuffers) app_log() << "Disabling threaded OGL - we need pbuffer support for this.\n";
  c.threaded_avail = false;

  // Entry points of the capabilities that have them.
  require_procs(query, c.multitexture,
                {"glActiveTextureARB", "glClientActiveTextureARB", "glMultiTexCoord2fARB"});
  require_procs(query, c.tex_comp_avail, {"glCompressedTexImage2DARB", "glGetCompressedTexImageARB"});
  require_procs(query, c.vbo_avail,
                {"glBindBufferARB", "glGenBuffersARB", "glBufferDataARB", "glDeleteBuffersARB"});
  require_procs(query, c.pbo_avail, {"glBindBufferARB", "glMapBufferARB", "glUnmapBufferARB"});
  require_procs(query, c.vprog_avail,
                {"glGenProgramsARB", "glBindProgramARB", "glProgramStringARB", "glGetProgramivARB"});
  require_procs(query, c.fprog_avail,
                {"glGenProgramsARB", "glBindProgramARB", "glProgramStringARB", "glGetProgramivARB"});
  require_procs(query, c.fsaa_avail, {"glSampleCoverageARB"});
  require_procs(query, c.occlude_avail,
                {"glGenQueriesARB", "glBeginQueryARB", "glEndQueryARB", "glGetQueryObjectuivARB"});
  require_procs(query, c.shad_objs_avail,
                {"glCreateShaderObjectARB", "glShaderSourceARB", "glCompileShaderARB",
                 "glCreateProgramObjectARB", "glAttachObjectARB", "glLinkProgramARB",
                 "glUseProgramObjectARB", "glGetUniformLocationARB"});
  require_procs(query, c.vshader_avail, {"glBindAttribLocationARB", "glVertexAttribPointerARB"});
  require_procs(query, c.gshader_avail, {"glProgramParameteriEXT"});
  require_procs(query, c.framebuf_avail,
                {"glGenFramebuffersEXT", "glBindFramebufferEXT", "glFramebufferTexture2DEXT",
                 "glCheckFramebufferStatusEXT", "glDeleteFramebuffersEXT"});
  require_procs(query, c.sblend_avail, {"glBlendFuncSeparateEXT", "glBlendEquationSeparateEXT"});

  // Dependencies, in this order so that a capability cleared above clears its dependants.
  c.fprog_avail = c.fprog_avail && c.vprog_avail;
  c.fshader_avail = c.fshader_avail && c.shad_objs_avail;
  c.vshader_avail = c.vshader_avail && c.shad_objs_avail;
  c.gshader_avail = c.gshader_avail && c.shad_objs_avail;
  c.glsl_avail = c.glsl_avail && c.vshader_avail && c.fshader_avail;

  // Native instruction limits: a GL that reports 0 runs programs in software.
  c.vprog_native_instructions =
      c.vprog_avail ? query.program_native_instructions(GL_VERTEX_PROGRAM_ARB) : 0;
  c.fprog_native_instructions =
      c.fprog_avail ? query.program_native_instructions(GL_FRAGMENT_PROGRAM_ARB) : 0;
  if (c.vprog_avail && c.vprog_native_instructions == 0 && !has_option("--use_vprogs"))
    c.vprog_avail = false;
  if (c.fprog_avail && c.fprog_native_instructions == 0 && !has_option("--use_fprogs"))
    c.fprog_avail = false;

  c.first_gen_shaders = (c.glsl_avail && c.vendor.find("NVIDIA") != std::string::npos &&
                         !ext("GL_NV_fragment_program2")) ||
                        (c.fprog_avail && c.fprog_native_instructions < 100);

  // Limits.
  c.max_texture_units = query.gl_integer(GL_MAX_TEXTURE_UNITS_ARB);
  if (c.max_texture_units < 1) c.max_texture_units = 1;
  c.max_anisotropy = c.aniso_avail ? query.gl_float(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT) : 1.0f;
  c.max_texture_size = query.gl_integer(GL_MAX_TEXTURE_SIZE);
  c.max_point_size = query.gl_float_second(GL_POINT_SIZE_RANGE);
  c.vertex_attribs = c.vshader_avail ? query.gl_integer(GL_MAX_VERTEX_ATTRIBS_ARB) : 0;
  c.texture_image_units = c.fshader_avail ? query.gl_integer(GL_MAX_TEXTURE_IMAGE_UNITS_ARB) : 0;

  // Command-line switches.
  if (has_option("--disable-vbo")) {
    c.vbo_avail = false;
    app_log() << "VBOs disabled on user's request.\n";
  }
  clear_on_option(c.vbo_avail, "--no_vbos");
  clear_on_option(c.pbo_avail, "--no_vbos");
  clear_on_option(c.pbo_avail, "--no_pbos");
  clear_on_option(c.vprog_avail, "--no_vshaders");
  clear_on_option(c.fprog_avail, "--no_fshaders");
  clear_on_option(c.automini_avail, "--no_hw_mipmap");
  if (has_option("--no_aniso_filtering")) {
    c.aniso_avail = false;
    c.max_anisotropy = 1.0f;
  }
  clear_on_option(c.sprites_avail, "--no_sprites");
  clear_on_option(c.occlude_avail, "--no_pixel_counters");
  clear_on_option(c.glsl_avail, "--no_glsl");
  clear_on_option(c.framebuf_avail, "--no_fbos");
  clear_on_option(c.sblend_avail, "--no_sblend");
  clear_on_option(c.threaded_avail, "--no_threaded_ogl");

  write_report(c);
  if (c.glsl_avail && c.texture_image_units > c.max_texture_units)
    c.max_texture_units = c.texture_image_units;
  raise_hardware_alerts(c);
}
