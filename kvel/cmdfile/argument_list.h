// The expanded argument list of a launch, held compactly: the arguments'
// text one after the other, each ending in a NUL, and for each argument the
// 4-byte offset where its text starts. A million short arguments from a
// command file take about the file's size plus 5 bytes each, instead of a
// string object (and often a heap block) each. A switch repeated many times
// ("--testplusarg") is written once: its repeats take their offset alone. Both parts live in page
// buffers (page_buffer.h), so that giving them back before the hand-over
// leaves the allocator as it was. The text is shared: lists of option values
// (kvel/options/value_list.h) refer into it and keep it after the list is
// cleared, so that values are never copied out of it.
#ifndef KVEL_CMDFILE_ARGUMENT_LIST_H
#define KVEL_CMDFILE_ARGUMENT_LIST_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kvel/cmdfile/page_buffer.h"

namespace KVEL {
namespace cmdfile {

class ArgumentList {
public:
  // What an argument takes besides its bytes: its NUL and its offset.
  static constexpr std::size_t kCostPerArgument = 1 + sizeof(std::uint32_t);

  ArgumentList() = default;
  explicit ArgumentList(const std::vector<std::string>& arguments);
  ArgumentList(ArgumentList&& other) noexcept;
  ArgumentList& operator=(ArgumentList&& other) noexcept;
  ArgumentList(const ArgumentList& other);
  ArgumentList& operator=(const ArgumentList& other);

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::string_view operator[](std::size_t i) const;
  // The argument's text, NUL-terminated, valid until the list changes.
  const char* c_str(std::size_t i) const { return text_->data() + textOffset(i); }

  // The text the arguments stand in (null while the list is empty), shared
  // with whoever holds it, and where argument i starts in it: c_str(i) is
  // textBuffer()->data() + textOffset(i).
  // The text only ever grows (its pages may move, its offsets stay).
  std::shared_ptr<const PageBuffer> text() const { return text_; }
  const PageBuffer* textBuffer() const { return text_.get(); }
  std::uint32_t textOffset(std::size_t i) const { return offsets()[i] & ~kRepeat; }

  // Append one argument; the second form with a dash in front of text.
  // Throw std::bad_alloc when the memory or the list's 4 GiB of text is
  // exhausted; the list is then as it was.
  void push_back(std::string_view text) { append(std::string_view(), text); }
  void pushWithDash(std::string_view text) { append("-", text); }

  // Forward iteration over the arguments as views.
  class const_iterator {
  public:
    const_iterator(const ArgumentList* list, std::size_t i) : list_(list), i_(i) {}
    std::string_view operator*() const { return (*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

  private:
    const ArgumentList* list_;
    std::size_t i_;
  };
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, count_); }

  // Copies of the arguments, for callers that want strings.
  std::vector<std::string> strings() const;
  // Empties the list and gives its memory back; the text stays while others
  // hold it.
  void clear();

private:
  // An offset with this bit set is a repeat of an earlier switch, whose text
  // holds no NUL. The text stays below 2 GiB (the command files of a launch
  // give at most 1 GiB).
  static constexpr std::uint32_t kRepeat = 1u << 31;
  // Switches looked for among the earlier ones: the first so many kept.
  static constexpr std::size_t kMostKept = 32;
  static constexpr std::size_t kLongestKept = 32;

  void append(std::string_view prefix, std::string_view text);
  // The offset of an earlier switch reading prefix + text, or kRepeat when
  // there is none.
  std::uint32_t findKept(std::string_view prefix, std::string_view text) const;
  const std::uint32_t* offsets() const {
    return reinterpret_cast<const std::uint32_t*>(offsets_.data());
  }

  std::shared_ptr<PageBuffer> text_;
  PageBuffer offsets_;
  std::size_t textSize_ = 0;
  std::size_t count_ = 0;
  // The lengths of the arguments that hold a NUL, by index, in order; every
  // other argument ends at its first NUL.
  std::vector<std::pair<std::size_t, std::size_t>> withNul_;
  struct Kept {
    std::uint32_t offset;
    std::size_t length;
  };
  Kept kept_[kMostKept] = {};
  std::size_t keptCount_ = 0;
};

}  // namespace cmdfile
}  // namespace KVEL

#endif
