#include "kvel/cmdfile/command_file_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string_view>

#include "kvel/cmdfile/blank_pieces.h"
#include "kvel/cmdfile/environment_expansion.h"
#include "kvel/cmdfile/file_identity.h"
#include "kvel/cmdfile/line_reader.h"
#include "kvel/options/command_line_options.h"

namespace KVEL {

namespace {

// Command files open at once, counting the outermost one.
const std::size_t kMaxNesting = 64;

bool isTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
  // Every byte of the trimming set is at most a space: most texts end in
  // other bytes on both sides and are returned as they are.
  if (!text.empty() && static_cast<unsigned char>(text.front()) > 0x20 &&
      static_cast<unsigned char>(text.back()) > 0x20) {
    return text;
  }
  std::size_t end = text.size();
  while (end > 0 && isTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && isTrimmed(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

bool isGraphic(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x21 && byte <= 0x7E;
}

bool hasExactlyOneQuote(std::string_view piece) {
  const std::size_t first = piece.find('"');
  return first != std::string_view::npos && piece.find('"', first + 1) == std::string_view::npos;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Without quotes the pieces that survive are the words with a graphic first
// byte, so the line is cut at blanks directly.
void splitUnquoted(std::string_view line, std::vector<std::string_view>& arguments) {
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  const char* cursor = begin;
  while (cursor != end) {
    while (cursor != end && isBlank(*cursor)) ++cursor;
    const char* const word = cursor;
    while (cursor != end && !isBlank(*cursor)) ++cursor;
    if (cursor != word && isGraphic(*word)) arguments.emplace_back(word, cursor - word);
  }
}

// The splitting rules of splitCommandLine, giving views into line. False
// when a quoted run is left open.
bool splitIntoViews(std::string_view line, std::vector<std::string_view>& arguments) {
  if (line.find('"') == std::string_view::npos) {
    splitUnquoted(line, arguments);
    return true;
  }
  BlankPieces pieces(line);
  std::string_view piece;
  bool inQuote = false;
  std::size_t runStart = 0;
  while (pieces.next(piece)) {
    const std::size_t pieceStart = static_cast<std::size_t>(piece.data() - line.data());
    if (!inQuote && hasExactlyOneQuote(piece)) {
      inQuote = true;
      runStart = pieceStart;
    }
    if (inQuote) {
      // The pieces of a run are adjacent, so the run is one slice of the line.
      if (!piece.empty() && piece.back() == '"') {
        arguments.push_back(line.substr(runStart, pieceStart + piece.size() - runStart));
        inQuote = false;
      }
    } else if (!piece.empty() && isGraphic(piece[0])) {
      arguments.push_back(piece);
    }
  }
  return !inQuote;
}

void reportMismatchedQuote(std::string_view line) {
  std::cerr << "Mismatched quote found in line " << line << "\n";
}

// Positions of the first and last double quote when there are two or more.
bool findQuotePair(std::string_view argument, std::size_t& first, std::size_t& last) {
  first = argument.find('"');
  if (first == std::string_view::npos) return false;
  last = argument.rfind('"');
  return last != first;
}

struct ChainLink {
  std::string fileName;
  FileIdentity identity;
  bool identified;
};

// The command files being read, outermost first.
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

// Room in the output list for a line's arguments. Growth follows what the
// file has given so far: once 64 KiB are read, the list is sized for the
// arguments the rest of the file will give at the same density, so that a
// large file needs one or two moves of the list instead of twenty doublings
// (each holding the old and the new list at once). Nothing is reserved for
// what has not been seen, and a reservation that does not fit is skipped:
// growing step by step may still fit.
void makeRoom(std::vector<std::string>& output, std::size_t needed, unsigned long long fileSize,
              unsigned long long consumed, std::size_t addedHere) {
  if (output.capacity() - output.size() >= needed) return;
  const std::size_t limit = output.max_size() / 4;
  if (output.size() > limit || needed > limit) return;
  const std::size_t wanted = output.size() + needed;
  std::size_t grown = std::max(wanted, std::min(limit, 2 * output.capacity()));
  if (consumed >= 64 * 1024 && fileSize > consumed && addedHere > 0) {
    const double projected = static_cast<double>(output.size()) +
                             static_cast<double>(addedHere) *
                                 static_cast<double>(fileSize - consumed) /
                                 static_cast<double>(consumed) * 1.05 +
                             static_cast<double>(needed);
    if (projected < static_cast<double>(limit) &&
        projected > 1.25 * static_cast<double>(output.capacity()))
      grown = std::max(wanted, static_cast<std::size_t>(projected));
  }
  try {
    output.reserve(grown);
  } catch (const std::bad_alloc&) {
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool expandList(const std::string_view* arguments, std::size_t count,
                std::vector<std::string>& output, FileChain& chain);

// Reads the lines of an open command file; the caller has checked nesting.
bool readLines(std::FILE* file, unsigned long long fileSize, const std::string& fileName,
               std::vector<std::string>& output, FileChain& chain) {
  LineReader reader(file, fileSize);
  std::string_view rawLine;
  std::vector<std::string_view> lineArguments;
  // Arguments changed by quote removal or expansion live here for one line;
  // the vector is sized before use so views into it stay valid.
  std::vector<std::string> edited;
  std::string expansion;
  std::string message;
  bool firstLine = true;
  unsigned long long consumed = 0;
  const std::size_t sizeAtStart = output.size();
  while (reader.next(rawLine)) {
    consumed += rawLine.size() + 1;
    // Editors on Windows start a UTF-8 file with a byte-order mark.
    if (firstLine && rawLine.substr(0, 3) == "\xEF\xBB\xBF") rawLine.remove_prefix(3);
    firstLine = false;
    const std::string_view line = trimmed(rawLine);
    if (line.empty() || line[0] == '#' || (line.size() >= 2 && line[0] == '/' && line[1] == '/')) {
      continue;
    }
    lineArguments.clear();
    if (!splitIntoViews(line, lineArguments)) {
      reportMismatchedQuote(line);
      std::cerr << "ERROR: Error founds in command file " << fileName << "\n";
      return false;
    }
    if (lineArguments.empty()) continue;
    if (edited.size() < lineArguments.size()) edited.resize(lineArguments.size());

    // Most lines hold neither quotes nor references: one look per line.
    const bool lineHasQuote = line.find('"') != std::string_view::npos;
    const bool lineHasDollar = line.find('$') != std::string_view::npos;
    for (std::size_t i = 0; i < lineArguments.size(); ++i) {
      std::string_view argument = lineArguments[i];
      std::size_t firstQuote = 0;
      std::size_t lastQuote = 0;
      if (lineHasQuote && findQuotePair(argument, firstQuote, lastQuote)) {
        std::string& unquoted = edited[i];
        unquoted.assign(argument.data(), firstQuote);
        unquoted.append(argument.data() + firstQuote + 1, lastQuote - firstQuote - 1);
        unquoted.append(argument.data() + lastQuote + 1, argument.size() - lastQuote - 1);
        argument = unquoted;
      }
      if (!lineHasDollar || argument.find('$') == std::string_view::npos) {
        // Without a reference the expansion only trims.
        lineArguments[i] = trimmed(argument);
        continue;
      }
      const std::string unexpanded(argument);
      if (expandEnvironmentVariables(unexpanded, expansion, message)) {
        edited[i].swap(expansion);
        lineArguments[i] = edited[i];
      } else {
        std::cout << "WARNING: Could not be expanded an environment variable in " << unexpanded
                  << " due to following error: " << message << "\n";
        edited[i] = unexpanded;
        lineArguments[i] = edited[i];
      }
    }
    makeRoom(output, lineArguments.size(), fileSize, consumed, output.size() - sizeAtStart);
    if (!expandList(lineArguments.data(), lineArguments.size(), output, chain)) return false;
  }
  if (reader.readError() != 0) {
    std::cerr << "ERROR: Unable to read command file " << fileName << ": "
              << std::strerror(reader.readError()) << "\n";
    return false;
  }
  if (reader.lineTooLong()) {
    std::cerr << "ERROR: Command file " << fileName << " has a line longer than "
              << LineReader::kMaxLineLength << " bytes\n";
    return false;
  }
  return true;
}

// readLines, with running out of memory reported as an error of this file.
// A nested file that runs out has reported it already and returns false.
bool readLinesWithin(std::FILE* file, unsigned long long fileSize, const std::string& fileName,
                     std::vector<std::string>& output, FileChain& chain) {
  try {
    return readLines(file, fileSize, fileName, output, chain);
  } catch (const std::bad_alloc&) {
    std::cerr << "ERROR: Out of memory while reading command file " << fileName << "\n";
    return false;
  }
}

bool readFile(const std::string& fileName, std::vector<std::string>& output, FileChain& chain) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "r"));
  if (!file) {
    std::cerr << "Unable to open command file " << fileName << "\n";
    return false;
  }
  ChainLink link{fileName, FileIdentity(), false};
  unsigned long long size = 0;
  link.identified = identifyOpenFile(file.get(), link.identity, size);
  if (link.identified) {
    for (const ChainLink& outer : chain) {
      if (outer.identified && outer.identity == link.identity) {
        std::cerr << "ERROR: Command file " << fileName
                  << " is already being read: " << describeChain(chain, fileName) << "\n";
        return false;
      }
    }
  }
  if (chain.size() >= kMaxNesting) {
    std::cerr << "ERROR: Command file " << fileName << " is nested more than " << kMaxNesting
              << " levels deep: " << describeChain(chain, fileName) << "\n";
    return false;
  }
  chain.push_back(std::move(link));
  const bool ok = readLinesWithin(file.get(), size, fileName, output, chain);
  chain.pop_back();
  return ok;
}

bool expandList(const std::string_view* arguments, std::size_t count,
                std::vector<std::string>& output, FileChain& chain) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view element = arguments[i];
    // A single-dash long switch (or value) gets a second dash.
    const bool addDash = element.size() > 2 && element[0] == '-' && element[1] != '-';
    if (element == "-f" || element == "--f" || element == "--file" || element == "-file") {
      if (i + 1 == count) {
        std::cerr << "ERROR: Missing command file name for switch '-f [--file]'" << std::endl;
        return false;
      }
      ++i;
      if (!readFile(std::string(arguments[i]), output, chain)) return false;
      continue;
    }
    if (addDash) {
      std::string& working = output.emplace_back(element.size() + 1, '-');
      element.copy(&working[1], element.size());
    } else {
      output.emplace_back(element);
    }
  }
  return true;
}

}  // namespace

void trimWhitespace(std::string& text) {
  const std::string_view kept = trimmed(text);
  if (kept.size() == text.size()) return;
  const std::size_t begin = static_cast<std::size_t>(kept.data() - text.data());
  text.erase(begin + kept.size());
  text.erase(0, begin);
}

void stripQuotes(std::string& argument) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!findQuotePair(argument, first, last)) return;
  argument.erase(last, 1);
  argument.erase(first, 1);
}

bool splitCommandLine(const std::string& line, std::vector<std::string>& arguments) {
  std::vector<std::string_view> views;
  const bool closed = splitIntoViews(line, views);
  // Arguments before an open quote are appended too, as the caller may see them.
  arguments.reserve(arguments.size() + views.size());
  for (const std::string_view view : views) arguments.emplace_back(view);
  if (!closed) reportMismatchedQuote(line);
  return closed;
}

bool CommandLineOptions::expandCommandFiles(const std::vector<std::string>& arguments,
                                            std::vector<std::string>& output) {
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  FileChain chain;
  return expandList(views.data(), views.size(), output, chain);
}

bool CommandLineOptions::readCommandFile(const std::string& fileName,
                                         std::vector<std::string>& output) {
  FileChain chain;
  return readFile(fileName, output, chain);
}

}  // namespace KVEL
