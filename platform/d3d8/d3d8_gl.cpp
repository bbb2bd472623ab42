#include "platform/d3d8/d3d8_gl.h"

#include <SDL.h>

#include <cstring>

namespace {
template <class F>
bool Resolve(F& out, const char* name, const char* alternative)
{
    out = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
    if (!out && alternative) out = reinterpret_cast<F>(SDL_GL_GetProcAddress(alternative));
    return out != nullptr;
}
}  // namespace

bool D3D8GlFunctions::Load()
{
    bool ok = true;
    ok &= Resolve(GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    ok &= Resolve(DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    ok &= Resolve(BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    ok &= Resolve(FramebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
    ok &= Resolve(GenRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
    ok &= Resolve(DeleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
    ok &= Resolve(BindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
    ok &= Resolve(RenderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
    ok &= Resolve(FramebufferRenderbuffer, "glFramebufferRenderbuffer", "glFramebufferRenderbufferEXT");
    ok &= Resolve(CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
    ok &= Resolve(ActiveTexture, "glActiveTexture", "glActiveTextureARB");
    ok &= Resolve(ClientActiveTexture, "glClientActiveTexture", "glClientActiveTextureARB");
    ok &= Resolve(BlendEquation, "glBlendEquation", "glBlendEquationEXT");
    bool vp = true;
    vp &= Resolve(GenPrograms, "glGenProgramsARB", nullptr);
    vp &= Resolve(DeletePrograms, "glDeleteProgramsARB", nullptr);
    vp &= Resolve(BindProgram, "glBindProgramARB", nullptr);
    vp &= Resolve(ProgramString, "glProgramStringARB", nullptr);
    vp &= Resolve(ProgramEnvParameter4fv, "glProgramEnvParameter4fvARB", nullptr);
    vp &= Resolve(VertexAttribPointer, "glVertexAttribPointerARB", "glVertexAttribPointer");
    vp &= Resolve(EnableVertexAttribArray, "glEnableVertexAttribArrayARB", "glEnableVertexAttribArray");
    vp &= Resolve(DisableVertexAttribArray, "glDisableVertexAttribArrayARB", "glDisableVertexAttribArray");
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    hasVertexPrograms = vp && extensions && std::strstr(extensions, "GL_ARB_vertex_program");
    return ok;
}
