// tumbla-json: reads JSON, writes it back compact or indented. For people checking a
// file by hand and for scripts: the exit code says whether the text parsed.

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "json/SBJSON.h"
#include "json/SBJsonWriter.h"

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

std::optional<std::string> readInput(const std::string& path, std::string& problem) {
  std::ostringstream contents;
  if (path == "-") {
    contents << std::cin.rdbuf();
    if (std::cin.bad()) {
      problem = "cannot read standard input";
      return std::nullopt;
    }
    return std::move(contents).str();
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    problem = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // Room for the whole file at once when it has a size (a pipe has none), so that a large
  // document is not copied while its text grows.
  std::string text;
  std::error_code noSize;
  if (std::uintmax_t size = std::filesystem::file_size(path, noSize); !noSize) {
    text.reserve(static_cast<std::size_t>(size));
  }
  char buffer[64 * 1024];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
  }
  if (file.bad()) {
    problem = "cannot read " + path;
    return std::nullopt;
  }
  return text;
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
  std::optional<std::string> text = readInput(options->input, problem);
  if (!text) {
    std::cerr << "tumbla-json: " << problem << '\n';
    return kUsageOrInputError;
  }

  tumbla::SBJSON json;
  json.setMaxDepth(options->maxDepth);
  std::optional<tumbla::Value> value = json.objectWithString(*text, options->fragment, nullptr);
  if (!value) return reportFailure(json);
  // The input is no longer needed while the output is made.
  std::string().swap(*text);

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
