#include "kvel/cmdfile/argument_list.h"

#include <cstring>
#include <new>
#include <utility>

namespace KVEL {
namespace cmdfile {

ArgumentList::ArgumentList(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    push_back(argument);
}

ArgumentList::ArgumentList(ArgumentList&& other) noexcept
    : text_(std::move(other.text_)),
      offsets_(std::move(other.offsets_)),
      textSize_(std::exchange(other.textSize_, 0)),
      count_(std::exchange(other.count_, 0)) {}

ArgumentList& ArgumentList::operator=(ArgumentList&& other) noexcept {
  if (this == &other)
    return *this;
  text_ = std::move(other.text_);
  offsets_ = std::move(other.offsets_);
  textSize_ = std::exchange(other.textSize_, 0);
  count_ = std::exchange(other.count_, 0);
  return *this;
}

ArgumentList::ArgumentList(const ArgumentList& other) { *this = other; }

ArgumentList& ArgumentList::operator=(const ArgumentList& other) {
  if (this == &other)
    return *this;
  ArgumentList copy;
  for (std::size_t i = 0; i < other.size(); ++i)
    copy.push_back(other[i]);
  *this = std::move(copy);
  return *this;
}

std::string_view ArgumentList::operator[](std::size_t i) const {
  const std::uint32_t start = offsets()[i];
  const std::size_t end = i + 1 < count_ ? offsets()[i + 1] : textSize_;
  return std::string_view(text_.data() + start, end - start - 1);
}

void ArgumentList::append(std::string_view prefix, std::string_view text) {
  const std::size_t length = prefix.size() + text.size() + 1;
  // Offsets are 4 bytes: the text stays below 4 GiB (the command files of a
  // launch give at most 1 GiB).
  if (length > UINT32_MAX || textSize_ > UINT32_MAX - length)
    throw std::bad_alloc();
  if (!text_.reserve(textSize_ + length) || !offsets_.reserve((count_ + 1) * sizeof(std::uint32_t)))
    throw std::bad_alloc();
  char* const at = text_.data() + textSize_;
  if (!prefix.empty())
    std::memcpy(at, prefix.data(), prefix.size());
  if (!text.empty())
    std::memcpy(at + prefix.size(), text.data(), text.size());
  at[length - 1] = '\0';
  reinterpret_cast<std::uint32_t*>(offsets_.data())[count_] = static_cast<std::uint32_t>(textSize_);
  textSize_ += length;
  ++count_;
}

std::vector<std::string> ArgumentList::strings() const {
  std::vector<std::string> copies;
  copies.reserve(count_);
  for (std::size_t i = 0; i < count_; ++i)
    copies.emplace_back((*this)[i]);
  return copies;
}

void ArgumentList::clear() {
  text_.release();
  offsets_.release();
  textSize_ = 0;
  count_ = 0;
}

}  // namespace cmdfile
}  // namespace KVEL
