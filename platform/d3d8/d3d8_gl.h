// The OpenGL entry points beyond 1.1 that the device needs, resolved through SDL once a
// context exists (framebuffer objects are an extension in a 2.1 context).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct D3D8GlFunctions {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC ClientActiveTexture = nullptr;
    PFNGLBLENDEQUATIONPROC BlendEquation = nullptr;

    // ARB vertex programs (Direct3D's vs.1.1 shaders); null when the context lacks them.
    PFNGLGENPROGRAMSARBPROC GenPrograms = nullptr;
    PFNGLDELETEPROGRAMSARBPROC DeletePrograms = nullptr;
    PFNGLBINDPROGRAMARBPROC BindProgram = nullptr;
    PFNGLPROGRAMSTRINGARBPROC ProgramString = nullptr;
    PFNGLPROGRAMENVPARAMETER4FVARBPROC ProgramEnvParameter4fv = nullptr;
    PFNGLVERTEXATTRIBPOINTERARBPROC VertexAttribPointer = nullptr;
    PFNGLENABLEVERTEXATTRIBARRAYARBPROC EnableVertexAttribArray = nullptr;
    PFNGLDISABLEVERTEXATTRIBARRAYARBPROC DisableVertexAttribArray = nullptr;
    bool hasVertexPrograms = false;

    // False when the context lacks framebuffer objects.
    bool Load();
};
