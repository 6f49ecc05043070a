#include "platform/linux/SoundFile.h"

#include <sndfile.h>

namespace tumbla {

Result<std::unique_ptr<SoundFile>> SoundFile::open(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return Failure{std::string(sf_strerror(nullptr))};
  if (info.samplerate <= 0 || info.channels <= 0 || info.channels > 8) {
    sf_close(file);
    return Failure{"unsupported layout"};
  }
  if (info.frames <= 0) {
    sf_close(file);
    return Failure{"no sound in it"};
  }
  return std::unique_ptr<SoundFile>(
      new SoundFile(file, info.samplerate, info.channels, info.frames));
}

SoundFile::~SoundFile() {
  sf_close(file_);
}

std::size_t SoundFile::read(float* out, std::size_t frames) {
  sf_count_t got = sf_readf_float(file_, out, static_cast<sf_count_t>(frames));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool SoundFile::rewind() {
  return sf_seek(file_, 0, SEEK_SET) == 0;
}

}  // namespace tumbla
