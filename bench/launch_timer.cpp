// Times commands from exec to exit and reports, from the kernel's account of
// each run (wait4), the minor page faults and the peak resident set beside
// the time. Three forms:
//
//   launch_timer RUNS TARGET_RATIO COMMAND... -- REFERENCE...
//       the two commands interleaved run by run: median wall time, median
//       minor page faults and largest peak of each, and the ratio of the
//       first time to the second. Exit status 0 when the ratio is at most
//       TARGET_RATIO, 1 when above.
//   launch_timer --once COMMAND...
//       one run; prints "SECONDS PEAK_KB MINOR_FAULTS" on one line.
//   launch_timer --fault-cost MEGABYTES
//       the machine's cost of fresh memory: touches one byte in every 4 KB
//       page of that much newly mapped memory, timed, once plain and once
//       advised for huge pages; prints time, faults and time per fault.
//
// Commands run with standard input, output and error on /dev/null and must
// exit with status 0. Exit status 2 on a usage or run error.
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

typedef std::chrono::steady_clock Clock;

struct Run {
  double micros = -1;  // -1 on failure
  long peakKb = 0;     // largest resident set
  long minorFaults = 0;
};

Run runOnce(std::vector<char*>& argv, posix_spawn_file_actions_t* actions) {
  Run run;
  pid_t pid = 0;
  Clock::time_point start = Clock::now();
  if (posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0)
    return run;
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid)
    return run;
  Clock::time_point end = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return run;
  run.micros = std::chrono::duration<double, std::micro>(end - start).count();
  run.peakKb = usage.ru_maxrss;
  run.minorFaults = usage.ru_minflt;
  return run;
}

template <class T>
T median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Summary {
  double micros;
  long faults;
  long peakKb;
};

Summary summarize(const std::vector<Run>& runs) {
  std::vector<double> times;
  std::vector<long> faults;
  long peak = 0;
  for (const Run& run : runs) {
    times.push_back(run.micros);
    faults.push_back(run.minorFaults);
    peak = std::max(peak, run.peakKb);
  }
  return {median(times), median(faults), peak};
}

void quietStreams(posix_spawn_file_actions_t* actions) {
  posix_spawn_file_actions_init(actions);
  for (int fd = 0; fd < 3; ++fd)
    posix_spawn_file_actions_addopen(actions, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
}

long ownFaults() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Touches every page of a fresh mapping of `bytes`; prints what it cost.
bool touchFresh(std::size_t bytes, bool hugePages) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED)
    return false;
#ifdef MADV_HUGEPAGE
  if (hugePages)
    madvise(memory, bytes, MADV_HUGEPAGE);
#endif
  volatile char* bytesOf = static_cast<char*>(memory);
  const long faultsBefore = ownFaults();
  const Clock::time_point start = Clock::now();
  for (std::size_t at = 0; at < bytes; at += 4096)
    bytesOf[at] = 1;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long faults = ownFaults() - faultsBefore;
  munmap(memory, bytes);
  std::printf("touch %zu MB %-22s %7.3f s, %6ld minor faults, %5.2f us per fault\n", bytes >> 20,
              hugePages ? "(advised huge pages):" : "(plain):", seconds, faults,
              faults > 0 ? seconds * 1e6 / static_cast<double>(faults) : 0.0);
  return true;
}

int faultCost(const char* megabytes) {
  const long size = std::atol(megabytes);
  if (size <= 0)
    return 2;
  const std::size_t bytes = static_cast<std::size_t>(size) << 20;
  return touchFresh(bytes, false) && touchFresh(bytes, true) ? 0 : 2;
}

int once(int argc, char** argv) {
  std::vector<char*> command(argv, argv + argc);
  command.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  quietStreams(&actions);
  const Run run = runOnce(command, &actions);
  posix_spawn_file_actions_destroy(&actions);
  if (run.micros < 0) {
    std::fprintf(stderr, "launch_timer: the command failed (status not 0)\n");
    return 2;
  }
  std::printf("%.6f %ld %ld\n", run.micros / 1e6, run.peakKb, run.minorFaults);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--once")
    return once(argc - 2, argv + 2);
  if (argc == 3 && std::string(argv[1]) == "--fault-cost")
    return faultCost(argv[2]);
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: %s RUNS TARGET_RATIO COMMAND... -- REFERENCE...\n"
                 "       %s --once COMMAND...\n"
                 "       %s --fault-cost MEGABYTES\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const double target = std::atof(argv[2]);
  std::vector<char*> command, reference;
  int i = 3;
  for (; i < argc && std::string(argv[i]) != "--"; ++i)
    command.push_back(argv[i]);
  for (++i; i < argc; ++i)
    reference.push_back(argv[i]);
  if (runs < 5 || target <= 0 || command.empty() || reference.empty()) {
    std::fprintf(stderr,
                 "launch_timer: need at least 5 runs, a positive target and two commands\n");
    return 2;
  }
  command.push_back(nullptr);
  reference.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  quietStreams(&actions);

  // Warm the page cache for both, then alternate so that drift hits both alike.
  for (int w = 0; w < 3; ++w) {
    if (runOnce(command, &actions).micros < 0 || runOnce(reference, &actions).micros < 0) {
      std::fprintf(stderr, "launch_timer: a command failed (status not 0)\n");
      return 2;
    }
  }
  std::vector<Run> commandRuns, referenceRuns;
  for (int r = 0; r < runs; ++r) {
    bool commandFirst = r % 2 == 0;
    Run a = commandFirst ? runOnce(command, &actions) : Run();
    Run b = runOnce(reference, &actions);
    if (!commandFirst)
      a = runOnce(command, &actions);
    if (a.micros < 0 || b.micros < 0) {
      std::fprintf(stderr, "launch_timer: a command failed in run %d\n", r + 1);
      return 2;
    }
    commandRuns.push_back(a);
    referenceRuns.push_back(b);
  }
  posix_spawn_file_actions_destroy(&actions);

  const Summary c = summarize(commandRuns), ref = summarize(referenceRuns);
  const double ratio = c.micros / ref.micros;
  std::printf("runs each:          %d (interleaved)\n", runs);
  std::printf("median command:     %.1f us, %ld minor faults, peak %.1f MiB\n", c.micros, c.faults,
              c.peakKb / 1024.0);
  std::printf("median reference:   %.1f us, %ld minor faults, peak %.1f MiB\n", ref.micros,
              ref.faults, ref.peakKb / 1024.0);
  std::printf("ratio:              %.3f (target <= %.2f): %s\n", ratio, target,
              ratio <= target ? "met" : "MISSED");
  return ratio <= target ? 0 : 1;
}
