#include "kvel/simulation_command.h"

#include <string>

#include <boost/filesystem/path.hpp>

namespace KVEL {

namespace {

// The text is assembled with appends into one string whose size is counted
// first, so a command of a million values is written once, without growing.
class CommandText {
public:
  explicit CommandText(bool counting) : counting_(counting) {}
  CommandText& operator<<(const char* piece) { return add(piece, std::char_traits<char>::length(piece)); }
  CommandText& operator<<(const std::string& piece) { return add(piece.data(), piece.size()); }
  // Plain decimal, whatever the global locale says.
  CommandText& operator<<(long long value) { return *this << std::to_string(value); }
  std::size_t size() const { return size_; }
  void reserve(std::size_t size) { text_.reserve(size); }
  std::string take() { return std::move(text_); }

private:
  CommandText& add(const char* piece, std::size_t length) {
    if (counting_)
      size_ += length;
    else
      text_.append(piece, length);
    return *this;
  }
  bool counting_;
  std::size_t size_ = 0;
  std::string text_;
};

void writeCommand(const CommandLineOptions& options, const std::string& snapshot,
                  CommandText& text) {
  text << "{" << snapshot << "}";
  if (options.maxdeltaid >= 0 && options.maxdeltaid != 10000)
    text << " -maxdeltaid " << static_cast<long long>(options.maxdeltaid);
  if (options.maxlogsize >= 0)
    text << " -maxlogsize " << static_cast<long long>(options.maxlogsize);
  for (const std::string& plusarg : options.testplusarg)
    text << " -testplusarg " << plusarg;
  if (!options.vcdfile.empty())
    text << " -vcdfile {" << options.vcdfile << "}";
  if (!options.vcdunit.empty())
    text << " -vcdunit {" << options.vcdunit << "}";
  if (!options.wdb.empty())
    text << " -wdb {" << options.wdb << "}";
  if (options.tp)
    text << " -tp";
  if (options.tl)
    text << " -tl";
  // Doubled braces: each -view value is a one-element Tcl list.
  for (const std::string& view : options.view)
    text << " -view {{" << boost::filesystem::path(view).generic_string() << "}}";
  if (options.view.empty())
    text << " -autoloadwcfg";
  for (const std::string& batch : options.tclbatch)
    text << " -tclbatch {" << batch << "}";
  if (options.runall)
    text << " -runall";
  if (!options.onfinish.empty())
    text << " -onfinish " << options.onfinish;
  if (!options.onerror.empty())
    text << " -onerror " << options.onerror;
  if (options.nosignalhandlers)
    text << " -nosignalhandlers";
  if (options.ieeewarnings)
    text << " -ieeewarnings";
  if (options.quindle)
    text << " -quindle";
  if (options.stats)
    text << " -stats";
  if (options.internaldebuglevel != 0)
    text << " -internaldebuglevel " << static_cast<long long>(options.internaldebuglevel);
  if (!options.simmode.empty())
    text << " -simmode " << options.simmode;
  if (!options.key.empty())
    text << " -key " << options.key;
}

}  // namespace

std::string buildSimulationCommand(const CommandLineOptions& options, const std::string& snapshot) {
  CommandText counted(true);
  writeCommand(options, snapshot, counted);
  CommandText text(false);
  text.reserve(counted.size());
  writeCommand(options, snapshot, text);
  return text.take();
}

}  // namespace KVEL
