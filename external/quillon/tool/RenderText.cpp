#include "RenderText.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>

#include "platform/Cp932.h"
#include "platform/Fonts.h"
#include "platform/Registry.h"

namespace quillon_tool {
namespace {

// The FontSubstitutes target of `face`, or empty.
std::string Substitute(std::string_view face) {
    platform::RegKey key;
    std::string target;
    if (platform::RegOpenKey(platform::RegRoot::LocalMachine, platform::kFontSubstitutesKey,
                             platform::RegAccess::Read, key) != platform::kErrorSuccess ||
        platform::RegQueryString(key, face, target) != platform::kErrorSuccess) {
        return {};
    }
    const std::size_t comma = platform::FindCharDbcs(target, ',');
    if (comma != std::string::npos) target.resize(comma);
    return target;
}

}  // namespace

std::string FontFamilyFor(std::string_view cp932Face) {
    std::string family = Substitute(cp932Face);
    if (family.empty()) family = std::string(cp932Face);
    // Pango reads commas as a list of families: a name keeps only what precedes one.
    const std::size_t comma = platform::FindCharDbcs(family, ',');
    if (comma != std::string::npos) family.resize(comma);
    const bool mincho =
        platform::FindDbcs(cp932Face, platform::Utf8ToCp932Lossy("明朝")) != std::string::npos;
    std::string utf8 = platform::Cp932ToUtf8Lossy(family);
    if (!utf8.empty()) utf8 += ",";
    return utf8 + (mincho ? "IPAMincho" : "IPAGothic");
}

TextPainter::TextPainter(cairo_t* cr) : cr_(cr) {
    context_ = pango_cairo_create_context(cr_);
    // Linear metrics: the text is laid out at the reference size and scaled by the
    // caller, which hinting would distort.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context_, 72.0);  // one point = one layout unit
    pango_context_set_language(context_, pango_language_from_string("ja"));
    layout_ = pango_layout_new(context_);
}

TextPainter::~TextPainter() {
    g_object_unref(layout_);
    g_object_unref(context_);
}

bool TextPainter::Prepare(std::string_view cp932Text, std::string_view cp932Face, TextBox& box) {
    if (cp932Text.empty()) return false;
    vertical_ = !cp932Face.empty() && cp932Face.front() == '@';
    if (vertical_) cp932Face.remove_prefix(1);
    pango_context_set_base_gravity(context_, vertical_ ? PANGO_GRAVITY_EAST : PANGO_GRAVITY_SOUTH);
    pango_context_set_gravity_hint(context_, PANGO_GRAVITY_HINT_NATURAL);
    // Under the rotation Pango expects for the gravity, so the layout knows its matrix.
    cairo_save(cr_);
    if (vertical_) cairo_rotate(cr_, -pango_gravity_to_rotation(PANGO_GRAVITY_EAST));
    pango_cairo_update_context(cr_, context_);
    cairo_restore(cr_);

    PangoFontDescription* font = pango_font_description_new();
    const std::string family = FontFamilyFor(cp932Face);
    pango_font_description_set_family(font, family.c_str());
    pango_font_description_set_absolute_size(font, kTextReference * PANGO_SCALE);
    pango_layout_set_font_description(layout_, font);
    pango_font_description_free(font);

    const std::string utf8 = platform::Cp932ToUtf8Lossy(cp932Text);
    pango_layout_set_text(layout_, utf8.data(), static_cast<int>(utf8.size()));
    pango_layout_context_changed(layout_);

    PangoRectangle logical{};
    pango_layout_get_extents(layout_, nullptr, &logical);
    const double x = static_cast<double>(logical.x) / PANGO_SCALE;
    const double y = static_cast<double>(logical.y) / PANGO_SCALE;
    const double w = static_cast<double>(logical.width) / PANGO_SCALE;
    const double h = static_cast<double>(logical.height) / PANGO_SCALE;
    // Horizontal text sits on its first baseline; a vertical column is centred on the
    // line through the origin, its characters running down from it.
    rotation_ = vertical_ ? -pango_gravity_to_rotation(PANGO_GRAVITY_EAST) : 0.0;
    offsetY_ = vertical_ ? -(y + h / 2)
                         : -static_cast<double>(pango_layout_get_baseline(layout_)) / PANGO_SCALE;
    const double c = std::cos(rotation_), s = std::sin(rotation_);
    const double xs[2] = {x, x + w};
    const double ys[2] = {y + offsetY_, y + h + offsetY_};
    bool first = true;
    for (const double cx : xs) {
        for (const double cy : ys) {
            const double px = cx * c - cy * s, py = cx * s + cy * c;
            if (first) {
                box = {px, py, px, py};
                first = false;
            }
            box.x0 = std::min(box.x0, px);
            box.x1 = std::max(box.x1, px);
            box.y0 = std::min(box.y0, py);
            box.y1 = std::max(box.y1, py);
        }
    }
    return true;
}

void TextPainter::Show(double dx, double dy) {
    cairo_save(cr_);
    cairo_translate(cr_, dx, dy);
    cairo_rotate(cr_, rotation_);
    cairo_move_to(cr_, 0, offsetY_);
    pango_cairo_update_layout(cr_, layout_);
    pango_cairo_show_layout(cr_, layout_);
    cairo_restore(cr_);
}

void ReleaseTextCaches() {
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace quillon_tool
