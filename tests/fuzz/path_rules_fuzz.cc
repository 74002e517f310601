// Fuzz target for the path rules of the file selection window (X-free).
//
// A walk through directories by button names from the input: every path
// the rules accept stays within the window's limit, joins and parents are
// what they say, and refusals always come with a message.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/path_rules.h"

namespace {

void Check(bool ok, const char* what, const std::string& a, const std::string& b) {
  if (ok) return;
  std::fprintf(stderr, "path_rules_fuzz: %s\n[%s]\n[%s]\n", what, a.c_str(), b.c_str());
  std::abort();
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void CheckJoinAndParent(const std::string& dir, const std::string& name) {
  const std::string joined = JoinPath(dir, name);
  Check(EndsWith(joined, name), "join loses the name", dir, name);
  if (dir == "/") {
    Check(joined == "/" + name, "join under the root", dir, name);
  } else {
    Check(joined == dir + "/" + name, "join is not dir/name", dir, name);
  }
  const std::string parent = ParentDirectory(dir);
  Check(!parent.empty(), "empty parent", dir, parent);
  Check(parent == "/" || (StartsWith(dir, parent) && parent.size() < dir.size() && dir[parent.size()] == '/'),
        "parent is not a leading part of the directory", dir, parent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string home_dir = in.ConsumeRandomLengthString(2048);
  const std::string home_env = in.ConsumeRandomLengthString(2048);
  std::string dir = StartDirectory(in.ConsumeBool() ? home_dir.c_str() : nullptr,
                                   in.ConsumeBool() ? home_env.c_str() : nullptr);
  Check(!dir.empty(), "empty start directory", home_dir, home_env);
  const std::size_t start_size = dir.size();

  while (in.remaining_bytes() > 0) {
    const int kind = in.ConsumeIntegralInRange<int>(0, 3);
    std::string name = kind == 0 ? ".." : in.ConsumeRandomLengthString(1500);
    std::string path, error;
    CheckJoinAndParent(dir, name);
    switch (kind) {
      case 0:
      case 1:
        if (DirectoryButtonPath(dir, name, &path, &error)) {
          Check(path.size() <= kMaxPathLength + 1, "a directory path past the limit", dir, path);
          if (name != "..") Check(path == JoinPath(dir, name), "directory button path", dir, path);
          dir = path;
        } else {
          Check(!error.empty(), "a refusal without a message", dir, name);
          Check(dir.size() > kMaxPathLength || dir.size() + name.size() > kMaxPathLength,
                "a path within the limit refused", dir, name);
        }
        break;
      case 2:
        if (FileButtonPath(dir, name, &path, &error)) {
          Check(path.size() <= kMaxPathLength + 1, "a file path past the limit", dir, path);
          Check(path == JoinPath(dir, name), "file button path", dir, path);
        } else {
          Check(!error.empty(), "a refusal without a message", dir, name);
        }
        break;
      case 3: {
        bool ok = CheckTypedPath(name, &error);
        Check(ok == (name.size() <= kMaxPathLength), "typed path limit", name, error);
        Check(ok || !error.empty(), "a refusal without a message", name, error);
        int width = PathFieldWidth(in.ConsumeIntegral<int>(), name.size() + in.ConsumeIntegral<std::size_t>());
        Check(width >= 1 && width <= 32767, "field width out of range", name, std::to_string(width));
        break;
      }
    }
    // Only the start directory, which comes from the user, may be longer.
    Check(dir.size() <= kMaxPathLength + 1 || dir.size() <= start_size, "walked past the limit", dir, name);
  }
  return 0;
}
