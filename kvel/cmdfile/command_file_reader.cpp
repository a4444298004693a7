#include "kvel/cmdfile/command_file_reader.h"

#include <algorithm>
#include <fstream>
#include <iostream>

#include <boost/tokenizer.hpp>

#include "kvel/cmdfile/environment_expansion.h"
#include "kvel/options/command_line_options.h"

namespace KVEL {

namespace {

bool isTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

}  // namespace

void trimWhitespace(std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && isTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && isTrimmed(text[begin])) ++begin;
  text.erase(end);
  text.erase(0, begin);
}

void stripQuotes(std::string& argument) {
  const std::size_t first = argument.find('"');
  if (first == std::string::npos) return;
  const std::size_t last = argument.rfind('"');
  if (last == first) return;
  argument.erase(last, 1);
  argument.erase(first, 1);
}

bool splitCommandLine(const std::string& line, std::vector<std::string>& arguments) {
  const boost::char_separator<char> separator(" \t", " \t", boost::keep_empty_tokens);
  const boost::tokenizer<boost::char_separator<char>> pieces(line, separator);
  bool inQuote = false;
  std::string accumulator;
  for (const std::string& piece : pieces) {
    if (!inQuote && std::count(piece.begin(), piece.end(), '"') == 1) inQuote = true;
    if (inQuote) {
      accumulator += piece;
      if (!piece.empty() && piece.back() == '"') {
        arguments.push_back(accumulator);
        accumulator.clear();
        inQuote = false;
      }
    } else if (!piece.empty()) {
      const unsigned char first = static_cast<unsigned char>(piece[0]);
      if (first >= 0x21 && first <= 0x7E) arguments.push_back(piece);
    }
  }
  if (inQuote) {
    std::cerr << "Mismatched quote found in line " << line << "\n";
    return false;
  }
  return true;
}

bool CommandLineOptions::expandCommandFiles(const std::vector<std::string>& arguments,
                                            std::vector<std::string>& output) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& element = arguments[i];
    std::string working;
    if (element.size() > 2 && element[0] == '-' && element[1] != '-') {
      working.reserve(element.size() + 1);
      working += '-';
    }
    working += element;
    if (working == "-f" || working == "--file") {
      if (i + 1 == arguments.size()) {
        std::cerr << "ERROR: Missing command file name for switch '-f [--file]'" << std::endl;
        return false;
      }
      ++i;
      if (!readCommandFile(arguments[i], output)) return false;
      continue;
    }
    output.push_back(std::move(working));
  }
  return true;
}

bool CommandLineOptions::readCommandFile(const std::string& fileName,
                                         std::vector<std::string>& output) {
  std::ifstream file(fileName.c_str());
  if (!file.is_open()) {
    std::cerr << "Unable to open command file " << fileName << "\n";
    return false;
  }
  std::string line;
  while (!file.eof()) {
    if (!std::getline(file, line) && !file.eof()) {
      std::cerr << "ERROR: Unable to read command file " << fileName << "\n";
      return false;
    }
    trimWhitespace(line);
    if (line.empty() || line[0] == '#' || line.compare(0, 2, "//") == 0) continue;
    std::vector<std::string> lineArguments;
    if (!splitCommandLine(line, lineArguments)) {
      std::cerr << "ERROR: Error founds in command file " << fileName << "\n";
      return false;
    }
    if (lineArguments.empty()) continue;
    for (std::string& argument : lineArguments) {
      stripQuotes(argument);
      std::string expansion;
      std::string message;
      if (expandEnvironmentVariables(argument, expansion, message)) {
        argument = expansion;
      } else {
        std::cout << "WARNING: Could not be expanded an environment variable in " << argument
                  << " due to following error: " << message << "\n";
      }
    }
    if (!expandCommandFiles(lineArguments, output)) return false;
  }
  return true;
}

}  // namespace KVEL
