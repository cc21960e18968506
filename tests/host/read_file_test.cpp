// The one routine every file the host is given goes through: what each kind
// of path gives, read and only looked at, and the folders written into.
#include "host/files/read_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A bound small enough that a test file passes it in a few bytes.
constexpr FileKind kSmall{.name = "a test file", .max_bytes = 8};

class Files : public testing::Test {
 public:
  std::string at(const std::string& name) const {
    return (folder_ / name).string();
  }
  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(at(name), std::ios::binary) << bytes;
    return at(name);
  }

 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("read_file_") + info->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    folder_ = fs::temp_directory_path() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
};

struct InputCase {
  const char* name;
  // Makes the path in the test's folder (or names one elsewhere).
  std::function<std::string(Files&)> make;
  std::string bytes = {};         // what is read, when it reads
  const char* reason = nullptr;   // after "PATH: ", when refused
  bool readable_by_root = false;  // the case cannot be made as root
};

void PrintTo(const InputCase& c, std::ostream* out) { *out << c.name; }

const InputCase kInputs[] = {
    {.name = "regular_file",
     .make = [](Files& f) { return f.write("a.cfg", "[W]\n"); },
     .bytes = "[W]\n"},
    {.name = "at_the_bound",
     .make = [](Files& f) { return f.write("a.cfg", "12345678"); },
     .bytes = "12345678"},
    {.name = "empty_file",
     .make = [](Files& f) { return f.write("a.cfg", ""); },
     .bytes = ""},
    {.name = "nul_bytes_are_read",
     .make = [](Files& f) { return f.write("a.bin", std::string("a\0b", 3)); },
     .bytes = std::string("a\0b", 3)},
    {.name = "one_byte_over_the_bound",
     .make = [](Files& f) { return f.write("a.cfg", "123456789"); },
     .reason = "is larger than 8 bytes, more than a test file can be"},
    {.name = "folder",
     .make = [](Files& f) { return f.at(""); },
     .reason = "is a folder"},
    {.name = "missing",
     .make = [](Files& f) { return f.at("absent.cfg"); },
     .reason = "cannot be read (No such file or directory)"},
    {.name = "below_a_file",
     .make = [](Files& f) { return f.write("a.cfg", "x") + "/b.cfg"; },
     .reason = "cannot be read (Not a directory)"},
#ifndef _WIN32
    {.name = "unreadable",
     .make =
         [](Files& f) {
           const std::string path = f.write("a.cfg", "x");
           fs::permissions(path, fs::perms::none);
           return path;
         },
     .reason = "cannot be read (Permission denied)",
     .readable_by_root = true},
    {.name = "endless_device",
     .make = [](Files&) { return std::string("/dev/zero"); },
     .reason = "is not a regular file (a character device)"},
    {.name = "empty_device",
     .make = [](Files&) { return std::string("/dev/null"); },
     .reason = "is not a regular file (a character device)"},
    // Opening a pipe nobody writes to would wait for ever.
    {.name = "named_pipe",
     .make =
         [](Files& f) {
           mkfifo(f.at("pipe").c_str(), 0600);
           return f.at("pipe");
         },
     .reason = "is not a regular file (a named pipe)"},
#endif
};

class InputFile : public Files,
                  public testing::WithParamInterface<InputCase> {};

TEST_P(InputFile, IsReadOrRefusedWithItsReason) {
  const InputCase& c = GetParam();
#ifndef _WIN32
  if (c.readable_by_root && geteuid() == 0)
    GTEST_SKIP() << "root reads every file";
#endif
  const std::string path = c.make(*this);
  std::string text = "left over", error;
  const bool read = read_input_file(path, kSmall, text, error);
  std::vector<uint8_t> bytes = {1, 2, 3};
  std::string bytes_error;
  const bool read_bytes = read_input_file(path, kSmall, bytes, bytes_error);
  std::string check_error;
  const bool checked = check_input_file(path, kSmall, check_error);
  if (c.reason == nullptr) {
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(text, c.bytes);
    EXPECT_TRUE(read_bytes);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes);
    EXPECT_TRUE(checked) << check_error;
    return;
  }
  EXPECT_FALSE(read);
  EXPECT_EQ(error, path + ": " + c.reason);
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(read_bytes);
  EXPECT_EQ(bytes_error, error);
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(checked);
  EXPECT_EQ(check_error, error);
}

INSTANTIATE_TEST_SUITE_P(Files, InputFile, testing::ValuesIn(kInputs),
                         [](const auto& info) { return info.param.name; });

TEST_F(Files, KindsNameThemselvesAndTheirBounds) {
  const std::string big = write("big", std::string((1 << 20) + 1, ' '));
  std::string text, error;
  EXPECT_FALSE(read_input_file(big, kPanelFile, text, error));
  EXPECT_EQ(error, big +
                       ": is larger than 1048576 bytes, more than a panel "
                       "file can be");
  EXPECT_FALSE(read_input_file(big, kScriptFile, text, error));
  EXPECT_EQ(error, big +
                       ": is larger than 1048576 bytes, more than a script "
                       "can be");
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(read_input_file(big, kModuleFile, bytes, error)) << error;
  EXPECT_EQ(bytes.size(), (size_t(1) << 20) + 1);
}

struct FolderCase {
  const char* name;
  std::function<std::string(Files&)> make;
  // After "PATH: ", '@' standing for the test's folder; null when the path
  // may be written into.
  const char* reason = nullptr;
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

const FolderCase kFolders[] = {
    {.name = "to_be_made", .make = [](Files& f) { return f.at("out"); }},
    {.name = "existing_folder", .make = [](Files& f) { return f.at(""); }},
    {.name = "two_levels_to_make",
     .make = [](Files& f) { return f.at("new/out"); }},
    {.name = "relative", .make = [](Files&) { return std::string("sheets"); }},
    {.name = "file",
     .make = [](Files& f) { return f.write("out", "x"); },
     .reason = "is a file, not a folder"},
    {.name = "inside_a_file",
     .make = [](Files& f) { return f.write("out", "x") + "/new/sheets"; },
     .reason = "cannot be made, @/out is a file, not a folder"},
#ifndef _WIN32
    {.name = "device",
     .make = [](Files&) { return std::string("/dev/null"); },
     .reason = "is not a folder (a character device)"},
#endif
};

class OutputFolder : public Files,
                     public testing::WithParamInterface<FolderCase> {};

TEST_P(OutputFolder, IsTakenOrRefusedBeforeAnythingIsWritten) {
  const FolderCase& c = GetParam();
  const std::string path = c.make(*this);
  std::string error;
  const bool taken = check_output_folder(path, error);
  if (c.reason == nullptr) {
    EXPECT_TRUE(taken) << error;
  } else {
    std::string reason = c.reason;
    if (const size_t mark = reason.find('@'); mark != std::string::npos)
      reason.replace(mark, 1, folder_.string());
    EXPECT_FALSE(taken);
    EXPECT_EQ(error, path + ": " + reason);
  }
  // Nothing made either way.
  EXPECT_FALSE(fs::exists(at("new")));
}

INSTANTIATE_TEST_SUITE_P(Files, OutputFolder, testing::ValuesIn(kFolders),
                         [](const auto& info) { return info.param.name; });

}  // namespace
