#define GL_GLEXT_PROTOTYPES 1
#include "Platform/GraphicsGL/GLState.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace GL {

void GLStateBackup::Save() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    for (int i = 0; i < 3; ++i) {
        glActiveTexture(GL_TEXTURE0 + i);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &textures[i]);
        glGetIntegerv(GL_SAMPLER_BINDING, &samplers[i]);
    }
    glActiveTexture(GLenum(activeTexture));
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrcRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDstRgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEquationRgb);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &blendEquationAlpha);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    blend = glIsEnabled(GL_BLEND);
    cullFace = glIsEnabled(GL_CULL_FACE);
    depthTest = glIsEnabled(GL_DEPTH_TEST);
    scissorTest = glIsEnabled(GL_SCISSOR_TEST);
    GLboolean mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    depthMask = mask == GL_TRUE;
}

static void SetEnabled(GLenum cap, bool on) {
    if (on) {
        glEnable(cap);
    } else {
        glDisable(cap);
    }
}

void GLStateBackup::Restore() const {
    glUseProgram(GLuint(program));
    glBindVertexArray(GLuint(vertexArray));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer));
    for (int i = 0; i < 3; ++i) {
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, GLuint(textures[i]));
        glBindSampler(GLuint(i), GLuint(samplers[i]));
    }
    glActiveTexture(GLenum(activeTexture));
    glBlendEquationSeparate(GLenum(blendEquationRgb), GLenum(blendEquationAlpha));
    glBlendFuncSeparate(GLenum(blendSrcRgb), GLenum(blendDstRgb), GLenum(blendSrcAlpha), GLenum(blendDstAlpha));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
    SetEnabled(GL_BLEND, blend);
    SetEnabled(GL_CULL_FACE, cullFace);
    SetEnabled(GL_DEPTH_TEST, depthTest);
    SetEnabled(GL_SCISSOR_TEST, scissorTest);
    glDepthMask(depthMask ? GL_TRUE : GL_FALSE);
}

}  // namespace GL
