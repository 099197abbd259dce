#include "render/canvas_cairo.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <new>
#include <string>
#include <unordered_map>

#include "support/trace.h"

namespace {

constexpr const char* kFontFamily = "IPAGothic";
// Font sizes in pixels per em: the font is fixed-pitch with half-width
// characters half an em wide, so these give cells of 6, 12 and 48 pixels.
constexpr int kFontPixels[3] = {12, 24, 96};
// Layouts kept for reuse; the cache is emptied when it grows past this, so
// an ever-changing text (the weight figure) cannot make it grow without end.
constexpr size_t kLayoutCacheLimit = 512;

struct Rgb {
  double r, g, b;
};

Rgb ToRgb(CanvasColor c) {
  return {c.r / 255.0, c.g / 255.0, c.b / 255.0};
}

constexpr CanvasColor kBrushColors[2] = {{240, 240, 230}, {255, 255, 255}};

// The file of the screen font as the system's fontconfig knows it, or an
// empty string when it is not installed.
std::string FindFontFile() {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFontFamily));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  FcChar8* family = nullptr;
  FcChar8* path = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
      std::string(reinterpret_cast<char*>(family)) == kFontFamily &&
      FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    file = reinterpret_cast<char*>(path);
  }
  if (match)
    FcPatternDestroy(match);
  return file;
}

// A font map that sees only the screen font, so text looks the same on
// every machine whatever else is installed. Falls back to the system's
// fonts when the screen font is missing.
PangoFontMap* CreateScreenFontMap() {
  PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (!map)
    return nullptr;
  const std::string file = FindFontFile();
  if (file.empty()) {
    Trace("font ERROR");
    return map;
  }
  FcConfig* config = FcConfigCreate();
  if (config && FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str()))) {
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
  } else {
    Trace("font ERROR");
  }
  if (config)
    FcConfigDestroy(config);
  return map;
}

// One font map for the whole program: shared by every canvas and kept until
// the program ends, so the font is loaded once.
PangoFontMap* ScreenFontMap() {
  static PangoFontMap* const map = CreateScreenFontMap();
  return map;
}

class CairoCanvasImp : public CairoCanvas {
 public:
  CairoCanvasImp(int width, int height) : width(width), height(height) {
    SetScale(1);
    if (ScreenFontMap())
      CreateTextContext();
  }

  ~CairoCanvasImp() override {
    ClearLayouts();
    for (PangoFontDescription*& font : fonts) {
      if (font)
        pango_font_description_free(font);
      font = nullptr;
    }
    if (context)
      g_object_unref(context);
    if (cr)
      cairo_destroy(cr);
    if (surface)
      cairo_surface_destroy(surface);
  }

  bool IsUsable() const { return cr != nullptr && context != nullptr; }

  void FillRect(int left, int top, int right, int bottom, CanvasBrush brush) override {
    if (right <= left || bottom <= top)
      return;
    SetSource(kBrushColors[static_cast<int>(brush)]);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
  }
  void SetTextColor(CanvasColor color) override { textColor = color; }
  void SetBackgroundColor(CanvasColor color) override { backgroundColor = color; }
  void SelectFont(CanvasFont font) override { selectedFont = font; }
  void SelectBrush(CanvasBrush brush) override { selectedBrush = brush; }
  void SelectPen(CanvasPen pen) override { selectedPen = pen; }

  void DrawText(int x, int y, const char* text) override {
    PangoLayout* layout = Layout(text);
    if (!layout)
      return;
    // The painted cell is as high as the font's cell, line by line; the
    // font's own line box is a pixel taller once rounded.
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    const int lines = pango_layout_get_line_count(layout);
    SetSource(backgroundColor);
    cairo_rectangle(cr, x, y, PANGO_PIXELS(logical.width),
                    lines * kFontPixels[static_cast<int>(selectedFont)]);
    cairo_fill(cr);
    SetSource(textColor);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
  }

  void FillWhite(int x, int y, int width, int height) override {
    if (width <= 0 || height <= 0)
      return;
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
  }

  void Polygon(const CanvasPoint* points, int count) override {
    if (count < 2)
      return;
    TracePath(points, count);
    cairo_close_path(cr);
    SetSource(kBrushColors[static_cast<int>(selectedBrush)]);
    cairo_fill_preserve(cr);
    SetSource(PenColor(selectedPen));
    cairo_stroke(cr);
  }

  void Polyline(const CanvasPoint* points, int count) override {
    if (count < 2)
      return;
    TracePath(points, count);
    SetSource(PenColor(selectedPen));
    cairo_stroke(cr);
  }

  void Present() override {
    cairo_surface_flush(surface);
    if (presenter)
      presenter(surface);
  }

  void Release() override { delete this; }

  void SetPresenter(CairoPresenter newPresenter) override { presenter = std::move(newPresenter); }
  cairo_surface_t* GetSurface() override { return surface; }
  int GetScale() const override { return scale; }

  int SetScale(int newScale) override {
    if (newScale < 1)
      return 0;
    if (cr != nullptr && newScale == scale)
      return 1;
    cairo_t* drawing = NewBackBuffer(newScale);
    if (drawing == nullptr)
      return 0;
    if (cr != nullptr) {
      // The old picture stays in view until the next frame replaces it.
      cairo_set_source_surface(drawing, surface, 0, 0);
      cairo_paint(drawing);
      cairo_destroy(cr);
      cairo_surface_destroy(surface);
    }
    cr = drawing;
    surface = cairo_surface_reference(cairo_get_target(drawing));
    scale = newScale;
    return 1;
  }
  int WritePng(const char* path) override {
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS ? 1 : 0;
  }

 private:
  void CreateTextContext() {
    context = pango_font_map_create_context(ScreenFontMap());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    for (int i = 0; i < 3; ++i) {
      fonts[i] = pango_font_description_new();
      pango_font_description_set_family_static(fonts[i], kFontFamily);
      pango_font_description_set_absolute_size(fonts[i], kFontPixels[i] * PANGO_SCALE);
    }
  }

  // A back buffer of the layout's size at the scale, set up for drawing
  // figures without antialiasing; null when it cannot be made.
  cairo_t* NewBackBuffer(int newScale) const {
    cairo_surface_t* target =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width * newScale, height * newScale);
    cairo_surface_set_device_scale(target, newScale, newScale);
    cairo_t* drawing = cairo_create(target);
    cairo_surface_destroy(target);
    if (cairo_status(drawing) != CAIRO_STATUS_SUCCESS) {
      cairo_destroy(drawing);
      return nullptr;
    }
    cairo_set_antialias(drawing, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(drawing, 1.0);
    return drawing;
  }

  void SetSource(CanvasColor color) {
    const Rgb rgb = ToRgb(color);
    cairo_set_source_rgb(cr, rgb.r, rgb.g, rgb.b);
  }

  // Pixel centres, so that one-pixel lines cover whole pixels.
  void TracePath(const CanvasPoint* points, int count) {
    cairo_move_to(cr, points[0].x + 0.5, points[0].y + 0.5);
    for (int i = 1; i < count; ++i)
      cairo_line_to(cr, points[i].x + 0.5, points[i].y + 0.5);
  }

  PangoLayout* Layout(const char* text) {
    if (!context)
      return nullptr;
    std::string key(1, static_cast<char>('0' + static_cast<int>(selectedFont)));
    key += text;
    auto found = layouts.find(key);
    if (found != layouts.end())
      return found->second;
    if (layouts.size() >= kLayoutCacheLimit)
      ClearLayouts();
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, fonts[static_cast<int>(selectedFont)]);
    SetValidText(layout, text);
    layouts.emplace(std::move(key), layout);
    return layout;
  }

  // Texts such as history lines come from a file; bytes that are not UTF-8
  // are shown as replacement characters instead of being refused.
  static void SetValidText(PangoLayout* layout, const char* text) {
    if (g_utf8_validate(text, -1, nullptr)) {
      pango_layout_set_text(layout, text, -1);
      return;
    }
    gchar* valid = g_utf8_make_valid(text, -1);
    pango_layout_set_text(layout, valid, -1);
    g_free(valid);
  }

  void ClearLayouts() {
    for (auto& [key, layout] : layouts)
      g_object_unref(layout);
    layouts.clear();
  }

  const int width;
  const int height;
  int scale = 1;
  CairoPresenter presenter;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoContext* context = nullptr;
  PangoFontDescription* fonts[3] = {};
  std::unordered_map<std::string, PangoLayout*> layouts;
  CanvasFont selectedFont = CanvasFont::Small;
  CanvasBrush selectedBrush = CanvasBrush::Needle;
  CanvasPen selectedPen = CanvasPen::Outline;
  CanvasColor textColor{0, 0, 0};
  CanvasColor backgroundColor{255, 255, 255};
};

}  // namespace

CairoCanvas* CreateCairoCanvas(int width, int height, int scale) {
  if (width <= 0 || height <= 0)
    return nullptr;
  auto* canvas = new (std::nothrow) CairoCanvasImp(width, height);
  if (canvas && (!canvas->IsUsable() || !canvas->SetScale(scale))) {
    canvas->Release();
    return nullptr;
  }
  return canvas;
}
