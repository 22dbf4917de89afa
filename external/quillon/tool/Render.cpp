#include "Render.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <cstdio>
#include <string_view>

#include "RenderPainter.h"
#include "RenderStyle.h"
#include "RenderText.h"
#include "RenderView.h"
#include "pdbform/FormIo.h"
#include "platform/AtomicWrite.h"

namespace quillon_tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: quillon render FILE OUT.svg|OUT.png [--width PIXELS]\n"
    "       draw a file in PDB form; PIXELS 16-16384, default 1024\n";

int Usage(const char* why) {
    std::fprintf(stderr, "quillon render: %s\n%s", why, kUsage);
    return kExitUsage;
}

int Refuse(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "quillon: %s: %s\n", what.c_str(), why.c_str());
    return kExitFailed;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Measures the drawing in drawing units on a scratch surface.
bool Measure(const pdbform::PdbFile& file, const RenderStyle& style, Bounds& bounds,
             std::string& why) {
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    bool ok = true;
    {
        ElementPainter painter(file, style, cr, ElementPainter::Mode::kMeasure, identity, 1.0);
        ok = painter.DrawAll(why);
        bounds = painter.Measured();
    }
    if (ok && cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        why = cairo_status_to_string(cairo_status(cr));
        ok = false;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return ok;
}

}  // namespace

bool RenderPicture(const pdbform::PdbFile& file, const RenderRequest& request, std::string& out,
                   std::string& why) {
    const RenderStyle style(file);
    Bounds bounds;
    if (!Measure(file, style, bounds, why)) return false;
    View view;
    if (!FitView(bounds, request.width, view)) {
        why = "the drawing's extent cannot be fitted into a picture";
        return false;
    }

    out.clear();
    cairo_surface_t* surface =
        request.format == PictureFormat::kSvg
            ? cairo_svg_surface_create_for_stream(AppendTo, &out, view.width, view.height)
            : cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.width, view.height);
    // SVG sizes in pixels, as the PNG of the same width.
    if (request.format == PictureFormat::kSvg)
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
    cairo_t* cr = cairo_create(surface);
    bool ok = true;
    if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        ElementPainter painter(file, style, cr, ElementPainter::Mode::kPaint, view.toPicture,
                               view.scale);
        ok = painter.DrawAll(why);
    }
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (ok && status == CAIRO_STATUS_SUCCESS && request.format == PictureFormat::kPng)
        status = cairo_surface_write_to_png_stream(surface, AppendTo, &out);
    cairo_surface_finish(surface);  // an SVG document is complete only now
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (ok && status != CAIRO_STATUS_SUCCESS) {
        why = cairo_status_to_string(status);
        ok = false;
    }
    return ok;
}

int RunRender(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    RenderRequest request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--width") {
            files.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) return Usage("--width needs a number of pixels");
        const std::string& value = args[++i];
        int width = 0;
        bool digits = !value.empty() && value.size() <= 5;
        for (const char c : value) {
            digits = digits && c >= '0' && c <= '9';
            if (digits) width = width * 10 + (c - '0');
        }
        if (!digits || width < kMinPictureSide || width > kMaxPictureSide)
            return Usage("--width must be a number of pixels from 16 to 16384");
        request.width = width;
    }
    if (files.size() != 2) return Usage("expected FILE and OUT");
    const std::string& in = files[0];
    const std::string& outPath = files[1];
    if (EndsWithNoCase(outPath, ".png")) {
        request.format = PictureFormat::kPng;
    } else if (EndsWithNoCase(outPath, ".svg")) {
        request.format = PictureFormat::kSvg;
    } else {
        return Usage("OUT must end with .png or .svg");
    }

    int exit = kExitOk;
    {
        pdbform::PdbFile file;
        std::string why;
        if (const auto s = pdbform::Load(in, file, &why); s != pdbform::Status::kOk) {
            exit =
                Refuse(in, std::string(pdbform::StatusText(s)) + (why.empty() ? "" : ": " + why));
        } else {
            std::string picture;
            if (!RenderPicture(file, request, picture, why)) {
                exit = Refuse(in, why);
            } else if (const auto error = platform::AtomicWriteFile(outPath, picture);
                       error != platform::kErrorSuccess) {
                exit = Refuse(outPath, "cannot be written (error " + std::to_string(error) + ")");
            }
        }
    }
    ReleaseTextCaches();
    return exit;
}

}  // namespace quillon_tool
