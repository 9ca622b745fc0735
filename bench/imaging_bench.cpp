// The per-photo costs of a run on a 24-megapixel photo: each step alone, the
// whole path for L at 400 dpi with no, plain and high-quality reduction, and
// the codec floor (decode of the photo plus encode of the reduced result),
// which no path can beat. After the runs a summary sets each path against
// the floor and measures the peak memory of the paths in fresh processes
// (path_memory beside this program).
//
//   imaging_bench [--photo=FILE] [--keep-photo] [benchmark flags]
//
// --photo measures FILE instead of the generated photo (the trim and the
// box follow its size); --keep-photo leaves the generated photo in place.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchPhoto.h"
#include "bench/PhotoPath.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "pixels/Cancel.h"
#include "pixels/HighQuality.h"
#include "pixels/Reduction.h"
#include "pixels/TrimCenter.h"

extern char** environ;

namespace quorvale::bench {
namespace {

constexpr int Quality = 90;
constexpr double PlainGoal = 1.10;
constexpr double HighQualityGoal = 1.35;

struct Photo {
  std::string path;    // the JPEG file every decode reads
  Bitmap decoded;      // that file, decoded once
  PixelSize trim{};    // its centre crop to L
  ReductionBox box{};  // the box of that crop
  Bitmap reduced;      // the crop reduced plainly: what the encodes encode
  std::string error;   // why the photo cannot be measured
};

Photo& ThePhoto() {
  static Photo photo;
  return photo;
}

bool Usable(benchmark::State& state) {
  if (ThePhoto().error.empty()) return true;
  state.SkipWithError(ThePhoto().error.c_str());
  return false;
}

// The decoded photo, cropped as the run crops it, in `bitmap`.
void PrepareTrimmed(Bitmap& bitmap) {
  const Photo& photo = ThePhoto();
  bitmap = photo.decoded;
  TrimAt(bitmap, photo.trim.width, photo.trim.height, 0.5);
}

// A run's poll handles the window's pending events; here it only answers.
bool NeverCancel() {
  return false;
}

void Decode(benchmark::State& state) {
  if (!Usable(state)) return;
  Bitmap bitmap;
  for (auto _ : state) {
    if (LoadPhotoFile(ThePhoto().path, bitmap).status != DecodeStatus::Decoded) {
      state.SkipWithError("decode failed");
      break;
    }
  }
}

void Trim(benchmark::State& state) {
  if (!Usable(state)) return;
  const Photo& photo = ThePhoto();
  Bitmap bitmap;
  for (auto _ : state) {
    state.PauseTiming();
    bitmap = photo.decoded;
    state.ResumeTiming();
    if (TrimAt(bitmap, photo.trim.width, photo.trim.height, 0.5) != TrimStatus::Trimmed) {
      state.SkipWithError("trim refused");
      break;
    }
  }
}

void ReducePlain(benchmark::State& state) {
  if (!Usable(state)) return;
  PathMemory memory;
  for (auto _ : state) {
    state.PauseTiming();
    // The photo's memory, traded to the scratch by the last reduction, back.
    std::swap(memory.photo, memory.scratch.Reduced);
    PrepareTrimmed(memory.photo);
    state.ResumeTiming();
    ShrinkPlain(memory.photo, memory.scratch.Reduced, ThePhoto().box.width, ThePhoto().box.height);
  }
}

void ReduceHighQuality(benchmark::State& state) {
  if (!Usable(state)) return;
  PathMemory memory;
  const CancelCheck poll = NeverCancel;
  for (auto _ : state) {
    state.PauseTiming();
    PrepareTrimmed(memory.photo);
    state.ResumeTiming();
    const HighQualityResult result = ShrinkHighQuality(
        memory.photo, memory.scratch.Reduced, ThePhoto().box.width, ThePhoto().box.height, poll);
    if (result.kind != HighQualityResult::Reduced) {
      state.SkipWithError("high-quality reduction declined");
      break;
    }
  }
}

void Encode(benchmark::State& state) {
  if (!Usable(state)) return;
  for (auto _ : state) {
    const auto bytes = EncodeJpeg(ThePhoto().reduced, Quality);
    if (!bytes) {
      state.SkipWithError("encode failed");
      break;
    }
    benchmark::DoNotOptimize(bytes);
  }
}

// Decode of the photo plus encode of its reduced result; false on a failure.
bool FloorOnce(Bitmap& bitmap) {
  if (LoadPhotoFile(ThePhoto().path, bitmap).status != DecodeStatus::Decoded) return false;
  const auto bytes = EncodeJpeg(ThePhoto().reduced, Quality);
  benchmark::DoNotOptimize(bytes);
  return bytes.has_value();
}

void Floor(benchmark::State& state) {
  if (!Usable(state)) return;
  Bitmap bitmap;
  for (auto _ : state) {
    if (!FloorOnce(bitmap)) {
      state.SkipWithError("decode or encode failed");
      break;
    }
  }
}

// The two-core limit of a run that decodes whole photos: the floor of two
// photos at once, one on another thread. Its real time is per photo.
void FloorTwoAtATime(benchmark::State& state) {
  if (!Usable(state)) return;
  Bitmap bitmaps[2];
  for (auto _ : state) {
    bool otherOk = false;
    std::thread other([&] { otherOk = FloorOnce(bitmaps[1]); });
    const bool ok = FloorOnce(bitmaps[0]);
    other.join();
    if (!ok || !otherOk) {
      state.SkipWithError("decode or encode failed");
      break;
    }
  }
  state.SetItemsProcessed(2 * static_cast<std::int64_t>(state.iterations()));
}

// Real and process CPU seconds.
struct Stamp {
  double real = 0;
  double cpu = 0;
};

Stamp Now() {
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  const auto real = std::chrono::steady_clock::now().time_since_epoch();
  return {std::chrono::duration<double>(real).count(),
          static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9};
}

void Add(Stamp& total, const Stamp& from, const Stamp& to) {
  total.real += to.real - from.real;
  total.cpu += to.cpu - from.cpu;
}

// The timed work is the path. Each iteration also runs the floor once,
// untimed, before or after the path by turns, so that the ratio to the floor
// (the counters x_floor_cpu and x_floor_real) compares work done under the
// same load of a shared machine, not minutes apart.
void Path(benchmark::State& state, Reduction reduction) {
  if (!Usable(state)) return;
  PathMemory memory;
  const PhotoOptions options = OptionsFor(reduction);
  Bitmap floorBitmap;
  Stamp path;
  Stamp floor;
  bool floorFirst = true;
  const auto runFloor = [&] {
    state.PauseTiming();
    const Stamp from = Now();
    const bool ok = FloorOnce(floorBitmap);
    Add(floor, from, Now());
    state.ResumeTiming();
    return ok;
  };
  for (auto _ : state) {
    if (floorFirst && !runFloor()) {
      state.SkipWithError("the floor failed");
      break;
    }
    const Stamp from = Now();
    const bool ok = RunPhotoPath(memory, ThePhoto().path, options).ok;
    Add(path, from, Now());
    if (!ok) {
      state.SkipWithError("the path failed");
      break;
    }
    if (!floorFirst && !runFloor()) {
      state.SkipWithError("the floor failed");
      break;
    }
    floorFirst = !floorFirst;
  }
  if (floor.cpu > 0 && floor.real > 0) {
    state.counters["floor_ms"] = floor.cpu * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_floor_cpu"] = path.cpu / floor.cpu;
    state.counters["x_floor_real"] = path.real / floor.real;
  }
}

void RegisterAll() {
  const auto add = [](const char* name, auto function) {
    return benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMillisecond);
  };
  add("Decode", Decode)->MinTime(1.0);
  // The trim is expected to be a crop without copying; a fixed count keeps
  // the untimed refill of the photo from running a million times.
  add("Trim", Trim)->Iterations(20);
  add("ReducePlain", ReducePlain)->MinTime(1.0);
  add("ReduceHighQuality", ReduceHighQuality)->MinTime(2.0);
  add("Encode", Encode)->MinTime(1.0);
  add("Floor", Floor)->MinTime(3.0);
  add("FloorTwoAtATime", FloorTwoAtATime)->UseRealTime()->MinTime(3.0);
  add("PathNoReduction", [](benchmark::State& s) { Path(s, Reduction::None); })->MinTime(3.0);
  add("PathPlain", [](benchmark::State& s) { Path(s, Reduction::Plain); })->MinTime(3.0);
  add("PathHighQuality", [](benchmark::State& s) {
    Path(s, Reduction::HighQuality);
  })->MinTime(3.0);
}

// Passes everything on to the display reporter the flags chose and keeps,
// for the summary, the mean time per iteration of every benchmark and the
// paired ratios of the paths.
class SummaryReporter : public benchmark::BenchmarkReporter {
 public:
  struct Figures {
    double realMs = 0;
    double cpuMs = 0;
    double xFloorCpu = 0;  // paired ratio to the floor, 0 when not measured
    double xFloorReal = 0;
    int repetitions = 0;
    bool fromMean = false;
  };

  explicit SummaryReporter(benchmark::BenchmarkReporter* display) : display_(display) {}

  bool ReportContext(const Context& context) override {
    display_->SetOutputStream(&GetOutputStream());
    display_->SetErrorStream(&GetErrorStream());
    return display_->ReportContext(context);
  }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) Keep(run);
    display_->ReportRuns(runs);
  }

  void Finalize() override { display_->Finalize(); }

  const std::map<std::string, Figures>& Collected() const { return figures_; }

 private:
  static double CounterOf(const Run& run, const char* name) {
    const auto found = run.counters.find(name);
    return found == run.counters.end() ? 0.0 : found->second.value;
  }

  void Keep(const Run& run) {
    if (run.error_occurred) return;
    const double toMs = 1000.0 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    const Figures now = {run.GetAdjustedRealTime() * toMs,
                         run.GetAdjustedCPUTime() * toMs,
                         CounterOf(run, "x_floor_cpu"),
                         CounterOf(run, "x_floor_real"),
                         1,
                         run.run_type == Run::RT_Aggregate};
    Figures& kept = figures_[run.run_name.function_name];
    if (run.run_type == Run::RT_Aggregate) {
      if (run.aggregate_name == "mean") kept = now;
      return;
    }
    if (kept.fromMean) return;
    // Repetitions reported without aggregates: average them.
    const double n = kept.repetitions;
    const auto average = [n](double sum, double value) { return (sum * n + value) / (n + 1); };
    kept.realMs = average(kept.realMs, now.realMs);
    kept.cpuMs = average(kept.cpuMs, now.cpuMs);
    kept.xFloorCpu = average(kept.xFloorCpu, now.xFloorCpu);
    kept.xFloorReal = average(kept.xFloorReal, now.xFloorReal);
    kept.repetitions += 1;
  }

  std::unique_ptr<benchmark::BenchmarkReporter> display_;
  std::map<std::string, Figures> figures_;
};

void PrintSummary(std::FILE* out, const std::map<std::string, SummaryReporter::Figures>& figures) {
  const Photo& photo = ThePhoto();
  std::fprintf(out, "\nSteps on the %d x %d photo, L at 400 dpi (crop %d x %d, box %d x %d):\n",
               photo.decoded.Width(), photo.decoded.Height(), photo.trim.width, photo.trim.height,
               photo.box.width, photo.box.height);
  std::fprintf(out, "  %-18s %9s %9s\n", "", "cpu ms", "real ms");
  for (const char* name :
       {"Decode", "Trim", "ReducePlain", "ReduceHighQuality", "Encode", "Floor"}) {
    const auto found = figures.find(name);
    if (found == figures.end()) continue;
    std::fprintf(out, "  %-18s %9.2f %9.2f\n", name, found->second.cpuMs, found->second.realMs);
  }

  struct Goal {
    const char* name;
    double goal;
  };
  const Goal paths[] = {
      {"PathNoReduction", 0}, {"PathPlain", PlainGoal}, {"PathHighQuality", HighQualityGoal}};
  bool header = false;
  for (const Goal& path : paths) {
    const auto found = figures.find(path.name);
    if (found == figures.end() || found->second.xFloorCpu <= 0) continue;
    if (!header) {
      std::fprintf(out,
                   "\nPer-photo paths against the codec floor (decode of the photo + encode of"
                   " the %d x %d result at quality %d),\nthe floor run beside the path in every"
                   " iteration:\n",
                   photo.box.width, photo.box.height, Quality);
      std::fprintf(out, "  %-18s %9s %9s %9s %9s  %s\n", "", "cpu ms", "real ms", "cpu x", "real x",
                   "goal");
      header = true;
    }
    const SummaryReporter::Figures& f = found->second;
    std::fprintf(out, "  %-18s %9.1f %9.1f %8.3fx %8.3fx", path.name, f.cpuMs, f.realMs,
                 f.xFloorCpu, f.xFloorReal);
    if (path.goal > 0) {
      std::fprintf(out, "  <= %.2fx %s", path.goal, f.xFloorCpu <= path.goal ? "met" : "MISSED");
    }
    std::fputc('\n', out);
  }
  if (header) {
    std::fprintf(out,
                 "  (goals judged on cpu time, which other load on the machine disturbs"
                 " less than real time)\n");
  }
}

// Runs path_memory, which sits beside this program, in a fresh process so
// that the memory of these benchmarks does not count. False when it could
// not be started.
bool MeasureMemory(const char* mode, bool toStderr) {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return false;
  const std::string program = (self.parent_path() / "path_memory").string();
  std::vector<std::string> args = {program, ThePhoto().path, mode};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (toStderr) posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  std::fflush(nullptr);
  pid_t child = 0;
  const int started = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return false;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Takes out --photo=FILE and --keep-photo, leaving the benchmark flags.
struct Options {
  std::string photo;
  bool keepPhoto = false;
  bool console = true;
};

Options TakeOptions(int& argc, char** argv) {
  Options options;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--photo=", 0) == 0) {
      options.photo = arg.substr(8);
    } else if (arg == "--keep-photo") {
      options.keepPhoto = true;
    } else {
      if (arg.rfind("--benchmark_format=", 0) == 0 && arg != "--benchmark_format=console") {
        options.console = false;
      }
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return options;
}

// Makes the photo file (unless given) and everything the benchmarks share.
// Returns the temporary folder to remove afterwards, if any.
std::string SetUpPhoto(const Options& options) {
  Photo& photo = ThePhoto();
  std::string folder;
  if (options.photo.empty()) {
    char pattern[] = "/tmp/quorvale-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
      photo.error = "no temporary folder";
      return {};
    }
    folder = pattern;
    photo.path = folder + "/photo.jpg";
    std::fprintf(stderr, "Making a %d x %d photo in %s ...\n", PhotoWidth, PhotoHeight,
                 photo.path.c_str());
    if (!WriteBytes(photo.path, MakePhotoJpeg(PhotoWidth, PhotoHeight, 1))) {
      photo.error = "cannot write " + photo.path;
      return folder;
    }
  } else {
    photo.path = options.photo;
  }
  if (LoadPhotoFile(photo.path, photo.decoded).status != DecodeStatus::Decoded) {
    photo.error = "cannot decode " + photo.path;
    return folder;
  }
  photo.trim = ComputeTrimSize(photo.decoded.Width(), photo.decoded.Height(), SizeL);
  photo.box = ComputeReductionBox(photo.trim.width, photo.trim.height, SizeL);
  PathMemory memory;
  PrepareTrimmed(memory.photo);
  ShrinkPlain(memory.photo, memory.scratch.Reduced, photo.box.width, photo.box.height);
  photo.reduced = memory.photo;
  return folder;
}

}  // namespace
}  // namespace quorvale::bench

int main(int argc, char** argv) {
  using namespace quorvale::bench;
  const Options options = TakeOptions(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const std::string folder = SetUpPhoto(options);
  if (!ThePhoto().error.empty()) std::fprintf(stderr, "%s\n", ThePhoto().error.c_str());

  RegisterAll();
  SummaryReporter reporter(benchmark::CreateDefaultDisplayReporter());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // The summary must not spoil machine-readable output on stdout.
  std::FILE* out = options.console ? stdout : stderr;
  std::fflush(stdout);
  PrintSummary(out, reporter.Collected());
  if (ThePhoto().error.empty() && reporter.Collected().count("PathPlain")) {
    std::fprintf(out, "\nPeak resident memory of one photo's path, each in a fresh process:\n");
    for (const char* mode : {"plain", "hq"}) {
      if (!MeasureMemory(mode, !options.console)) {
        std::fprintf(out, "  %s: path_memory could not be run\n", mode);
      }
    }
  }

  if (!folder.empty() && !options.keepPhoto) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  } else if (!folder.empty()) {
    std::fprintf(stderr, "Photo kept at %s\n", ThePhoto().path.c_str());
  }
  return ThePhoto().error.empty() ? 0 : 1;
}
