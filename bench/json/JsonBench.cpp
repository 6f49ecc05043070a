// Parse to a full value tree and write compact text, for each corpus, with our component
// and its peers side by side. Each parse builds and destroys a whole tree per iteration.

#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "json/SBJsonParser.h"
#include "json/SBJsonWriter.h"

namespace {

constexpr unsigned kRapidJsonFlags = rapidjson::kParseFullPrecisionFlag;

std::string readCorpus(const std::string& name) {
  std::ifstream file(std::string(TUMBLA_JSON_BENCH_DATA) + "/" + name, std::ios::binary);
  if (!file) return {};
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void countBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void parseTumbla(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    tumbla::SBJsonParser parser;
    std::optional<tumbla::Value> value = parser.objectWithString(text);
    if (!value) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(value);
  }
  countBytes(state, text.size());
}

void parseRapidJson(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse<kRapidJsonFlags>(text.c_str(), text.size());
    if (document.HasParseError()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(document);
  }
  countBytes(state, text.size());
}

void parseNlohmann(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    nlohmann::json document = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(document);
  }
  countBytes(state, text.size());
}

// simdjson's parser is meant to be reused; its tape is the physical-limit reference.
void parseSimdjson(benchmark::State& state, const std::string& text) {
  simdjson::padded_string padded(text);
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(padded).get(root) != simdjson::SUCCESS) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(root);
  }
  countBytes(state, text.size());
}

void writeTumbla(benchmark::State& state, const std::string& text) {
  tumbla::SBJsonParser parser;
  std::optional<tumbla::Value> value = parser.objectWithString(text);
  tumbla::SBJsonWriter writer;
  for (auto _ : state) {
    std::optional<std::string> out = writer.stringWithObject(*value);
    benchmark::DoNotOptimize(out);
  }
  countBytes(state, text.size());
}

void writeRapidJson(benchmark::State& state, const std::string& text) {
  rapidjson::Document document;
  document.Parse<kRapidJsonFlags>(text.c_str(), text.size());
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    benchmark::DoNotOptimize(buffer.GetString());
  }
  countBytes(state, text.size());
}

void writeNlohmann(benchmark::State& state, const std::string& text) {
  nlohmann::json document = nlohmann::json::parse(text);
  for (auto _ : state) {
    std::string out = document.dump();
    benchmark::DoNotOptimize(out);
  }
  countBytes(state, text.size());
}

void writeSimdjson(benchmark::State& state, const std::string& text) {
  simdjson::padded_string padded(text);
  simdjson::dom::parser parser;
  simdjson::dom::element root = parser.parse(padded).value();
  for (auto _ : state) {
    std::string out = simdjson::to_string(root);
    benchmark::DoNotOptimize(out);
  }
  countBytes(state, text.size());
}

}  // namespace

int main(int argc, char** argv) {
  using Runner = void (*)(benchmark::State&, const std::string&);
  const std::vector<std::pair<const char*, Runner>> runners = {
      {"parse/tumbla", parseTumbla},     {"parse/rapidjson_fp", parseRapidJson},
      {"parse/nlohmann", parseNlohmann}, {"parse/simdjson", parseSimdjson},
      {"write/tumbla", writeTumbla},     {"write/rapidjson", writeRapidJson},
      {"write/nlohmann", writeNlohmann}, {"write/simdjson", writeSimdjson},
  };
  // Benchmarks keep references into this list, so it must never reallocate.
  static std::vector<std::string> corpora;
  corpora.reserve(3);
  for (const char* name : {"twitter.json", "canada.json", "citm_catalog.json"}) {
    std::string text = readCorpus(name);
    if (text.empty()) {
      std::cerr << "cannot read " << TUMBLA_JSON_BENCH_DATA << "/" << name << '\n';
      return 2;
    }
    corpora.push_back(std::move(text));
    const std::string& corpus = corpora.back();
    std::string stem = std::string(name).substr(0, std::string(name).find('.'));
    for (const auto& [label, runner] : runners) {
      benchmark::RegisterBenchmark(
          (std::string(label) + "/" + stem).c_str(),
          [runner, &corpus](benchmark::State& state) { runner(state, corpus); })
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
