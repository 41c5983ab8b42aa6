#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>

#include "ui/platform/gfx/canvas.h"

namespace kelvo {
namespace {

// gdk-pixbuf gives straight RGB(A) bytes; Cairo wants premultiplied native
// 32-bit words.
cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pb) {
  const int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
  const int n = gdk_pixbuf_get_n_channels(pb);
  const bool alpha = gdk_pixbuf_get_has_alpha(pb);
  if (w < 1 || h < 1 || gdk_pixbuf_get_bits_per_sample(pb) != 8 || n < 3) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* dst = cairo_image_surface_get_data(s);
  const int dstride = cairo_image_surface_get_stride(s);
  const guchar* src = gdk_pixbuf_read_pixels(pb);
  const int sstride = gdk_pixbuf_get_rowstride(pb);
  for (int y = 0; y < h; ++y) {
    const guchar* sp = src + static_cast<size_t>(y) * sstride;
    auto* dp = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * dstride);
    for (int x = 0; x < w; ++x, sp += n) {
      const unsigned a = alpha ? sp[3] : 255;
      auto pm = [a](unsigned v) { return (v * a + 127) / 255; };
      dp[x] = (a << 24) | (pm(sp[0]) << 16) | (pm(sp[1]) << 8) | pm(sp[2]);
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

constexpr int kMaxFrames = 512;

}  // namespace

Image::~Image() {
  for (auto* f : frames_) cairo_surface_destroy(f);
}

int Image::FrameDelayMs(int frame) const {
  if (frame < 0 || frame >= static_cast<int>(delays_.size())) return 0;
  return delays_[frame];
}

cairo_surface_t* Image::Surface(int frame) const {
  if (frames_.empty()) return nullptr;
  if (frame < 0 || frame >= static_cast<int>(frames_.size())) frame = 0;
  return frames_[frame];
}

std::shared_ptr<Image> Image::FromSurface(cairo_surface_t* surface) {
  if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    if (surface) cairo_surface_destroy(surface);
    return nullptr;
  }
  std::shared_ptr<Image> img(new Image());
  img->width_ = cairo_image_surface_get_width(surface);
  img->height_ = cairo_image_surface_get_height(surface);
  img->frames_.push_back(surface);
  img->delays_.push_back(0);
  return img;
}

std::shared_ptr<Image> Image::FromAnimation(void* animation) {
  auto* anim = static_cast<GdkPixbufAnimation*>(animation);
  std::shared_ptr<Image> img(new Image());
  if (gdk_pixbuf_animation_is_static_image(anim)) {
    GdkPixbuf* pb = gdk_pixbuf_animation_get_static_image(anim);
    cairo_surface_t* s = pb ? SurfaceFromPixbuf(pb) : nullptr;
    if (!s) return nullptr;
    return Image::FromSurface(s);
  }
  // Walk the animation with a virtual clock until it shows its first frame
  // again (the iterator may hand out one reused pixbuf, so frames are told
  // apart by their pixels) or stops.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GTimeVal t{0, 0};
  GdkPixbufAnimationIter* it = gdk_pixbuf_animation_get_iter(anim, &t);
  std::vector<cairo_surface_t*> frames;
  std::vector<int> delays;
  auto samePixels = [](cairo_surface_t* a, cairo_surface_t* b) {
    const int h = cairo_image_surface_get_height(a);
    const int stride = cairo_image_surface_get_stride(a);
    return cairo_image_surface_get_width(a) == cairo_image_surface_get_width(b) &&
           h == cairo_image_surface_get_height(b) && stride == cairo_image_surface_get_stride(b) &&
           std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                       static_cast<size_t>(stride) * h) == 0;
  };
  for (int i = 0; i < kMaxFrames; ++i) {
    GdkPixbuf* pb = gdk_pixbuf_animation_iter_get_pixbuf(it);
    if (!pb) break;
    cairo_surface_t* s = SurfaceFromPixbuf(pb);
    if (!s) break;
    if (i > 0 && samePixels(s, frames[0])) {
      cairo_surface_destroy(s);
      break;
    }
    const int delay = gdk_pixbuf_animation_iter_get_delay_time(it);
    frames.push_back(s);
    delays.push_back(delay < 0 ? 0 : delay);
    if (delay < 0) break;
    g_time_val_add(&t, static_cast<glong>(std::max(delay, 1)) * 1000);
    if (!gdk_pixbuf_animation_iter_advance(it, &t)) break;
  }
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_object_unref(it);
  if (frames.empty()) return nullptr;
  std::shared_ptr<Image> out = Image::FromSurface(frames[0]);
  for (size_t i = 1; i < frames.size(); ++i) {
    out->frames_.push_back(frames[i]);
    out->delays_.push_back(delays[i]);
  }
  out->delays_[0] = delays[0];
  return out;
}

std::shared_ptr<Image> Image::FromFile(const std::string& path) {
  if (path.empty()) return nullptr;
  GError* err = nullptr;
  GdkPixbufAnimation* anim = gdk_pixbuf_animation_new_from_file(path.c_str(), &err);
  if (!anim) {
    if (err) g_error_free(err);
    return nullptr;
  }
  auto img = FromAnimation(anim);
  g_object_unref(anim);
  return img;
}

std::shared_ptr<Image> Image::FromBytes(const void* data, size_t size) {
  if (!data || size == 0) return nullptr;
  GInputStream* in = g_memory_input_stream_new_from_data(data, static_cast<gssize>(size), nullptr);
  GError* err = nullptr;
  GdkPixbufAnimation* anim = gdk_pixbuf_animation_new_from_stream(in, nullptr, &err);
  g_object_unref(in);
  if (!anim) {
    if (err) g_error_free(err);
    return nullptr;
  }
  auto img = FromAnimation(anim);
  g_object_unref(anim);
  return img;
}

}  // namespace kelvo
