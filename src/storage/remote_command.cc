#include "storage/remote_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "storage/file_io.h"

namespace {

constexpr std::string_view kMagic = "stikkel-request 1\n";
constexpr std::size_t kKeyBytes = 16;

struct CommandName {
  RemoteCommand command;
  const char* word;
};

constexpr CommandName kCommands[] = {
    {RemoteCommand::kRaise, "-raise"},
    {RemoteCommand::kNew, "-new"},
    {RemoteCommand::kToggle, "-toggle"},
    {RemoteCommand::kQuit, "-quit"},
};

// Takes the line up to the next newline from *rest; false when there is none.
bool TakeLine(std::string_view* rest, std::string_view* line) {
  std::size_t end = rest->find('\n');
  if (end == std::string_view::npos) return false;
  *line = rest->substr(0, end);
  rest->remove_prefix(end + 1);
  return true;
}

bool TakeField(std::string_view* rest, std::string_view name, std::string_view* value) {
  std::string_view line;
  if (!TakeLine(rest, &line) || line.substr(0, name.size() + 1) != std::string(name) + " ") return false;
  *value = line.substr(name.size() + 1);
  return true;
}

bool IsKey(std::string_view key) {
  if (key.size() != 2 * kKeyBytes) return false;
  for (char c : key)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace

const char* RemoteCommandOption(RemoteCommand command) {
  for (const CommandName& c : kCommands)
    if (c.command == command) return c.word;
  return "";
}

std::string EncodeRequest(const RemoteRequest& request) {
  std::string out(kMagic);
  out += "key " + request.key + "\n";
  out += std::string("command ") + RemoteCommandOption(request.command) + "\n";
  if (request.has_text) out += "text\n" + request.text;
  return out;
}

bool DecodeRequest(std::string_view bytes, RemoteRequest* request) {
  if (bytes.substr(0, kMagic.size()) != kMagic) return false;
  std::string_view rest = bytes.substr(kMagic.size());
  std::string_view key, word;
  if (!TakeField(&rest, "key", &key) || !IsKey(key) || !TakeField(&rest, "command", &word)) return false;
  RemoteRequest r;
  for (const CommandName& c : kCommands)
    if (word == c.word) r.command = c.command;
  if (r.command == RemoteCommand::kNone) return false;
  r.key = std::string(key);
  if (!rest.empty()) {
    std::string_view line;
    if (r.command != RemoteCommand::kNew || !TakeLine(&rest, &line) || line != "text") return false;
    r.has_text = true;
    r.text = std::string(rest);
  }
  *request = std::move(r);
  return true;
}

bool KeysMatch(std::string_view a, std::string_view b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  return diff == 0;
}

std::string CommandKeyDirectory() {
  const char* run = std::getenv("XDG_RUNTIME_DIR");
  if (run && run[0] == '/') return run;
  return "/tmp/stikkel-" + std::to_string(getuid());
}

std::string CommandKeyPath(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return CommandKeyDirectory() + "/stikkel-key-of-a-missing-directory";
  char name[64];
  std::snprintf(name, sizeof name, "/stikkel-key-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  return CommandKeyDirectory() + name;
}

namespace {

// The directory of the keys, made when missing. Under /tmp it must be this
// user's alone, or another user could read the key written into it.
bool PrivateKeyDirectory(std::string* err) {
  const std::string keys = CommandKeyDirectory();
  if (mkdir(keys.c_str(), 0700) != 0 && errno != EEXIST) {
    *err = keys + ": " + std::strerror(errno);
    return false;
  }
  struct stat st;
  if (lstat(keys.c_str(), &st) != 0) {
    *err = keys + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0) {
    *err = keys + ": not a directory of this user alone";
    return false;
  }
  return true;
}

}  // namespace

bool WriteCommandKey(const std::string& dir, std::string* key, std::string* err) {
  unsigned char random[kKeyBytes];
  std::size_t got = 0;
  while (got < kKeyBytes) {
    ssize_t n = getrandom(random + got, kKeyBytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *err = std::string("getrandom: ") + std::strerror(errno);
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  std::string hex;
  for (unsigned char c : random) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", c);
    hex += two;
  }
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) {
    *err = dir + ": " + std::strerror(errno);
    return false;
  }
  if (!PrivateKeyDirectory(err)) return false;
  std::string path = CommandKeyPath(dir);
  std::string temp = path + "." + std::to_string(getpid());
  unlink(temp.c_str());
  FileDescriptor fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  std::string line = hex + "\n";
  if (!fd.valid() || write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
      fsync(fd.get()) != 0) {
    *err = temp + ": " + std::strerror(errno);
    if (fd.valid()) unlink(temp.c_str());
    return false;
  }
  fd = FileDescriptor();
  if (rename(temp.c_str(), path.c_str()) != 0) {
    *err = temp + "-" + path + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  *key = hex;
  return true;
}

bool ReadCommandKey(const std::string& dir, std::string* key, std::string* err) {
  std::string path = CommandKeyPath(dir);
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) {
    *err = path + ": " + std::strerror(errno);
    return false;
  }
  char buf[2 * kKeyBytes + 2];
  ssize_t n = read(fd.get(), buf, sizeof buf);
  std::string_view text(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
  if (n < 0) {
    *err = path + ": " + std::strerror(errno);
    return false;
  }
  if (text.size() != 2 * kKeyBytes + 1 || text.back() != '\n' || !IsKey(text.substr(0, 2 * kKeyBytes))) {
    *err = path + ": holds no key";
    return false;
  }
  *key = std::string(text.substr(0, 2 * kKeyBytes));
  return true;
}

void RemoveCommandKey(const std::string& dir) { unlink(CommandKeyPath(dir).c_str()); }
