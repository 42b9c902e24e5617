#version 330 core
// YUV to RGB (BT.601, limited range) from plane textures:
// planes 0 = NV12 (R8 luma, RG8 interleaved chroma), 1 = YUV420P (three R8).
uniform sampler2D lumaTexture;
uniform sampler2D chromaTexture;
uniform sampler2D chromaVTexture;
uniform int planes;
in vec2 texCoord;
out vec4 outColor;
void main() {
    float y = (texture(lumaTexture, texCoord).r - 0.0625) * 1.164;
    vec2 uv;
    if (planes == 0) {
        uv = texture(chromaTexture, texCoord).rg;
    } else {
        uv = vec2(texture(chromaTexture, texCoord).r, texture(chromaVTexture, texCoord).r);
    }
    float u = uv.x - 0.5;
    float v = uv.y - 0.5;
    vec3 rgb = vec3(y + 1.596 * v, y - 0.392 * u - 0.813 * v, y + 2.017 * u);
    outColor = vec4(clamp(rgb, 0.0, 1.0), 1.0);
}
