// Characters of each UTF-8 length past ASCII, which the tests place where
// the shell's reading cuts its input into buffers (4 KB and its multiples).
#ifndef TESTS_SUPPORT_BOUNDARY_CHARACTERS_H
#define TESTS_SUPPORT_BOUNDARY_CHARACTERS_H

namespace testsupport {

struct BoundaryCharacter {
  const char* name;
  const char* utf8;
};

// An emoji (4 bytes, outside the Basic Multilingual Plane), CJK (3 bytes)
// and é (2 bytes).
const BoundaryCharacter kBoundaryCharacters[] = {
    {"Emoji", "\xf0\x9f\x98\x80"},
    {"Cjk", "\xe4\xb8\xad"},
    {"EAcute", "\xc3\xa9"},
};

}  // namespace testsupport

#endif
