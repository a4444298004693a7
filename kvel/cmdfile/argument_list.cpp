#include "kvel/cmdfile/argument_list.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace KVEL {
namespace cmdfile {

ArgumentList::ArgumentList(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    push_back(argument);
}

ArgumentList::ArgumentList(ArgumentList&& other) noexcept { *this = std::move(other); }

ArgumentList& ArgumentList::operator=(ArgumentList&& other) noexcept {
  if (this == &other)
    return *this;
  text_ = std::move(other.text_);
  offsets_ = std::move(other.offsets_);
  textSize_ = std::exchange(other.textSize_, 0);
  count_ = std::exchange(other.count_, 0);
  withNul_ = std::move(other.withNul_);
  other.withNul_.clear();
  std::copy(other.kept_, other.kept_ + kMostKept, kept_);
  keptCount_ = std::exchange(other.keptCount_, 0);
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
  const char* const start = c_str(i);
  if (withNul_.empty() || (offsets()[i] & kRepeat) != 0)
    return std::string_view(start);
  const auto held = std::lower_bound(
      withNul_.begin(), withNul_.end(), i,
      [](const std::pair<std::size_t, std::size_t>& entry, std::size_t index) {
        return entry.first < index;
      });
  if (held != withNul_.end() && held->first == i)
    return std::string_view(start, held->second);
  return std::string_view(start);
}

std::uint32_t ArgumentList::findKept(std::string_view prefix, std::string_view text) const {
  const std::size_t length = prefix.size() + text.size();
  for (std::size_t k = 0; k < keptCount_; ++k) {
    if (kept_[k].length != length)
      continue;
    const char* const kept = text_->data() + kept_[k].offset;
    if ((prefix.empty() || std::memcmp(kept, prefix.data(), prefix.size()) == 0) &&
        std::memcmp(kept + prefix.size(), text.data(), text.size()) == 0)
      return kept_[k].offset;
  }
  return kRepeat;
}

void ArgumentList::append(std::string_view prefix, std::string_view text) {
  const std::size_t length = prefix.size() + text.size() + 1;
  if (!offsets_.reserve((count_ + 1) * sizeof(std::uint32_t)))
    throw std::bad_alloc();
  std::uint32_t* const offsets = reinterpret_cast<std::uint32_t*>(offsets_.data());
  const char first = !prefix.empty() ? prefix[0] : !text.empty() ? text[0] : '\0';
  const std::uint32_t repeated = first == '-' ? findKept(prefix, text) : kRepeat;
  if (repeated != kRepeat) {
    offsets[count_++] = repeated | kRepeat;
    return;
  }
  if (length > kRepeat || textSize_ > kRepeat - length)
    throw std::bad_alloc();
  const bool holdsNul = !text.empty() && std::memchr(text.data(), '\0', text.size()) != nullptr;
  if (holdsNul)
    withNul_.reserve(withNul_.size() + 1);
  if (!text_)
    text_ = std::make_shared<PageBuffer>();
  if (!text_->reserve(textSize_ + length))
    throw std::bad_alloc();
  char* const at = text_->data() + textSize_;
  if (!prefix.empty())
    std::memcpy(at, prefix.data(), prefix.size());
  if (!text.empty())
    std::memcpy(at + prefix.size(), text.data(), text.size());
  at[length - 1] = '\0';
  const std::uint32_t offset = static_cast<std::uint32_t>(textSize_);
  offsets[count_] = offset;
  if (holdsNul)
    withNul_.emplace_back(count_, length - 1);
  else if (first == '-' && length - 1 >= 2 && length - 1 <= kLongestKept &&
           keptCount_ < kMostKept)
    kept_[keptCount_++] = {offset, length - 1};
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
  text_.reset();
  offsets_.release();
  textSize_ = 0;
  count_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>>().swap(withNul_);
  keptCount_ = 0;
}

}  // namespace cmdfile
}  // namespace KVEL
