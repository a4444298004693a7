// A write past the process's file-size limit (ulimit -f) ends the process
// with a signal by default. While a FileSizeLimitScope lives, such a write
// fails with an error instead, which the writer can report. The scope spans
// one write only: no other code (no `exec`'s child in particular) runs with
// the changed signal disposition.
#ifndef FRAMEWORK_STANDIN_FILE_SIZE_LIMIT_H
#define FRAMEWORK_STANDIN_FILE_SIZE_LIMIT_H

namespace zekshell {

class FileSizeLimitScope {
public:
  FileSizeLimitScope();
  ~FileSizeLimitScope();  // puts back the disposition it found
  FileSizeLimitScope(const FileSizeLimitScope&) = delete;
  FileSizeLimitScope& operator=(const FileSizeLimitScope&) = delete;

private:
  bool changed_ = false;  // the default disposition was replaced
};

}  // namespace zekshell

#endif
