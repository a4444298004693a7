// Times two commands from exec to exit, interleaved run by run, and reports
// the median wall time of each and the ratio of the first to the second.
//
//   launch_timer RUNS TARGET_RATIO COMMAND... -- REFERENCE...
//
// Both commands run with standard input, output and error on /dev/null and
// must exit with status 0. Exit status: 0 when the ratio is at most
// TARGET_RATIO, 1 when it is above, 2 on a usage or run error.
#include <fcntl.h>
#include <spawn.h>
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

// One run of argv; the elapsed time in microseconds, or -1 on failure.
double timeOnce(std::vector<char*>& argv, posix_spawn_file_actions_t* actions) {
  pid_t pid = 0;
  Clock::time_point start = Clock::now();
  if (posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0)
    return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid)
    return -1;
  Clock::time_point end = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return std::chrono::duration<double, std::micro>(end - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s RUNS TARGET_RATIO COMMAND... -- REFERENCE...\n", argv[0]);
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
    std::fprintf(stderr, "launch_timer: need at least 5 runs, a positive target and two commands\n");
    return 2;
  }
  command.push_back(nullptr);
  reference.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd < 3; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);

  // Warm the page cache for both, then alternate so that drift hits both alike.
  for (int w = 0; w < 3; ++w) {
    if (timeOnce(command, &actions) < 0 || timeOnce(reference, &actions) < 0) {
      std::fprintf(stderr, "launch_timer: a command failed (status not 0)\n");
      return 2;
    }
  }
  std::vector<double> commandTimes, referenceTimes;
  for (int r = 0; r < runs; ++r) {
    bool commandFirst = r % 2 == 0;
    double a = commandFirst ? timeOnce(command, &actions) : -1;
    double b = timeOnce(reference, &actions);
    if (!commandFirst)
      a = timeOnce(command, &actions);
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "launch_timer: a command failed in run %d\n", r + 1);
      return 2;
    }
    commandTimes.push_back(a);
    referenceTimes.push_back(b);
  }
  posix_spawn_file_actions_destroy(&actions);

  const double c = median(commandTimes), ref = median(referenceTimes);
  const double ratio = c / ref;
  std::printf("runs each:          %d (interleaved)\n", runs);
  std::printf("median command:     %.1f us\n", c);
  std::printf("median reference:   %.1f us\n", ref);
  std::printf("ratio:              %.3f (target <= %.2f): %s\n", ratio, target,
              ratio <= target ? "met" : "MISSED");
  return ratio <= target ? 0 : 1;
}
