#version 330 core
// Lit, glossy parts: ambient + diffuse from the light, a specular highlight
// and a spherical reflection map (texture unit 0).
layout(std140) uniform Constants {
    mat4 modelView;
    mat4 projection;
    vec4 material;
    vec4 light;
};
uniform sampler2D partTexture0;
in vec3 viewPosition;
in vec3 viewNormal;
in vec4 color;
out vec4 outColor;
void main() {
    vec3 n = normalize(viewNormal);
    vec3 toEye = normalize(-viewPosition);
    vec3 toLight = normalize(light.xyz - viewPosition);
    float diffuse = max(dot(n, toLight), 0.0);
    vec3 halfway = normalize(toLight + toEye);
    vec3 r = reflect(-toEye, n);
    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
    vec2 sphere = m > 0.0 ? r.xy / m + 0.5 : vec2(0.5);
    vec3 reflection = texture(partTexture0, vec2(sphere.x, 1.0 - sphere.y)).rgb;
    // Glossy parts mirror more of the studio at grazing angles (Schlick-like
    // Fresnel), which gives the dark body bright rims and reads as a solid
    // lacquered object; the specular term is sharpened to a small highlight.
    float facing = max(dot(n, toEye), 0.0);
    float fresnel = 0.35 + 0.65 * pow(1.0 - facing, 3.0);
    float highlight = pow(max(dot(n, halfway), 0.0), 60.0) * 5.0;
    vec3 rgb = color.rgb * (material.x + material.y * diffuse) + material.z * reflection * fresnel * 0.6
             + material.w * highlight;
    outColor = vec4(rgb, color.a);
}
