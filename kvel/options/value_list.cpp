#include "kvel/options/value_list.h"

#include <cstring>
#include <new>
#include <utility>

namespace KVEL {

ValueList::ValueList(std::initializer_list<std::string_view> values) {
  reserve(values.size());
  for (std::string_view value : values)
    push_back(value);
}

ValueList::ValueList(const std::vector<std::string>& values) {
  reserve(values.size());
  for (const std::string& value : values)
    push_back(value);
}

ValueList::ValueList(const ValueList& other) {
  reserve(other.size());
  for (std::string_view value : other)
    push_back(value);
}

ValueList& ValueList::operator=(const ValueList& other) {
  if (this != &other) {
    ValueList copy(other);
    swap(copy);
  }
  return *this;
}

ValueList::ValueList(ValueList&& other) noexcept { swap(other); }

ValueList& ValueList::operator=(ValueList&& other) noexcept {
  if (this != &other) {
    ValueList emptied;
    swap(emptied);
    swap(other);
  }
  return *this;
}

std::string_view ValueList::operator[](std::size_t i) const {
  const std::uint32_t entry = entries()[i];
  if (entry & kCopied)
    return copies_[entry & ~kCopied];
  return std::string_view(text_->data() + entry);
}

void ValueList::push_back(std::string_view value) {
  if (copies_.size() >= kCopied)
    throw std::bad_alloc();
  reserve(count_ + 1);
  copies_.emplace_back(value);
  append(kCopied | static_cast<std::uint32_t>(copies_.size() - 1));
}

void ValueList::assign(std::size_t count, std::string_view value) {
  ValueList values;
  values.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    values.push_back(value);
  swap(values);
}

void ValueList::pushArgument(const cmdfile::ArgumentList& arguments, std::size_t i) {
  const std::uint32_t offset = arguments.textOffset(i);
  const bool shared = text_ == nullptr || text_.get() == arguments.textBuffer();
  if (!shared || (offset & kCopied)) {
    push_back(arguments.c_str(i));
    return;
  }
  reserve(count_ + 1);
  if (text_ == nullptr)
    text_ = arguments.text();
  append(offset);
}

void ValueList::reserve(std::size_t count) {
  if (count > static_cast<std::size_t>(-1) / sizeof(std::uint32_t) ||
      !entries_.reserve(count * sizeof(std::uint32_t)))
    throw std::bad_alloc();
}

void ValueList::append(std::uint32_t entry) {
  // Room was made by the caller.
  entries()[count_++] = entry;
}

void ValueList::clear() {
  ValueList emptied;
  swap(emptied);
}

void ValueList::swap(ValueList& other) noexcept {
  text_.swap(other.text_);
  copies_.swap(other.copies_);
  std::swap(entries_, other.entries_);
  std::swap(count_, other.count_);
}

std::vector<std::string> ValueList::strings() const {
  std::vector<std::string> values;
  values.reserve(count_);
  for (std::string_view value : *this)
    values.emplace_back(value);
  return values;
}

namespace {

template <class A, class B>
bool sameValues(const A& a, const B& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::string_view(a[i]) != std::string_view(b[i]))
      return false;
  }
  return true;
}

}  // namespace

bool operator==(const ValueList& a, const ValueList& b) { return sameValues(a, b); }
bool operator==(const ValueList& a, const std::vector<std::string>& b) { return sameValues(a, b); }
bool operator==(const std::vector<std::string>& a, const ValueList& b) { return sameValues(a, b); }

}  // namespace KVEL
