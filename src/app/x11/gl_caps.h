// What the GL offers: the renderer's strings, its version number, one flag per capability and a
// few limits. Filled once at start-up by detect_gl, which also writes the capability report to the
// log and raises the hardware alerts; read by the drawing layer and the texture manager.
#pragma once

#include <string>

struct GlCaps {
  std::string vendor, renderer, version, extensions, glx_extensions;
  int version_number = 0;  // major * 100 + minor * 10: 1.5 gives 150

  bool multitexture = false;
  bool tex_clamp_avail = false, add_env_avail = false, combine_avail = false,
       dis_fog_avail = false, tex_comp_avail = false, vbo_avail = false, pbo_avail = false,
       vprog_avail = false, fprog_avail = false, automini_avail = false, aniso_avail = false,
       fsaa_avail = false, sprites_avail = false, depth_tex_avail = false, occlude_avail = false,
       shad_objs_avail = false, vshader_avail = false, fshader_avail = false,
       gshader_avail = false, glsl_avail = false, framebuf_avail = false, sblend_avail = false,
       threaded_avail = false, first_gen_shaders = false;

  int vprog_native_instructions = 0, fprog_native_instructions = 0;
  int vertex_attribs = 0, texture_image_units = 0;  // shader limits, 0 without shaders
  int max_texture_units = 1;
  float max_anisotropy = 1.0f;
  int max_texture_size = 0;
  float max_point_size = 0;
};

// The process-wide record the drawing layers read.
GlCaps& gl_caps();

// What detection asks of the GL. The real one reads the current context; tests give their own.
class GlQuery {
 public:
  virtual ~GlQuery() = default;
  virtual std::string gl_string(unsigned name) = 0;  // glGetString; "" for null
  virtual std::string glx_client_extensions() = 0;
  virtual bool has_proc(const char* name) = 0;       // glXGetProcAddressARB finds it
  virtual int gl_integer(unsigned name) = 0;
  virtual float gl_float(unsigned name) = 0;         // first value of glGetFloatv
  virtual float gl_float_second(unsigned name) = 0;  // second value (upper end of a range)
  virtual int program_native_instructions(unsigned target) = 0;
};

// The version number of a GL version string: "%d.%d" as major * 100 + minor * 10, else the first
// three characters compared with 1.1 .. 2.1, else 100.
int gl_version_number(const std::string& version);

// Detection against the current context.
void detect_gl(GlCaps& caps);
// Detection through `query` (the steps after the strings are the same).
void detect_gl_with(GlQuery& query, GlCaps& caps);
