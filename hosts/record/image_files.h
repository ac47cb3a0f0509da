// Writing frames to files: PNG pictures, and an animated GIF over one fixed palette.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GifFileType;

namespace rec {

// Writes 0x00RRGGBB pixels as an 8-bit RGB PNG, whole or not at all (a
// temporary file beside it, renamed). False, with the reason, when it cannot.
bool WritePngFile(const std::string &path, const uint32_t *pixels, int width, int height, std::string *error);

// The GIF palette: the desktop's and the flower types' own colours, a grey
// ramp for text, and a 6x6x6 colour cube for everything else; the last entry
// is kept for transparency.
class Palette {
 public:
  static constexpr int kTransparent = 255;
  Palette();
  const std::vector<uint32_t> &colours() const { return colours_; }
  // The entry nearest to a colour (exact colours of the palette map to themselves).
  uint8_t IndexOf(uint32_t rgb);

 private:
  uint8_t Nearest(uint32_t rgb) const;
  std::vector<uint32_t> colours_;
  std::vector<uint8_t> cache_;       // by 24-bit colour
  std::vector<uint8_t> cacheValid_;  // one bit per colour
};

// An animated GIF (looping), written frame by frame. Each frame after the
// first holds only the box that changed, with unchanged pixels transparent; a
// frame that changes nothing lengthens the previous one instead. The frames go
// to a temporary file beside the target, which Close renames into place: the
// target is never a part of a GIF.
class GifWriter {
 public:
  GifWriter() = default;
  ~GifWriter();
  GifWriter(const GifWriter &) = delete;
  GifWriter &operator=(const GifWriter &) = delete;

  bool Open(const std::string &path, int width, int height, std::string *error);
  // A frame shown for `durationMs` from its time on.
  bool Add(const uint32_t *pixels, int durationMs);
  // Finishes the file and puts it in place.
  bool Close(std::string *error);
  // Stops without a file: the temporary one goes (also when the writer goes unclosed).
  void Abandon();
  // Why a write failed ("cannot write FILE: ..."); empty while all is well.
  const std::string &failure() const { return failure_; }

 private:
  struct Pending {
    bool valid = false;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indices;
    uint64_t durationMs = 0;
  };
  bool Flush();
  void Fail(const std::string &why);

  GifFileType *gif_ = nullptr;
  std::string path_;
  std::string temporary_;  // empty once renamed or removed
  int width_ = 0, height_ = 0;
  Palette palette_;
  std::vector<uint8_t> shown_;  // what the viewer shows once the pending frame is drawn
  std::vector<uint8_t> current_;
  Pending pending_;
  uint64_t writtenMs_ = 0;   // time covered by the frames written so far
  uint64_t writtenCs_ = 0;   // the same in the file's centiseconds
  bool failed_ = false;
  std::string failure_;
};

}  // namespace rec
