// The peer of `tumbla-json FILE` for the whole-process comparison: reads the file, parses
// it with full-precision numbers into a fresh document, writes it back compact to standard
// output with a line end, frees the document and exits. Errors end with status 1.
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <string>

namespace {

bool readWhole(const char* path, std::string& text) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    text.resize(static_cast<std::size_t>(size));
    ok = std::fread(text.data(), 1, text.size(), file) == text.size();
  }
  std::fclose(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: rapidjson_whole_process FILE\n", stderr);
    return 2;
  }
  std::string text;
  if (!readWhole(argv[1], text)) {
    std::perror(argv[1]);
    return 2;
  }
  rapidjson::Document document;
  document.Parse<rapidjson::kParseFullPrecisionFlag>(text.data(), text.size());
  if (document.HasParseError()) return 1;
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  if (!document.Accept(writer)) return 1;
  std::fwrite(buffer.GetString(), 1, buffer.GetSize(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 ? 0 : 2;
}
