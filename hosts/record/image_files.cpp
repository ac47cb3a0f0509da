#include "image_files.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace rec {
namespace {

constexpr uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }
int Red(uint32_t c) { return int(c >> 16 & 0xFF); }
int Green(uint32_t c) { return int(c >> 8 & 0xFF); }
int Blue(uint32_t c) { return int(c & 0xFF); }

// Colours the desktop paints: its background, the HTML view, window frames,
// title bars, the taskbar, the grey lines of the application windows.
const uint32_t kDesktopColours[] = {
    Rgb(0, 128, 128),   Rgb(0, 96, 96),     Rgb(58, 110, 165),  Rgb(192, 192, 192), Rgb(223, 223, 223),
    Rgb(128, 128, 128), Rgb(64, 64, 64),    Rgb(200, 200, 200), Rgb(160, 160, 160), Rgb(240, 240, 240),
    Rgb(0, 0, 128),
};

// The colours of the seven flower types' pictures, bark included.
const uint32_t kFlowerColours[] = {
    Rgb(255, 204, 204), Rgb(204, 102, 153), Rgb(255, 153, 153), Rgb(204, 0, 102),   Rgb(255, 255, 255),
    Rgb(255, 255, 153), Rgb(153, 204, 255), Rgb(128, 128, 128), Rgb(192, 192, 192), Rgb(255, 255, 0),
    Rgb(0, 0, 0),
};

// The notification icon's own shades.
const uint32_t kIconColours[] = {Rgb(160, 24, 88), Rgb(150, 0, 64), Rgb(255, 168, 196), Rgb(255, 218, 230)};

// A new file beside `path` to write in its stead, readable as the user's
// umask allows (mkstemp alone would make it private). -1, with the reason, when
// it cannot be made.
int OpenBeside(const std::string &path, std::string *temporary, std::string *error) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    *error = "cannot write " + path + ": " + std::strerror(EISDIR);
    return -1;
  }
  // A file its owner made read-only is kept, though the folder would let a
  // rename replace it. (Root passes access(), so the mode's bits decide too.)
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0)) {
    *error = "cannot write " + path + ": the file is read-only, so it is kept as it is";
    return -1;
  }
  *temporary = path + ".tmp-XXXXXX";
  int fd = mkostemp(temporary->data(), O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    temporary->clear();
    return -1;
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  return fd;
}

// Puts a finished temporary file in the target's place.
bool PutInPlace(const std::string &temporary, const std::string &path, std::string *error) {
  if (rename(temporary.c_str(), path.c_str()) == 0) return true;
  *error = "cannot write " + path + ": " + std::strerror(errno);
  unlink(temporary.c_str());
  return false;
}

}  // namespace

// ---------------------------------------------------------------- PNG

bool WritePngFile(const std::string &path, const uint32_t *pixels, int width, int height, std::string *error) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
    rgb[3 * i] = uint8_t(Red(pixels[i]));
    rgb[3 * i + 1] = uint8_t(Green(pixels[i]));
    rgb[3 * i + 2] = uint8_t(Blue(pixels[i]));
  }
  std::string temporary;
  int fd = OpenBeside(path, &temporary, error);
  if (fd < 0) return false;
  FILE *file = fdopen(fd, "wb");
  if (!file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    close(fd);
    unlink(temporary.c_str());
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGB;
  bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), width * 3, nullptr) != 0;
  png_image_free(&image);
  ok = fflush(file) == 0 && ok;
  int writeError = errno;
  ok = fclose(file) == 0 && ok;
  if (!ok) {
    *error = "cannot write " + path + ": " + std::strerror(writeError ? writeError : errno);
    unlink(temporary.c_str());
    return false;
  }
  return PutInPlace(temporary, path, error);
}

// ---------------------------------------------------------------- palette

Palette::Palette() {
  auto add = [this](uint32_t c) {
    if (int(colours_.size()) < kTransparent && std::find(colours_.begin(), colours_.end(), c) == colours_.end())
      colours_.push_back(c);
  };
  for (uint32_t c : kDesktopColours) add(c);
  for (uint32_t c : kFlowerColours) add(c);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) add(Rgb(r * 51, g * 51, b * 51));
  for (int v = 0; v <= 255; v += 17) add(Rgb(v, v, v));
  for (uint32_t c : kIconColours) add(c);
  // Title text is drawn smoothed on the dark blue bar: the blends between the two.
  for (int i = 1; i < 8; ++i) add(Rgb(32 * i, 32 * i, 128 + 16 * i));
  // The rest: a finer grey ramp, for text smoothed on grey and white.
  for (int v = 8; v < 256; v += 8) add(Rgb(v, v, v));
  while (int(colours_.size()) < kTransparent) colours_.push_back(0);
  colours_.push_back(0);  // the transparent entry
}

uint8_t Palette::Nearest(uint32_t rgb) const {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < kTransparent; ++i) {
    long dr = Red(rgb) - Red(colours_[size_t(i)]);
    long dg = Green(rgb) - Green(colours_[size_t(i)]);
    long db = Blue(rgb) - Blue(colours_[size_t(i)]);
    long d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return uint8_t(best);
}

uint8_t Palette::IndexOf(uint32_t rgb) {
  rgb &= 0xFFFFFF;
  if (cache_.empty()) {
    cache_.assign(size_t(1) << 24, 0);
    cacheValid_.assign(size_t(1) << 21, 0);
  }
  uint8_t &bits = cacheValid_[rgb >> 3];
  uint8_t bit = uint8_t(1u << (rgb & 7));
  if (!(bits & bit)) {
    cache_[rgb] = Nearest(rgb);
    bits |= bit;
  }
  return cache_[rgb];
}

// ---------------------------------------------------------------- GIF

GifWriter::~GifWriter() { Abandon(); }

void GifWriter::Abandon() {
  if (gif_) {
    int error = 0;
    EGifCloseFile(gif_, &error);
    gif_ = nullptr;
  }
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

bool GifWriter::Open(const std::string &path, int width, int height, std::string *error) {
  Abandon();
  path_ = path;
  failed_ = false;
  failure_.clear();
  int fd = OpenBeside(path, &temporary_, error);
  if (fd < 0) return false;
  int code = 0;
  gif_ = EGifOpenFileHandle(fd, &code);
  if (!gif_) {
    close(fd);
    Abandon();
    *error = "cannot write " + path + ": " + GifErrorString(code);
    return false;
  }
  width_ = width;
  height_ = height;
  EGifSetGifVersion(gif_, true);
  std::vector<GifColorType> entries;
  for (uint32_t c : palette_.colours())
    entries.push_back(GifColorType{GifByteType(Red(c)), GifByteType(Green(c)), GifByteType(Blue(c))});
  ColorMapObject *map = GifMakeMapObject(256, entries.data());
  bool ok = map && EGifPutScreenDesc(gif_, width, height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  // Loop for ever.
  static const GifByteType kLoop[3] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_OK && EGifPutExtensionBlock(gif_, 3, kLoop) == GIF_OK &&
       EGifPutExtensionTrailer(gif_) == GIF_OK;
  if (!ok) {
    Fail(std::string(GifErrorString(gif_->Error)) + " (" + std::strerror(errno) + ")");
    *error = failure_;
    Abandon();
    return false;
  }
  shown_.assign(size_t(width) * height, 0);
  current_.assign(size_t(width) * height, 0);
  return true;
}

bool GifWriter::Add(const uint32_t *pixels, int durationMs) {
  if (!gif_ || failed_) return false;
  size_t n = size_t(width_) * height_;
  for (size_t i = 0; i < n; ++i) current_[i] = palette_.IndexOf(pixels[i]);
  if (!pending_.valid) {
    pending_.valid = true;
    pending_.left = pending_.top = 0;
    pending_.width = width_;
    pending_.height = height_;
    pending_.indices = current_;
    pending_.durationMs = uint64_t(durationMs);
    shown_ = current_;
    return true;
  }
  int left = width_, right = -1, top = height_, bottom = -1;
  for (int y = 0; y < height_; ++y) {
    const uint8_t *cur = &current_[size_t(y) * width_];
    const uint8_t *old = &shown_[size_t(y) * width_];
    if (std::memcmp(cur, old, size_t(width_)) == 0) continue;
    top = std::min(top, y);
    bottom = y;
    int x0 = 0, x1 = width_ - 1;
    while (cur[x0] == old[x0]) ++x0;
    while (cur[x1] == old[x1]) --x1;
    left = std::min(left, x0);
    right = std::max(right, x1);
  }
  if (bottom < 0) {
    pending_.durationMs += uint64_t(durationMs);
    return true;
  }
  if (!Flush()) return false;
  pending_.valid = true;
  pending_.left = left;
  pending_.top = top;
  pending_.width = right - left + 1;
  pending_.height = bottom - top + 1;
  pending_.indices.resize(size_t(pending_.width) * pending_.height);
  pending_.durationMs = uint64_t(durationMs);
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      size_t at = size_t(y) * width_ + x;
      uint8_t &out = pending_.indices[size_t(y - top) * pending_.width + (x - left)];
      out = current_[at] == shown_[at] ? uint8_t(Palette::kTransparent) : current_[at];
      shown_[at] = current_[at];
    }
  }
  return true;
}

bool GifWriter::Flush() {
  if (!pending_.valid) return true;
  // Delays are in centiseconds; rounding the running total keeps the film's length exact.
  uint64_t endMs = writtenMs_ + pending_.durationMs;
  uint64_t endCs = (endMs + 5) / 10;
  GraphicsControlBlock control;
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = int(std::min<uint64_t>(endCs - writtenCs_, 65535));
  // The first frame covers the whole screen; the later ones draw over it.
  control.TransparentColor = writtenMs_ == 0 ? NO_TRANSPARENT_COLOR : Palette::kTransparent;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  bool ok = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
            EGifPutImageDesc(gif_, pending_.left, pending_.top, pending_.width, pending_.height, false, nullptr) ==
                GIF_OK;
  for (int y = 0; ok && y < pending_.height; ++y)
    ok = EGifPutLine(gif_, &pending_.indices[size_t(y) * pending_.width], pending_.width) == GIF_OK;
  writtenMs_ = endMs;
  writtenCs_ = endCs;
  pending_.valid = false;
  if (!ok) Fail(std::string(GifErrorString(gif_->Error)) + " (" + std::strerror(errno) + ")");
  return ok;
}

void GifWriter::Fail(const std::string &why) {
  if (!failed_) failure_ = "cannot write " + path_ + ": " + why;
  failed_ = true;
}

bool GifWriter::Close(std::string *error) {
  if (!gif_) return false;
  bool ok = !failed_ && Flush();
  int code = 0;
  int closed = EGifCloseFile(gif_, &code);
  gif_ = nullptr;
  if (closed != GIF_OK) {
    ok = false;
    *error = "cannot write " + path_ + ": " + GifErrorString(code) + " (" + std::strerror(errno) + ")";
  } else if (!ok) {
    *error = failure_.empty() ? "cannot write " + path_ : failure_;
  }
  if (ok) ok = PutInPlace(temporary_, path_, error);
  if (!ok) Abandon();
  temporary_.clear();
  return ok;
}

}  // namespace rec
