#include "kvel/cmdfile/command_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <string_view>

#include "kvel/cmdfile/command_file_stream.h"
#include "kvel/cmdfile/environment_expansion.h"
#include "kvel/cmdfile/line_reader.h"
#include "kvel/cmdfile/line_splitting.h"
#include "kvel/cmdfile/program_text.h"
#include "support/file_status.h"

namespace KVEL {

namespace {

// Command files open at once, counting the outermost one.
const std::size_t kMaxNesting = 64;

struct ChainLink {
  std::string fileName;
  FileIdentity identity;
  bool identified;
  std::size_t line = 0;  // the line being handled
};

using cmdfile::ArgumentNote;
using cmdfile::ArgumentOrigins;
// The notes of each argument of a line (their argument index unused).
using LineNotes = std::vector<std::vector<ArgumentNote>>;

// The command files being read, outermost first, what all command files of
// this expansion have cost so far (see kMaxCommandFileCost), where warnings
// go and the error that ended the reading.
struct Reading {
  explicit Reading(std::ostream& warningStream) : warnings(warningStream) {}
  std::vector<ChainLink> chain;
  unsigned long long cost = 0;
  std::ostream& warnings;
  std::string error;
  // What each argument from a file costs besides its bytes: more when
  // an account keeps where it came from.
  unsigned long long argumentCost = kArgumentCost;
  // Only when an account of the arguments was asked for.
  ArgumentOrigins* origins = nullptr;
  std::uint32_t currentFile = ArgumentOrigins::kCommandLine;
  std::size_t commandLinePosition = 0;  // of the argument being handled there
  std::string nameNote;                 // what expanding the next file's name gave

  // The line being handled: "a.f:3 -> b.f:7", or its command-line position.
  std::string place() const {
    if (chain.empty())
      return "command line " + std::to_string(commandLinePosition);
    std::string text;
    for (const auto& link : chain) {
      if (!text.empty())
        text += " -> ";
      text += cmdfile::placeStep(link.fileName, link.line);
    }
    return text;
  }

  bool fail(std::string message) {
    error = std::move(message);
    if (origins != nullptr)
      error += "\n  (at " + place() + ")";
    return false;
  }
};

using FileChain = std::vector<ChainLink>;

std::string describeChain(const FileChain& chain, const std::string& fileName) {
  std::string text;
  for (const ChainLink& link : chain) {
    text += link.fileName;
    text += " -> ";
  }
  text += fileName;
  return text;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool expandList(const std::string_view* arguments, std::size_t count, cmdfile::ArgumentList& output,
                Reading& reading, LineNotes* notes = nullptr);

bool failPastBound(Reading& reading, const std::string& fileName) {
  return reading.fail("ERROR: Command file " + fileName +
                      " takes the command files of one launch past " +
                      std::to_string(kMaxCommandFileCost) +
                      " bytes of memory (each line read counts its bytes, each argument its "
                      "bytes and " +
                      std::to_string(reading.argumentCost) + " more)");
}

// Adds to what the command files have cost; false, with the error, once
// that is past the bound.
bool charge(Reading& reading, unsigned long long amount, const std::string& fileName) {
  reading.cost += amount;
  return reading.cost <= kMaxCommandFileCost || failPastBound(reading, fileName);
}

// Lines up to this length hold too few words to matter for memory.
const std::size_t kLongLine = 64 * 1024;

// The words between blanks, as many as a line can give as arguments.
unsigned long long countWords(std::string_view line) {
  unsigned long long words = 0;
  bool inWord = false;
  for (const char c : line) {
    const bool blank = c == ' ' || c == '\t';
    if (!blank && !inWord)
      ++words;
    inWord = !blank;
  }
  return words;
}

std::string atLine(std::size_t lineNumber) { return " (line " + std::to_string(lineNumber) + ")"; }

// Handles the lines the reader gives; the caller has checked nesting.
// fromUtf16: the lines are the converted text of a UTF-16 file, already the
// programs' text.
bool readLines(LineReader& reader, const std::string& fileName, cmdfile::ArgumentList& output,
               Reading& reading, bool fromUtf16) {
  std::string_view rawLine;
  // A line that had to be converted to the programs' text.
  std::string convertedLine;
  std::string reason;
  bool marked = false;
  std::size_t lineNumber = 0;
  std::vector<std::string_view> lineArguments;
  // Arguments changed by quote removal or expansion live here for one line;
  // the vector is sized before use so views into it stay valid.
  std::vector<std::string> edited;
  std::string expansion;
  std::string message;
  bool firstLine = true;
  LineNotes notes;
  // The line number is kept in the chain only for an account; by index, as
  // nested files grow the chain and may move its links.
  const std::size_t depth = reading.chain.size() - 1;
  while (reader.next(rawLine)) {
    ++lineNumber;
    if (reading.origins != nullptr)
      reading.chain[depth].line = lineNumber;
    if (!charge(reading, rawLine.size() + 1, fileName))
      return false;
    // Editors on Windows start a UTF-8 file with a byte-order mark.
    if (firstLine && rawLine.substr(0, 3) == "\xEF\xBB\xBF") {
      rawLine.remove_prefix(3);
      marked = true;
    }
    firstLine = false;
    // Text never holds a NUL; a line would end there for the simulator. Most
    // often the file is UTF-16 without its mark.
    if (rawLine.find('\0') != std::string_view::npos) {
      return reading.fail("ERROR: Command file " + fileName +
                          (fromUtf16 ? " holds a NUL character" + atLine(lineNumber)
                                     : " holds a NUL byte" + atLine(lineNumber) +
                                           "; a UTF-16 file must begin with its byte-order mark"));
    }
    bool converted = false;
    if (!fromUtf16 && !lineToProgramText(rawLine, marked, convertedLine, converted, &reason))
      return reading.fail("ERROR: Command file " + fileName + " " + reason + atLine(lineNumber));
    if (converted)
      rawLine = convertedLine;
    const std::string_view line = cmdfile::trimmed(rawLine);
    if (line.empty() || line[0] == '#' || (line.size() >= 2 && line[0] == '/' && line[1] == '/')) {
      continue;
    }
    // A long line of short words would take memory for each word before
    // its arguments count: it fails first when its words alone (a quoted
    // run counting each of its words) would pass the bound.
    if (line.size() > kLongLine &&
        reading.cost + countWords(line) * (sizeof(std::string_view) + kArgumentCost + 1) >
            kMaxCommandFileCost)
      return failPastBound(reading, fileName);
    lineArguments.clear();
    if (!cmdfile::splitIntoViews(line, lineArguments)) {
      return reading.fail(cmdfile::mismatchedQuote(line) +
                          "\nERROR: Error founds in command file " + fileName);
    }
    if (lineArguments.empty())
      continue;
    if (reading.origins != nullptr) {
      // Emptied in place: each keeps its room, and most lines have none.
      if (notes.size() < lineArguments.size())
        notes.resize(lineArguments.size());
      for (std::size_t k = 0; k < lineArguments.size(); ++k)
        notes[k].clear();
    }

    // Most lines hold neither quotes nor references: one look per line.
    const bool lineHasQuote = line.find('"') != std::string_view::npos;
    const bool lineHasDollar = line.find('$') != std::string_view::npos;
    if ((lineHasQuote || lineHasDollar) && edited.size() < lineArguments.size())
      edited.resize(lineArguments.size());
    for (std::size_t i = 0; i < lineArguments.size(); ++i) {
      std::string_view argument = lineArguments[i];
      const std::string_view written = argument;
      std::size_t firstQuote = 0;
      std::size_t lastQuote = 0;
      if (lineHasQuote && cmdfile::findQuotePair(argument, firstQuote, lastQuote)) {
        std::string& unquoted = edited[i];
        unquoted.assign(argument.data(), firstQuote);
        unquoted.append(argument.data() + firstQuote + 1, lastQuote - firstQuote - 1);
        unquoted.append(argument.data() + lastQuote + 1, argument.size() - lastQuote - 1);
        argument = unquoted;
      }
      if (reading.origins != nullptr && lineHasQuote &&
          argument.find('"') != std::string_view::npos)
        notes[i].push_back(
            {0, "a double quote here opened no group and is kept", ArgumentNote::loneQuote});
      if (!lineHasDollar || argument.find('$') == std::string_view::npos) {
        // Without a reference the expansion only trims.
        lineArguments[i] = cmdfile::trimmed(argument);
        if (reading.origins != nullptr && lineArguments[i] != written)
          notes[i].push_back({0, std::string(written), ArgumentNote::written});
        continue;
      }
      const std::string unexpanded(argument);
      ExpansionNotes expansionNotes;
      ExpansionNotes* const noted = reading.origins != nullptr ? &expansionNotes : nullptr;
      bool refused = false;
      if (expandEnvironmentVariables(unexpanded, expansion, &message, &refused, noted)) {
        edited[i].swap(expansion);
        lineArguments[i] = edited[i];
        if (noted != nullptr && expansionNotes.dataDirUnresolved) {
          reading.warnings << "WARNING: No directory of ZEK_DATADIR gives an existing path for "
                           << unexpanded << "; it is kept as written\n  (at " << reading.place()
                           << ")\n";
        }
      } else if (refused) {
        // A value that reached kvel changed is an error, not a warning.
        return reading.fail(message);
      } else {
        reading.warnings << "WARNING: Could not be expanded an environment variable in "
                         << unexpanded << " due to following error: " << message << "\n";
        if (noted != nullptr) {
          reading.warnings << "  (at " << reading.place() << ")\n";
          // What single references gave is of no account: none of it was used.
          expansionNotes.lines.clear();
          expansionNotes.lines.push_back("not expanded: " + cmdfile::shownText(message) +
                                         "; kept as written");
        }
        edited[i] = unexpanded;
        lineArguments[i] = edited[i];
      }
      if (noted != nullptr) {
        for (std::string& line : expansionNotes.lines)
          notes[i].push_back({0, std::move(line)});
        if (lineArguments[i] != written)
          notes[i].push_back({0, std::string(written), ArgumentNote::written});
      }
    }
    if (!expandList(lineArguments.data(), lineArguments.size(), output, reading,
                    reading.origins != nullptr ? &notes : nullptr))
      return false;
  }
  return true;
}

// False, with the error, when the reader met a line beyond its bound.
bool lineLengthKept(const LineReader& reader, const std::string& fileName, Reading& reading) {
  if (!reader.lineTooLong())
    return true;
  return reading.fail("ERROR: Command file " + fileName + " has a line longer than " +
                      std::to_string(LineReader::kMaxLineLength) + " bytes");
}

// The code units of UTF-16 bytes in the given byte order. False when the
// bytes are no UTF-16 text (an odd count, a surrogate without its partner),
// with the first bad unit's index and the problem in *err.
bool decodeUtf16(const std::string& bytes, bool bigEndian, std::u16string& units,
                 std::size_t& failedAt, std::string* err) {
  if (bytes.size() % 2 != 0) {
    *err = "it has an odd number of bytes (" + std::to_string(bytes.size() + 2) + ")";
    return false;
  }
  units.resize(bytes.size() / 2);
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const int high = bigEndian ? 0 : 1;
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>((data[2 * i + high] << 8) | data[2 * i + 1 - high]);
  }
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit < 0xD800 || unit > 0xDFFF)
      continue;
    if (unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(unit));
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(units.begin(), units.begin() + i, u'\n'));
    *err = std::string("an unpaired surrogate ") + name + " (line " + std::to_string(line) + ")";
    failedAt = i;
    return false;
  }
  return true;
}

// The rest of a file that began with a UTF-16 byte-order mark, read as
// bytes (within what the bound on all command files leaves) and converted to
// the programs' text. False after a message.
bool readUtf16(std::FILE* file, bool bigEndian, const std::string& fileName, Reading& reading,
               std::string& text) {
  std::string bytes;
  const std::size_t block = 256 * 1024;
  for (;;) {
    const std::size_t start = bytes.size();
    bytes.resize(start + block);
    errno = 0;
    const std::size_t got = std::fread(&bytes[start], 1, block, file);
    bytes.resize(start + got);
    // Held up to four times over while it is converted: the bytes, their
    // code units and the text, twice.
    if (!charge(reading, 4ull * got, fileName))
      return false;
    if (got < block) {
      if (std::ferror(file)) {
        return reading.fail("ERROR: Unable to read command file " + fileName + ": " +
                            std::strerror(errno != 0 ? errno : EIO));
      }
      break;
    }
  }
  std::u16string units;
  std::string problem;
  std::size_t failedAt = 0;
  if (!decodeUtf16(bytes, bigEndian, units, failedAt, &problem)) {
    return reading.fail("ERROR: Command file " + fileName + " is not valid UTF-16: " + problem);
  }
  std::string().swap(bytes);
  if (!utf16ToProgramText(units.data(), units.size(), text, failedAt, &problem)) {
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(units.begin(), units.begin() + failedAt, u'\n'));
    return reading.fail("ERROR: Command file " + fileName +
                        " holds a character that cannot be represented: " + problem + " (line " +
                        std::to_string(line) + ")");
  }
  return true;
}

// Reads an open command file, its head (the first bytes) read already: a
// UTF-16 file as converted text, any other as text. Running out of memory
// is an error of this file (a nested file that runs out has set its own
// error already and returns false).
bool readOpenFile(std::FILE* file, std::string& head, unsigned long long fileSize,
                  const std::string& fileName, cmdfile::ArgumentList& output, Reading& reading) {
  try {
    const bool littleEndian = head == "\xFF\xFE";
    if (littleEndian || head == "\xFE\xFF") {
      std::string text;
      if (!readUtf16(file, !littleEndian, fileName, reading, text))
        return false;
      LineReader reader(nullptr, 0, 0, LineReader::kMaxLineLength, text);
      std::string().swap(text);
      return readLines(reader, fileName, output, reading, true) &&
             lineLengthKept(reader, fileName, reading);
    }
    const bool more = continueAsText(file, head);
    LineReader reader(more ? file : nullptr, fileSize, 256 * 1024, LineReader::kMaxLineLength,
                      head);
    if (!readLines(reader, fileName, output, reading, false))
      return false;
    if (reader.readError() != 0) {
      return reading.fail("ERROR: Unable to read command file " + fileName + ": " +
                          std::strerror(reader.readError()));
    }
    return lineLengthKept(reader, fileName, reading);
  } catch (const std::bad_alloc&) {
    return reading.fail("ERROR: Out of memory while reading command file " + fileName);
  }
}

bool readNamedFile(const std::string& fileName, cmdfile::ArgumentList& output, Reading& reading) {
  std::string reason;
  if (!isReadableName(fileName, &reason))
    return reading.fail("ERROR: Command file " + fileName + " " + reason);
  const std::unique_ptr<std::FILE, FileCloser> file(openCommandFile(fileName));
  if (!file)
    return reading.fail("Unable to open command file " + fileName);
  if (!isReadableSource(file.get(), &reason))
    return reading.fail("ERROR: Command file " + fileName + " " + reason);
  FileChain& chain = reading.chain;
  ChainLink link{fileName, FileIdentity(), false};
  unsigned long long size = 0;
  link.identified = identifyOpenFile(file.get(), link.identity, size);
  if (link.identified) {
    for (const ChainLink& outer : chain) {
      if (outer.identified && outer.identity == link.identity) {
        return reading.fail("ERROR: Command file " + fileName +
                            " is already being read: " + describeChain(chain, fileName));
      }
    }
  }
  if (chain.size() >= kMaxNesting) {
    return reading.fail("ERROR: Command file " + fileName + " is nested more than " +
                        std::to_string(kMaxNesting) +
                        " levels deep: " + describeChain(chain, fileName));
  }
  // Two bytes tell a UTF-16 file by its byte-order mark.
  std::string head;
  std::string err;
  if (!readHead(file.get(), 2, head, &err))
    return reading.fail("ERROR: Unable to read command file " + fileName + ": " + err);
  const std::uint32_t includer = reading.currentFile;
  if (reading.origins != nullptr) {
    std::vector<cmdfile::SourceFile>& files = reading.origins->files;
    const std::size_t parentLine = chain.empty() ? reading.commandLinePosition : chain.back().line;
    files.push_back(
        {fileName, includer, static_cast<std::uint32_t>(parentLine), std::move(reading.nameNote)});
    reading.nameNote.clear();
    reading.currentFile = static_cast<std::uint32_t>(files.size() - 1);
  }
  chain.push_back(std::move(link));
  const bool ok = readOpenFile(file.get(), head, size, fileName, output, reading);
  chain.pop_back();
  reading.currentFile = includer;
  return ok;
}

// Notes what the environment references of the argument just appended gave,
// and where it came from.
void recordOrigin(Reading& reading, std::size_t output, LineNotes* notes, std::size_t i,
                  bool dashAdded) {
  ArgumentOrigins& origins = *reading.origins;
  const bool onCommandLine = reading.chain.empty();
  origins.origins.push_back(
      {reading.currentFile,
       static_cast<std::uint32_t>(onCommandLine ? i + 1 : reading.chain.back().line), dashAdded});
  if (notes == nullptr)
    return;
  for (ArgumentNote& note : (*notes)[i])
    origins.notes.push_back({output, std::move(note.text), note.kind});
}

// The notes of a file name: they go with the file it names.
void keepNameNotes(Reading& reading, const LineNotes* notes, std::size_t i) {
  reading.nameNote.clear();
  if (notes == nullptr)
    return;
  for (const ArgumentNote& note : (*notes)[i]) {
    if (note.kind != ArgumentNote::expansion)
      continue;
    if (!reading.nameNote.empty())
      reading.nameNote += "; ";
    reading.nameNote += note.text;
  }
}

bool expandList(const std::string_view* arguments, std::size_t count, cmdfile::ArgumentList& output,
                Reading& reading, LineNotes* notes) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view element = arguments[i];
    // A single-dash long switch (or value) gets a second dash.
    const bool addDash = element.size() > 2 && element[0] == '-' && element[1] != '-';
    if (element == "-f" || element == "--f" || element == "--file" || element == "-file") {
      if (reading.chain.empty())
        reading.commandLinePosition = i + 1;
      if (i + 1 == count)
        return reading.fail("ERROR: Missing command file name for switch '-f [--file]'");
      ++i;
      if (reading.origins != nullptr)
        keepNameNotes(reading, notes, i);
      if (!readNamedFile(std::string(arguments[i]), output, reading))
        return false;
      continue;
    }
    // What the files' arguments hold in memory counts toward the bound.
    if (!reading.chain.empty() &&
        !charge(reading, element.size() + (addDash ? 1 : 0) + reading.argumentCost,
                reading.chain.back().fileName))
      return false;
    if (addDash)
      output.pushWithDash(element);
    else
      output.push_back(element);
    if (reading.origins != nullptr)
      recordOrigin(reading, output.size() - 1, notes, i, addDash);
  }
  return true;
}

}  // namespace

namespace cmdfile {

bool expandArguments(const std::vector<std::string>& arguments, ArgumentList& output,
                     std::ostream& warnings, std::string* err, ArgumentOrigins* origins) {
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  Reading reading(warnings);
  reading.origins = origins;
  if (origins != nullptr)
    reading.argumentCost += ArgumentOrigins::kCostPerArgument;
  if (expandList(views.data(), views.size(), output, reading))
    return true;
  *err = std::move(reading.error);
  return false;
}

bool readFile(const std::string& fileName, ArgumentList& output, std::ostream& warnings,
              std::string* err) {
  Reading reading(warnings);
  if (readNamedFile(fileName, output, reading))
    return true;
  *err = std::move(reading.error);
  return false;
}

}  // namespace cmdfile

}  // namespace KVEL
