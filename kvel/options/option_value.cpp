#include "kvel/options/option_value.h"

#include <iostream>
#include <type_traits>

#include "kvel/options/decimal_conversion.h"

namespace KVEL {

namespace {

// Numeric options: convert, or leave the target alone and say why.
template <typename T>
bool assignNumber(const std::string& text, const std::string& name, T& target,
                  DecimalConversion (*convert)(const std::string&, T&), std::string* err) {
  T value{};
  if (convert(text, value) != DecimalConversion::converted) {
    *err = "Illegal value : " + text + "for option " + name;
    return false;
  }
  target = value;
  return true;
}

bool assign(const std::string& text, const std::string& name, int& target, std::string* err) {
  return assignNumber(text, name, target, &convertDecimalInt, err);
}

bool assign(const std::string& text, const std::string& name, unsigned int& target,
            std::string* err) {
  return assignNumber(text, name, target, &convertDecimalUnsigned, err);
}

bool assign(const std::string& text, const std::string&, std::string& target, std::string*) {
  target = text;
  return true;
}

// A switch is on only for exactly "true" or "1".
bool assign(const std::string& text, const std::string&, bool& target, std::string*) {
  target = text == "true" || text == "1";
  return true;
}

template <typename T>
void printValue(std::ostream& stream, const T& value) {
  stream << value;
}

void printValue(std::ostream& stream, bool value) { stream << (value ? 1 : 0); }

}  // namespace

Option::Option(const std::string& name, const std::string& description)
    : name_(name), description_(description) {}

Option::~Option() = default;

OptionValue::OptionValue(const std::string& name, const std::string& description)
    : Option(name, description) {}

OptionValue::~OptionValue() = default;

bool OptionValue::setValue(const std::string& text) {
  std::string err;
  if (store(text, &err)) return true;
  std::cerr << err << "\n";
  return false;
}

bool OptionValue::store(const std::string&, std::string*) { return true; }

bool OptionValue::storeArgument(const cmdfile::ArgumentList& arguments, std::size_t i,
                                std::string& scratch, std::string* err) {
  scratch.assign(arguments.c_str(i));
  return store(scratch, err);
}

bool OptionValue::isFlag() const { return false; }

void OptionValue::expectValues(std::size_t) {}

void OptionValue::print(std::ostream&) const {}

template <typename T>
RefOptionValue<T>::RefOptionValue(const std::string& name, const std::string& description,
                                  T* target)
    : OptionValue(name, description), target_(target) {}

template <typename T>
RefOptionValue<T>::RefOptionValue(const std::string& name, const std::string& description,
                                  T* target, const T& defaultValue)
    : OptionValue(name, description), target_(target) {
  *target_ = defaultValue;
}

template <typename T>
bool RefOptionValue<T>::store(const std::string& text, std::string* err) {
  return assign(text, name(), *target_, err);
}

// Only a bool option is a flag: it takes no value on the command line.
template <typename T>
bool RefOptionValue<T>::isFlag() const {
  return std::is_same<T, bool>::value;
}

template <typename T>
void RefOptionValue<T>::print(std::ostream& stream) const {
  stream << name() << ":";
  printValue(stream, *target_);
  stream << "\n";
}

template class RefOptionValue<int>;
template class RefOptionValue<unsigned int>;
template class RefOptionValue<std::string>;
template class RefOptionValue<bool>;

template <typename L>
RefOptionValueList<L>::RefOptionValueList(const std::string& name,
                                          const std::string& description, L* target)
    : OptionValue(name, description), target_(target) {}

template <typename L>
bool RefOptionValueList<L>::store(const std::string& text, std::string*) {
  target_->push_back(text);
  return true;
}

namespace {

void appendArgument(std::vector<std::string>& list, const cmdfile::ArgumentList& arguments,
                    std::size_t i) {
  list.emplace_back(arguments.c_str(i));
}

void appendArgument(ValueList& list, const cmdfile::ArgumentList& arguments, std::size_t i) {
  list.pushArgument(arguments, i);
}

}  // namespace

template <typename L>
bool RefOptionValueList<L>::storeArgument(const cmdfile::ArgumentList& arguments, std::size_t i,
                                          std::string&, std::string*) {
  appendArgument(*target_, arguments, i);
  return true;
}

template <typename L>
void RefOptionValueList<L>::expectValues(std::size_t count) {
  target_->reserve(target_->size() + count);
}

template <typename L>
void RefOptionValueList<L>::print(std::ostream& stream) const {
  stream << name() << ":";
  for (const auto& element : *target_) stream << " " << element;
  stream << "\n";
}

template class RefOptionValueList<std::vector<std::string>>;
template class RefOptionValueList<ValueList>;

}  // namespace KVEL
