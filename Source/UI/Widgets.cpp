#include "UI/Widgets.h"

#include <imgui_internal.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/TextureGL.h"

namespace ui {

namespace {
char g_textBuffer[3072 + 1];  // the shared text buffer of TextInBox (UI thread)
bool g_splitterDragging = false;  // one drag flag shared by every splitter
}  // namespace

bool BeginPanel(const char* name, ImVec2 pos, ImVec2 size, ImVec4 background, ImGuiWindowFlags flags) {
    ImGui::SetNextWindowPos(pos, ImGuiCond_Always);
    ImGui::SetNextWindowSize(size, ImGuiCond_Always);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_ChildBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleColor(ImGuiCol_WindowBg, background);
    const bool open = ImGui::Begin(name, nullptr, flags);
    ImGui::PopStyleVar(5);
    ImGui::PopStyleColor();
    return open;
}

ImVec2 TextBoxOrigin(int flags, ImVec2 boxPos, ImVec2 boxSize, ImVec2 textSize) {
    ImVec2 p = boxPos;
    if (flags & TextLeft) {
    } else if (flags & TextRight) {
        p.x += boxSize.x - textSize.x;
    } else {
        p.x += (boxSize.x - textSize.x) * 0.5f;
    }
    if (flags & TextTop) {
    } else if (flags & TextBottom) {
        p.y += boxSize.y - textSize.y;
    } else {
        p.y += (boxSize.y - textSize.y) * 0.5f;
    }
    return p;
}

void TextInBox(int flags, ImVec2 size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(g_textBuffer, sizeof(g_textBuffer), format, args);
    va_end(args);
    if (n < 0) g_textBuffer[0] = 0;
    const char* end = g_textBuffer + std::min<size_t>(n < 0 ? 0 : size_t(n), sizeof(g_textBuffer) - 1);
    const float wrap = (flags & TextWrap) ? size.x : -1.0f;
    const ImVec2 textSize = ImGui::CalcTextSize(g_textBuffer, end, false, wrap);
    const ImVec2 boxPos = ImGui::GetCursorScreenPos();
    const ImVec2 origin = TextBoxOrigin(flags, boxPos, size, textSize);
    const ImVec4 colour = ImGui::GetStyle().Colors[ImGuiCol_Text];
    if (colour.w > 0.0f) {
        ImGui::GetWindowDrawList()->AddText(ImGui::GetFont(), ImGui::GetFontSize(), origin,
                                            ImGui::GetColorU32(ImGuiCol_Text), g_textBuffer, end,
                                            wrap > 0 ? wrap : 0.0f);
    }
    ImGui::Dummy(size);
}

void TextRow(const char* format, ...) {
    ImGui::SetCursorPosY(ImGui::GetCursorPosY() + ImGui::GetStyle().FramePadding.y);
    va_list args;
    va_start(args, format);
    ImGui::TextV(format, args);
    va_end(args);
}

bool IconButton(const GL::ImageQuad& icon, bool enabled, float padding) {
    ImGui::PushID(&icon);
    const ImGuiID id = ImGui::GetID("#image");
    ImGui::PopID();
    ImGuiWindow* window = ImGui::GetCurrentWindow();
    if (window->SkipItems) return false;
    const ImVec2 size(icon.width + 2 * padding, icon.height + 2 * padding);
    const ImRect bb(window->DC.CursorPos, ImVec2(window->DC.CursorPos.x + size.x, window->DC.CursorPos.y + size.y));
    ImGui::ItemSize(bb);
    if (!ImGui::ItemAdd(bb, id)) return false;
    bool hovered = false, held = false;
    const bool pressed = ImGui::ButtonBehavior(bb, id, &hovered, &held);
    const ImVec4 tint = enabled ? ImVec4(icon.r, icon.g, icon.b, icon.a) : ImVec4(0.6f, 0.6f, 0.6f, 0.5f);
    const ImVec2 a(bb.Min.x + padding, bb.Min.y + padding), b(bb.Max.x - padding, bb.Max.y - padding);
    unsigned textureId = icon.texture ? icon.texture->Id() : 0;
    if (textureId != 0) {
        window->DrawList->AddImage(reinterpret_cast<ImTextureID>(uintptr_t(textureId)), a, b,
                                   ImVec2(icon.u0, icon.v0), ImVec2(icon.u1, icon.v1), ImGui::GetColorU32(tint));
    } else {
        // No artwork yet: an outlined placeholder keeps the button visible and usable.
        window->DrawList->AddRect(a, b, ImGui::GetColorU32(tint), 4.0f);
    }
    return pressed && enabled;
}

void SplitterEnforceMinimums(float* size1, float* size2, float minimum1, float minimum2) {
    if (*size1 < minimum1) {
        *size2 = *size1 + *size2 - minimum1;
        *size1 = minimum1;
    }
    if (*size2 < minimum2) {
        *size1 = *size1 + *size2 - minimum2;
        *size2 = minimum2;
    }
}

void SplitterMove(float* size1, float* size2, float minimum1, float minimum2, float movement) {
    const float d = std::min(*size2 - minimum2, std::max(minimum1 - *size1, movement));
    *size1 += d;
    *size2 -= d;
}

bool Splitter(bool stacked, float thickness, float* size1, float* size2, float minimum1, float minimum2) {
    ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(0, 0));
    SplitterEnforceMinimums(size1, size2, minimum1, minimum2);
    const ImVec2 delta = ImGui::GetIO().MouseDelta;
    const float movement = stacked ? delta.y : delta.x;
    if (g_splitterDragging) SplitterMove(size1, size2, minimum1, minimum2, movement);

    const ImVec2 start = ImGui::GetCursorPos();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    if (stacked) {
        ImGui::SetCursorPosY(float(int(start.y + *size1 - thickness / 2)));
    } else {
        ImGui::SetCursorPosX(float(int(start.x + *size1 - thickness / 2)));
    }
    ImGui::PushID(&g_splitterDragging);
    ImGui::PushStyleColor(ImGuiCol_Button,
                          g_splitterDragging ? ImVec4(0.6f, 0.6f, 0.6f, 1.0f) : ImVec4(0.4f, 0.4f, 0.4f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.6f, 0.6f, 0.6f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(0.6f, 0.6f, 0.6f, 1.0f));
    ImGui::Button("##Splitter", stacked ? ImVec2(avail.x, thickness) : ImVec2(thickness, avail.y));
    ImGui::PopStyleColor(3);
    const bool active = ImGui::IsItemActive();
    if (g_splitterDragging && !active) SplitterMove(size1, size2, minimum1, minimum2, movement);
    g_splitterDragging = active;
    if (ImGui::IsItemHovered()) ImGui::SetMouseCursor(stacked ? ImGuiMouseCursor_ResizeNS : ImGuiMouseCursor_ResizeEW);
    ImGui::SetCursorPos(start);
    ImGui::PopID();
    ImGui::PopStyleVar(2);
    return active;
}

}  // namespace ui
