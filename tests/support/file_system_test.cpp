// The file-system layer's primitives: what the status calls tell of each kind
// of name, how openAt opens (or refuses) it, and that a lock is held once.
#include "support/fs/file_system.h"

#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

namespace fs = KVEL::fs;

const char kFile[] = "\xc3\xa9-\xe6\x97\xa5\xe6\x9c\xac.txt";               // é-日本.txt
const char kSecondName[] = "\xd0\xb2\xd1\x82\xd0\xbe\xd1\x80\xd0\xbe\xd0\xb5";  // второе
const char kFolder[] = "\xd0\xbf\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0";             // папка
const char kLink[] = "link \xf0\x9f\x99\x82";                                 // link 🙂
const char kMissing[] = "\xe4\xb8\xad-missing";                                // 中-missing
const char kContent[] = "kvel {\xc3\xa9\xd0\x96\xe4\xb8\xad}\n";

// A folder holding a file, a second name of it, a folder and (where the
// platform makes one) a symbolic link to the file; opened as a CheckedFolder.
class FileSystem : public ::testing::Test {
protected:
  void SetUp() override {
    testsupport::writeFile(dir_.file(kFile), kContent);
    ASSERT_TRUE(testsupport::makeHardLink(dir_.file(kFile), dir_.file(kSecondName)));
    boost::filesystem::create_directory(dir_.file(kFolder));
    boost::system::error_code error;
    boost::filesystem::create_symlink(kFile, dir_.file(kLink), error);
    links_ = !error && boost::filesystem::is_symlink(dir_.file(kLink));
    std::string err;
    ASSERT_TRUE(folder_.open(dir_.path(), false, &err)) << err;
    ASSERT_TRUE(fs::statusAt(folder_, kFile, false, &file_));
  }

  testsupport::TempDir dir_;
  KVEL::CheckedFolder folder_;
  fs::Status file_;
  bool links_ = false;
};

TEST_F(FileSystem, StatusOfEachKindOfName) {
  const struct {
    const char* what;
    const char* name;
    bool follow;
    bool found, regular, directory, link, sameAsFile;
    unsigned long long links;
  } cases[] = {
      {"file", kFile, false, true, true, false, false, true, 2},
      {"second name", kSecondName, false, true, true, false, false, true, 2},
      {"folder", kFolder, false, true, false, true, false, false, 0},
      {"missing", kMissing, false, false, false, false, false, false, 0},
      {"link itself", kLink, false, true, false, false, true, false, 0},
      {"link followed", kLink, true, true, true, false, false, true, 2},
  };
  for (const auto& c : cases) {
    if (std::string(c.name) == kLink && !links_)
      continue;  // no symbolic links here
    fs::Status status;
    ASSERT_EQ(c.found, fs::statusAt(folder_, c.name, c.follow, &status)) << c.what;
    if (!c.found) {
      EXPECT_EQ(fs::Failure::Missing, fs::lastFailure()) << c.what;
      EXPECT_FALSE(fs::statusOfPath(dir_.file(c.name), c.follow, &status)) << c.what;
      continue;
    }
    EXPECT_EQ(c.regular, status.regular) << c.what;
    EXPECT_EQ(c.directory, status.directory) << c.what;
    EXPECT_EQ(c.link, status.link) << c.what;
    EXPECT_EQ(c.sameAsFile, status.identity == file_.identity) << c.what;
    EXPECT_EQ(fs::Owner::runningUser, status.owner) << c.what;
    if (c.links) {
      EXPECT_EQ(c.links, status.links) << c.what;
    }
    if (c.regular) {
      EXPECT_EQ(sizeof kContent - 1, status.size) << c.what;
    }
    // The same file by its path.
    fs::Status byPath;
    ASSERT_TRUE(fs::statusOfPath(dir_.file(c.name), c.follow, &byPath)) << c.what;
    EXPECT_TRUE(byPath.identity == status.identity) << c.what;
  }
}

TEST_F(FileSystem, OpenAtOpensOrRefuses) {
  const struct {
    const char* what;
    const char* name;
    unsigned flags;
    bool opens;
    fs::Failure failure;  // when it does not
    bool reachesFile;     // the handle is the file's
  } cases[] = {
      {"made new", "\xd0\xbd\xd0\xbe\xd0\xb2\xd1\x8b\xd0\xb9.txt", fs::kWrite | fs::kCreateNew,
       true, fs::Failure::Other, false},
      {"made new owner-only", "own \xf0\x9f\x98\x80", fs::kWrite | fs::kCreateNew | fs::kOwnerOnly,
       true, fs::Failure::Other, false},
      {"made new over a file", kFile, fs::kWrite | fs::kCreateNew, false, fs::Failure::Exists,
       false},
      {"missing", kMissing, fs::kRead, false, fs::Failure::Missing, false},
      {"file for reading", kFile, fs::kRead, true, fs::Failure::Other, true},
      {"second name for writing", kSecondName, fs::kRead | fs::kWrite, true, fs::Failure::Other,
       true},
      {"link followed", kLink, fs::kRead | fs::kFollow, true, fs::Failure::Other, true},
  };
  for (const auto& c : cases) {
    if (std::string(c.name) == kLink && !links_)
      continue;
    const fs::Handle file = fs::openAt(folder_, c.name, c.flags);
    ASSERT_EQ(c.opens, file != fs::kNoHandle) << c.what;
    if (!c.opens) {
      EXPECT_EQ(c.failure, fs::lastFailure()) << c.what;
      continue;
    }
    fs::Status status;
    EXPECT_TRUE(fs::statusOf(file, &status)) << c.what;
    EXPECT_EQ(c.reachesFile, status.identity == file_.identity) << c.what;
#ifndef _WIN32
    if (c.flags & fs::kOwnerOnly) {
      EXPECT_EQ(0600u, status.mode) << c.what;
    }
#endif
    EXPECT_TRUE(fs::closeHandle(file)) << c.what;
  }
  // A link is never followed unless asked: it fails, or opens the link itself.
  if (links_) {
    const fs::Handle link = fs::openAt(folder_, kLink, fs::kRead);
    fs::Status status;
    EXPECT_TRUE(link == fs::kNoHandle || (fs::statusOf(link, &status) &&
                                          !(status.identity == file_.identity)));
    fs::closeHandle(link);
  }
}

// The lock of a file is held by one handle at a time, and free again once
// that handle is closed; readers of the content never meet it.
TEST_F(FileSystem, LockHeldOnce) {
  const fs::Handle first = fs::openAt(folder_, kFile, fs::kRead);
  const fs::Handle second = fs::openAt(folder_, kSecondName, fs::kRead);
  ASSERT_NE(fs::kNoHandle, first);
  ASSERT_NE(fs::kNoHandle, second);
  const struct {
    const char* what;
    fs::Handle handle;
    bool closeFirst;
    bool locks;
  } steps[] = {
      {"first handle", first, false, true},
      {"second handle while the first holds", second, false, false},
      {"second handle once the first is closed", second, true, true},
  };
  for (const auto& s : steps) {
    if (s.closeFirst)
      fs::closeHandle(first);
    bool unsupported = false;
    EXPECT_EQ(s.locks, fs::tryLock(s.handle, &unsupported)) << s.what;
    EXPECT_FALSE(unsupported) << s.what;
    EXPECT_EQ(kContent, testsupport::readFile(dir_.file(kFile))) << s.what;
  }
  fs::closeHandle(second);
}

}  // namespace
