#version 330 core
// Video pictures: position in pixels, transformed by the row-major projection
// (uploaded as is, so it reads as its transpose and multiplies from the left).
layout(std140) uniform Constants {
    mat4 projection;
};
layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inTexCoord;
out vec2 texCoord;
void main() {
    texCoord = inTexCoord;
    gl_Position = projection * vec4(inPosition, 0.0, 1.0);
}
