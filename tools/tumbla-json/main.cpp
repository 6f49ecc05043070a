// tumbla-json: reads JSON, writes it back compact or indented. For people checking a
// file by hand and for scripts: the exit code says whether the text parsed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "json/SBJSON.h"
#include "json/SBJsonWriter.h"
#include "value/storage/PageBuffer.h"

namespace {

constexpr int kParsed = 0;
constexpr int kNotParsed = 1;
constexpr int kUsageOrInputError = 2;

constexpr std::string_view kUsage =
    "usage: tumbla-json [--fragment] [--pretty] [--sort-keys] [--max-depth N] [FILE|-]\n"
    "\n"
    "Reads JSON from FILE (standard input when FILE is absent or \"-\") and writes it back\n"
    "on standard output, followed by a line feed.\n"
    "\n"
    "  --fragment     accept any value at the top level, not only an array or object\n"
    "  --pretty       one element or member per line, indented by two spaces\n"
    "  --sort-keys    write object members in ascending key order\n"
    "  --max-depth N  nesting limit for arrays and objects (default 512, 0 = no limit)\n"
    "  --help         show this text\n"
    "\n"
    "Exit status: 0 when the text parsed; 1 when it did not, with the errors on standard\n"
    "error one per line, innermost first (\"code N: message\"); 2 on a usage or read error.\n";

struct Options {
  bool fragment = false;
  bool pretty = false;
  bool sortKeys = false;
  unsigned maxDepth = tumbla::SBJsonBase::kDefaultMaxDepth;
  std::string input = "-";
  bool help = false;
};

// Answers the options, or an error message when the command line is not understood.
std::optional<Options> parseCommandLine(int argc, char** argv, std::string& problem) {
  Options options;
  bool haveInput = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--fragment") {
      options.fragment = true;
    } else if (arg == "--pretty") {
      options.pretty = true;
    } else if (arg == "--sort-keys") {
      options.sortKeys = true;
    } else if (arg == "--max-depth") {
      if (++i == argc) {
        problem = "--max-depth needs a number";
        return std::nullopt;
      }
      std::string_view number = argv[i];
      auto [end, ec] =
          std::from_chars(number.data(), number.data() + number.size(), options.maxDepth);
      if (ec != std::errc() || end != number.data() + number.size()) {
        problem = "--max-depth needs a whole number from 0 up, not \"" + std::string(number) + "\"";
        return std::nullopt;
      }
    } else if (arg.size() > 1 && arg.front() == '-') {
      problem = "unknown option " + std::string(arg);
      return std::nullopt;
    } else if (haveInput) {
      problem = "only one input file can be given";
      return std::nullopt;
    } else {
      options.input = arg;
      haveInput = true;
    }
  }
  return options;
}

// The whole input, read straight into pages: at the file's size when it has one (a large
// file on huge pages, so that reading it costs a few page faults), growing otherwise.
class InputText {
 public:
  // Answers false, with errno set, when reading fails.
  bool readAll(int fd) {
    struct stat status {};
    std::size_t expected = 0;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
      expected = static_cast<std::size_t>(status.st_size);
    }
    // One byte more than expected, so that the end is seen without growing.
    pages_ = tumbla::PageBuffer(expected + 1, expected >= tumbla::PageBuffer::kHugePageBytes);
    for (;;) {
      if (size_ == pages_.size()) grow();
      ssize_t got = ::read(fd, pages_.data() + size_, pages_.size() - size_);
      if (got == 0) return true;
      if (got > 0) {
        size_ += static_cast<std::size_t>(got);
      } else if (errno != EINTR) {
        return false;
      }
    }
  }

  std::string_view text() const { return std::string_view(pages_.data(), size_); }
  void release() {
    pages_ = tumbla::PageBuffer();
    size_ = 0;
  }

 private:
  void grow() {
    tumbla::PageBuffer larger(2 * pages_.size(), true);
    std::memcpy(larger.data(), pages_.data(), size_);
    pages_ = std::move(larger);
  }

  tumbla::PageBuffer pages_;
  std::size_t size_ = 0;
};

bool readInput(const std::string& path, InputText& input, std::string& problem) {
  if (path == "-") {
    if (input.readAll(STDIN_FILENO)) return true;
    problem = "cannot read standard input";
    return false;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    problem = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bool read = input.readAll(fd);
  ::close(fd);
  if (!read) problem = "cannot read " + path;
  return read;
}

int reportFailure(const tumbla::SBJsonBase& json) {
  if (const tumbla::SBJsonBase::ErrorTrace* trace = json.errorTrace()) {
    for (const auto& error : *trace) {
      std::cerr << "code " << error->code << ": " << error->localizedDescription << '\n';
    }
  }
  return kNotParsed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string problem;
  std::optional<Options> options = parseCommandLine(argc, argv, problem);
  if (!options) {
    std::cerr << "tumbla-json: " << problem << '\n' << kUsage;
    return kUsageOrInputError;
  }
  if (options->help) {
    std::cout << kUsage;
    return kParsed;
  }
  InputText input;
  if (!readInput(options->input, input, problem)) {
    std::cerr << "tumbla-json: " << problem << '\n';
    return kUsageOrInputError;
  }

  tumbla::SBJSON json;
  json.setMaxDepth(options->maxDepth);
  std::optional<tumbla::Value> value =
      json.objectWithString(input.text(), options->fragment, nullptr);
  if (!value) return reportFailure(json);
  // The input is no longer needed while the output is made.
  input.release();

  tumbla::SBJsonWriter writer;
  writer.setMaxDepth(options->maxDepth);
  writer.setHumanReadable(options->pretty);
  writer.setSortKeys(options->sortKeys);
  // Written as it is made: a large document's text is never held whole. A parsed document
  // always writes (it has no text JSON can't hold and is no deeper than the limit).
  bool written = writer.writeObject(*value, options->fragment, [](std::string_view piece) {
    std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  });
  if (!written) return reportFailure(writer);
  std::cout << '\n';
  return std::cout.flush() ? kParsed : kUsageOrInputError;
}
