// The cost of checking one form workbook: open it through the connection and
// run the statements of a check (identification, element captions with the
// two record filters, failed checks), against reading the file's bytes alone.
//
//   vers_engine_bench [benchmark flags]   measures every form found
//
// (vers_print_form WORKBOOK prints the check's lines, for the whole
// process to be timed against the reference scripts.)
//
// Forms: big_form.{xls,ods,xlsx} in bench/forms/ and in <build>/forms/, or
// the files VERS_BENCH_FORMS names (separated by ':').
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "form_check.h"
#include "engine/error.h"
#include "engine/workbook.h"
#include "platform/connection.h"
#include "platform/heap_setup.h"
#include "platform/query.h"

namespace {

using vers_bench::check_form;
using vers_bench::kCaptions;
using vers_bench::Connection;
using vers_bench::connection_string;
using vers_bench::Query;
namespace fs = std::filesystem;

// The part of a check the report writer adds: the title and organisation
// lines found through the record filter over the captions.
void filter_captions(const fs::path& workbook) {
  Connection connection;
  connection.set_connection_string(connection_string(workbook));
  connection.connect();
  Query query(connection);
  query.set_sql(kCaptions);
  query.open();
  for (const char* filter : {" ID_Element = 'P_FormName'", " ID_Element = 'P_Name'"}) {
    query.set_filter(filter);
    query.set_filtered(true);
    benchmark::DoNotOptimize(query.field_text("CaptionInForm"));
    query.set_filtered(false);
  }
}

std::vector<uint8_t> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(fs::file_size(path));
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

void BM_ReadFileBytes(benchmark::State& state, fs::path path) {
  for (auto _ : state) benchmark::DoNotOptimize(read_bytes(path));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
}

// Runs one measured step; a workbook the engine cannot read ends the
// benchmark with the engine's message instead of the program.
template <typename Step>
void measure(benchmark::State& state, Step&& step) {
  for (auto _ : state) {
    try {
      step();
    } catch (const vers::engine::EngineError& e) {
      state.SkipWithError(e.what());
      break;
    }
  }
}

void BM_OpenWorkbook(benchmark::State& state, fs::path path) {
  measure(state, [&] { benchmark::DoNotOptimize(vers::engine::open_workbook(path.string())); });
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
}

void BM_FormCheck(benchmark::State& state, fs::path path) {
  size_t lines = 0;
  measure(state, [&] {
    lines = 0;
    check_form(path, [&](std::string&& line) {
      benchmark::DoNotOptimize(line);
      ++lines;
    });
  });
  state.counters["lines"] = double(lines);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
}

void BM_FormCheckWithFilters(benchmark::State& state, fs::path path) {
  measure(state, [&] {
    check_form(path, [](std::string&& line) { benchmark::DoNotOptimize(line); });
    filter_captions(path);
  });
}

std::vector<fs::path> forms() {
  std::vector<fs::path> found;
  if (const char* listed = std::getenv("VERS_BENCH_FORMS")) {
    std::string list = listed;
    for (size_t start = 0; start <= list.size();) {
      size_t end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) found.emplace_back(list.substr(start, end - start));
      start = end + 1;
    }
    return found;
  }
  for (const char* dir : {VERS_BENCH_FORMS_DIR, VERS_BENCH_MADE_FORMS_DIR}) {
    for (const char* ext : {".xls", ".ods", ".xlsx"}) {
      fs::path path = fs::path(dir) / (std::string("big_form") + ext);
      if (fs::exists(path)) found.push_back(path);
    }
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  vers::platform::prepare_heap(vers::platform::kCheckHeapBytes);  // as vers-check does
  const auto paths = forms();
  if (paths.empty()) {
    std::fprintf(stderr, "no form to measure: make bench/forms/big_form.xls with tools/make_bench_form.py\n");
    return 1;
  }
  for (const auto& path : paths) {
    const std::string tag = path.filename().string();
    benchmark::RegisterBenchmark(("ReadFileBytes/" + tag).c_str(), BM_ReadFileBytes, path)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("OpenWorkbook/" + tag).c_str(), BM_OpenWorkbook, path)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("FormCheck/" + tag).c_str(), BM_FormCheck, path)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("FormCheckWithFilters/" + tag).c_str(), BM_FormCheckWithFilters, path)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
