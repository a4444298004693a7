// A file's content handed to the file steps piece by piece, so that a large
// one is written as it is made instead of being held whole first.
#ifndef SUPPORT_FS_FILE_CONTENT_H
#define SUPPORT_FS_FILE_CONTENT_H

#include <string_view>
#include <vector>

namespace KVEL {

// Takes pieces in order.
class PieceSink {
public:
  // False when the piece could not be taken: the producer then stops.
  virtual bool put(std::string_view piece) = 0;

protected:
  ~PieceSink() = default;
};

// Content that can be made as often as asked, the same bytes each time: a
// write that falls back to another way (a temporary file out of room, then
// the file in place) and the size check before it make it again.
class FileContent {
public:
  // Hands every piece to sink in order. False when sink refused one or the
  // content could not be made; the caller of the file step tells which.
  virtual bool produce(PieceSink& sink) const = 0;

protected:
  ~FileContent() = default;
};

// Content held in memory as a list of pieces, which must outlive it.
class PieceList final : public FileContent {
public:
  explicit PieceList(const std::vector<std::string_view>& pieces) : pieces_(pieces) {}
  bool produce(PieceSink& sink) const override {
    for (std::string_view piece : pieces_)
      if (!sink.put(piece))
        return false;
    return true;
  }

private:
  const std::vector<std::string_view>& pieces_;
};

}  // namespace KVEL

#endif
