#version 330 core
// YUV to RGB (BT.601, limited range) from plane textures. The program is
// built twice from this file: as it stands for NV12 (R8 luma, RG8
// interleaved chroma), and with THREE_PLANES defined for YUV420P (three R8
// planes). A branch on a uniform instead would cost Mesa's software
// rasteriser the texture reads of both paths on every pixel.
uniform sampler2D lumaTexture;
uniform sampler2D chromaTexture;
#ifdef THREE_PLANES
uniform sampler2D chromaVTexture;
#endif
in vec2 texCoord;
out vec4 outColor;
void main() {
    float y = (texture(lumaTexture, texCoord).r - 0.0625) * 1.164;
#ifdef THREE_PLANES
    vec2 uv = vec2(texture(chromaTexture, texCoord).r, texture(chromaVTexture, texCoord).r);
#else
    vec2 uv = texture(chromaTexture, texCoord).rg;
#endif
    float u = uv.x - 0.5;
    float v = uv.y - 0.5;
    vec3 rgb = vec3(y + 1.596 * v, y - 0.392 * u - 0.813 * v, y + 2.017 * u);
    outColor = vec4(clamp(rgb, 0.0, 1.0), 1.0);
}
