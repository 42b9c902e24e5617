#version 330 core
// Camera model parts. The matrices are row-major with row vectors
// (p' = p * modelView * projection); uploaded as is they read as transposes.
layout(std140) uniform Constants {
    mat4 modelView;
    mat4 projection;
    vec4 material;   // ambient, diffuse, reflection, specular
    vec4 light;      // light position (view space), 1
};
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;
layout(location = 3) in vec4 inColor;
out vec3 viewPosition;
out vec3 viewNormal;
out vec4 color;
void main() {
    vec4 p = modelView * vec4(inPosition, 1.0);
    viewPosition = p.xyz;
    viewNormal = (modelView * vec4(inNormal, 0.0)).xyz;
    color = inColor;
    gl_Position = projection * p;
}
