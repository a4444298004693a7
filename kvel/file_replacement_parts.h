// The parts of FileReplacement that both platform halves share.
#ifndef KVEL_FILE_REPLACEMENT_PARTS_H
#define KVEL_FILE_REPLACEMENT_PARTS_H

#include <atomic>
#include <string>

namespace KVEL {
namespace replacement {

// True for one replacement at a time in the process.
inline std::atomic<bool> replacing(false);

class OneAtATime {
public:
  OneAtATime() : acquired(!replacing.exchange(true)) {}
  ~OneAtATime() {
    if (acquired)
      replacing.store(false);
  }
  OneAtATime(const OneAtATime&) = delete;
  OneAtATime& operator=(const OneAtATime&) = delete;
  const bool acquired;
};

// How replacing through a temporary file ended: Unavailable means no
// temporary could be used and the file is to be written in place.
enum class Outcome { Done, Failed, Unavailable };

inline std::string removalFailure(const std::string& name) {
  return "ERROR: Unable to remove temporary file " + name + ".";
}

}  // namespace replacement
}  // namespace KVEL

#endif
