// Typed command-line option objects of kvel, bound to variables of the
// settings record, and the name-ordered set that holds them.
#ifndef KVEL_OPTIONS_OPTION_VALUE_H
#define KVEL_OPTIONS_OPTION_VALUE_H

#include <cstddef>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "kvel/options/value_list.h"

namespace KVEL {

class Option {
public:
  Option(const std::string& name, const std::string& description);
  virtual ~Option();
  const std::string& name() const { return name_; }
  const std::string& description() const { return description_; }

private:
  std::string name_;
  std::string description_;
};

// An option that takes a value and stores nothing.
class OptionValue : public Option {
public:
  OptionValue(const std::string& name, const std::string& description);
  ~OptionValue() override;
  // Converts and stores text; false, after its one-line message on stderr,
  // when rejected (the target then keeps its value). The printing form, for
  // callers outside the parser, which uses store and prints once.
  bool setValue(const std::string& text);
  // The same without the message: false with it in *err. Options of each
  // kind convert here.
  virtual bool store(const std::string& text, std::string* err);
  // The same for argument i of an expanded argument list, read up to its
  // first NUL; scratch is room for a copy, reused across calls. A list of
  // values keeps a reference into the list's text instead of a copy.
  virtual bool storeArgument(const cmdfile::ArgumentList& arguments, std::size_t i,
                             std::string& scratch, std::string* err);
  // True when the option takes no value on the command line.
  virtual bool isFlag() const;
  // Told before parsing how many values the command line holds for it; a
  // list makes room for them at once. Others keep only the last value.
  virtual void expectValues(std::size_t count);
  // Diagnostic dump of the option and its value.
  virtual void print(std::ostream& stream) const;
};

// An option bound to a variable of type T (int, unsigned int, std::string, bool).
template <typename T>
class RefOptionValue : public OptionValue {
public:
  RefOptionValue(const std::string& name, const std::string& description, T* target);
  RefOptionValue(const std::string& name, const std::string& description, T* target,
                 const T& defaultValue);
  bool store(const std::string& text, std::string* err) override;
  bool isFlag() const override;
  void print(std::ostream& stream) const override;

private:
  T* target_;
};

// An option whose every occurrence appends to a list.
template <typename L>
class RefOptionValueList : public OptionValue {
public:
  RefOptionValueList(const std::string& name, const std::string& description, L* target);
  bool store(const std::string& text, std::string* err) override;
  bool storeArgument(const cmdfile::ArgumentList& arguments, std::size_t i, std::string& scratch,
                     std::string* err) override;
  void expectValues(std::size_t count) override;
  void print(std::ostream& stream) const override;

private:
  L* target_;
};

extern template class RefOptionValue<int>;
extern template class RefOptionValue<unsigned int>;
extern template class RefOptionValue<std::string>;
extern template class RefOptionValue<bool>;
extern template class RefOptionValueList<std::vector<std::string>>;
extern template class RefOptionValueList<ValueList>;

struct OptionNameLess {
  bool operator()(const std::shared_ptr<OptionValue>& a,
                  const std::shared_ptr<OptionValue>& b) const {
    return a->name() < b->name();
  }
};

}  // namespace KVEL

typedef std::set<std::shared_ptr<KVEL::OptionValue>, KVEL::OptionNameLess> OptionSet;

#endif
