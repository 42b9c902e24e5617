#version 330 core
// Textured, tinted quads and triangle lists in pixel coordinates.
layout(std140) uniform Constants {
    mat4 projection;
};
layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inTexCoord;
layout(location = 2) in vec4 inColor;
out vec2 texCoord;
out vec4 color;
void main() {
    texCoord = inTexCoord;
    color = inColor;
    gl_Position = projection * vec4(inPosition, 0.0, 1.0);
}
