// The values of a list option (-testplusarg, -tclbatch, -view), held
// compactly. A value the parser takes from the expanded argument list stays
// where it stands in the list's text (kvel/cmdfile/argument_list.h), which
// this list then shares: 4 bytes a value, where a string object took 32 and
// often a heap block more. A value given any other way is kept as a copy.
// Used like a vector of strings, with the values read as views.
#ifndef KVEL_OPTIONS_VALUE_LIST_H
#define KVEL_OPTIONS_VALUE_LIST_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kvel/cmdfile/argument_list.h"
#include "kvel/cmdfile/page_buffer.h"

namespace KVEL {

class ValueList {
public:
  using value_type = std::string_view;

  ValueList() = default;
  ValueList(std::initializer_list<std::string_view> values);
  explicit ValueList(const std::vector<std::string>& values);
  // A copy holds copies of the values: it does not depend on the text the
  // original refers to.
  ValueList(const ValueList& other);
  ValueList& operator=(const ValueList& other);
  ValueList(ValueList&& other) noexcept;
  ValueList& operator=(ValueList&& other) noexcept;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // The values there is room for without growing.
  std::size_t capacity() const { return entries_.capacity() / sizeof(std::uint32_t); }
  // Value i, valid while the list is not changed.
  std::string_view operator[](std::size_t i) const;

  // Append a copy of value.
  void push_back(std::string_view value);
  // Replace the values with count copies of value.
  void assign(std::size_t count, std::string_view value);
  // Append argument i of the list, as its text reads up to its first NUL (as
  // the parser reads it), without a copy: the list's text is shared from
  // now on. Where that cannot be (a second text, an offset past 2 GiB), a
  // copy.
  void pushArgument(const cmdfile::ArgumentList& arguments, std::size_t i);
  // Room for count values in all.
  void reserve(std::size_t count);
  // Empties the list and gives its memory (and its share of a text) back.
  void clear();
  void swap(ValueList& other) noexcept;

  class const_iterator {
  public:
    using value_type = std::string_view;
    const_iterator(const ValueList* list, std::size_t i) : list_(list), i_(i) {}
    std::string_view operator*() const { return (*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const const_iterator& other) const { return i_ == other.i_; }
    bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

  private:
    const ValueList* list_;
    std::size_t i_;
  };
  using iterator = const_iterator;
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, count_); }

  // Copies of the values.
  std::vector<std::string> strings() const;

private:
  // An entry with this bit set is an index into copies_; any other the
  // offset of a NUL-terminated value in text_.
  static constexpr std::uint32_t kCopied = 1u << 31;

  void append(std::uint32_t entry);
  std::uint32_t* entries() const { return reinterpret_cast<std::uint32_t*>(entries_.data()); }

  std::shared_ptr<const PageBuffer> text_;
  std::vector<std::string> copies_;
  PageBuffer entries_;
  std::size_t count_ = 0;
};

bool operator==(const ValueList& a, const ValueList& b);
bool operator==(const ValueList& a, const std::vector<std::string>& b);
bool operator==(const std::vector<std::string>& a, const ValueList& b);
inline bool operator!=(const ValueList& a, const ValueList& b) { return !(a == b); }

}  // namespace KVEL

#endif
