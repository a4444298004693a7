#include "kvel/simulation_command.h"

#include <locale>
#include <sstream>

#include <boost/filesystem/path.hpp>

namespace KVEL {

std::string buildSimulationCommand(const CommandLineOptions& options, const std::string& snapshot) {
  std::ostringstream text;
  // Plain decimal whatever the global locale says.
  text.imbue(std::locale::classic());

  text << "{" << snapshot << "}";
  if (options.maxdeltaid >= 0 && options.maxdeltaid != 10000)
    text << " -maxdeltaid " << options.maxdeltaid;
  if (options.maxlogsize >= 0)
    text << " -maxlogsize " << options.maxlogsize;
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
    text << " -internaldebuglevel " << options.internaldebuglevel;
  if (!options.simmode.empty())
    text << " -simmode " << options.simmode;
  if (!options.key.empty())
    text << " -key " << options.key;
  return text.str();
}

}  // namespace KVEL
