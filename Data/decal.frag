#version 330 core
uniform sampler2D decalTexture;
in vec2 texCoord;
in vec4 color;
out vec4 outColor;
void main() {
    outColor = texture(decalTexture, texCoord) * color;
}
