// norvane-bench: the engine against SQLite on the catalogue's own work. Both
// get the same generated articles and the same operations in one run; every
// workload's answers are compared with each other and with a plain model of
// the catalogue before its line of figures is printed, and a difference ends
// the run with exit code 1, naming the workload.
//
//   norvane-bench [--rows N] [--only WORKLOAD] [--keep FILE]
//
// What a figure covers: the calls of the workload and nothing around them.
// An append ends with everything written and closed on both sides (the
// engine flushes, closes the table and lets the container go; SQLite commits
// and closes, which checkpoints its log), so the reopen that follows starts
// with nothing of the table in the process on either side (the operating
// system's file cache is warm for both). Writes are one transaction on
// SQLite and a burst of record operations ended by a flush on the engine.
// An SQL workload's figure covers its text parsed and run and every row of
// its answer read, on both sides. SQLite keeps its own defaults apart from
// WAL and synchronous=NORMAL; the engine sizes its record cache from free
// memory, as the program does.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_folder.h"
#include "bench/comparison.h"
#include "bench/row_checks.h"

namespace norvane::bench {
namespace {

struct TOptions {
  int64_t Rows = 100000;
  std::string Only;
  std::string Keep;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::string names;
  for (const char* workload : kWorkloads) names += std::string(" ") + workload;
  std::fprintf(stderr,
               "norvane-bench: %s\nusage: norvane-bench [--rows N] [--only WORKLOAD] [--keep FILE]\n"
               "workloads:%s\n",
               problem.c_str(), names.c_str());
  std::exit(2);
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) Usage("missing value after " + option);
    const std::string value = argv[++i];
    if (option == "--rows") {
      char* end = nullptr;
      options.Rows = std::strtoll(value.c_str(), &end, 10);
      if (*end != '\0' || options.Rows < 1 || options.Rows > 10000000)
        Usage("--rows takes a count from 1 to 10000000");
    } else if (option == "--only") {
      if (std::find(std::begin(kWorkloads), std::end(kWorkloads), value) == std::end(kWorkloads))
        Usage("no workload " + value);
      options.Only = value;
    } else if (option == "--keep") {
      options.Keep = value;
    } else {
      Usage("unknown option " + option);
    }
  }
  return options;
}

int Main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  TBenchFolder folder;
  TComparison comparison(options.Rows, folder.Path());
  std::printf("%-14s %9s %12s %12s %7s\n", "workload", "rows", "norvane_ms", "sqlite_ms", "ratio");
  std::fflush(stdout);
  std::string current;
  try {
    for (const char* workload : kWorkloads) {
      current = workload;
      if (!options.Only.empty() && current == "reopen" && options.Only == "append") break;
      const bool shown = options.Only.empty() || options.Only == current;
      // A workload run alone still needs the table: append first, then the
      // reopen that the others start from, both unreported.
      if (!shown && current != "append" && current != "reopen") continue;
      const TTiming t = comparison.Run(current);
      if (!shown) continue;
      std::printf("%-14s %9lld %12.2f %12.2f %7.2f\n", workload, static_cast<long long>(t.Rows),
                  t.NorvaneMs, t.SqliteMs, t.SqliteMs > 0 ? t.NorvaneMs / t.SqliteMs : 0.0);
      std::fflush(stdout);
    }
    comparison.Finish();
    if (!options.Keep.empty())
      std::filesystem::copy_file(comparison.CatalogueFile(), options.Keep,
                                 std::filesystem::copy_options::overwrite_existing);
  } catch (const EMismatch& e) {
    std::fprintf(stderr, "norvane-bench: workload %s: the engines differ: %s\n", current.c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "norvane-bench: workload %s failed: %s\n", current.c_str(), e.what());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace norvane::bench

int main(int argc, char** argv) { return norvane::bench::Main(argc, argv); }
