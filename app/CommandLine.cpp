#include "CommandLine.h"

#include <string_view>

namespace tumbla {

Result<CommandLine> parseCommandLine(int argc, char** argv) {
  CommandLine options;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    std::string_view value;
    bool takesValue = argument == "--bundle" || argument == "--data-dir" ||
                      argument == "--device" || argument == "--trace";
    // Both "--option VALUE" and "--option=VALUE".
    if (std::size_t equals = argument.find('=');
        argument.starts_with("--") && equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
      argument = argument.substr(0, equals);
      takesValue = true;
    } else if (takesValue) {
      if (i + 1 >= argc) return Failure{"option " + std::string(argument) + " needs a value"};
      value = argv[++i];
    }

    if (argument == "--help") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--fullscreen" && !takesValue) {
      options.fullscreen = true;
    } else if (argument == "--inspector" && !takesValue) {
      options.inspector = true;
    } else if (argument == "--bundle" && !value.empty()) {
      options.bundle = std::filesystem::path(value);
    } else if (argument == "--data-dir" && !value.empty()) {
      options.dataDirectory = std::filesystem::path(value);
    } else if (argument == "--trace" && !value.empty()) {
      options.traceFile = std::filesystem::path(value);
    } else if (argument == "--device") {
      if (value == "iphone") {
        options.idiom = UserInterfaceIdiom::Phone;
      } else if (value == "ipad") {
        options.idiom = UserInterfaceIdiom::Pad;
      } else {
        return Failure{"--device takes iphone or ipad, not '" + std::string(value) + "'"};
      }
    } else if (takesValue) {
      return Failure{"option " + std::string(argument) + " needs a value"};
    } else {
      return Failure{"unknown option '" + std::string(argument) + "'"};
    }
  }
  return options;
}

}  // namespace tumbla
