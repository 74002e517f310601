// Saves that fail: a full disk (a small tmpfs), a file size limit, a note
// file that a directory has replaced, a note directory that cannot be
// written. The old file stays byte for byte, the user is told, Save stays
// sensitive, and the next save once the fault is gone succeeds.
#include <gtest/gtest.h>

#include <X11/StringDefs.h>
#include <dirent.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "storage/note_file.h"
#include "notes/note_saving.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

// Each save's temporary has a random part: "sk1.<pid>.XXXXXX" stands for
// any of them.
std::string AnyTemporary(const std::string& text) {
  // Hand-written rather than std::regex: GCC 12 warns inside <regex> at -O2.
  static const std::string kStem = "sk1.";
  std::string out;
  size_t at = 0;
  for (size_t hit; (hit = text.find(kStem, at)) != std::string::npos;) {
    size_t digits = hit + kStem.size();
    size_t end = digits;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    size_t tail = end + 1;
    bool random = end > digits && end < text.size() && text[end] == '.' && tail + 6 <= text.size();
    for (size_t i = tail; random && i < tail + 6; ++i) random = std::isalnum(static_cast<unsigned char>(text[i]));
    if (!random) {
      out.append(text, at, digits - at);
      at = digits;
      continue;
    }
    out.append(text, at, tail - at);
    out += "XXXXXX";
    at = tail + 6;
  }
  out.append(text, at, std::string::npos);
  return out;
}

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) out.insert(AnyTemporary(e->d_name));
    closedir(d);
  }
  return out;
}

std::string ErrorMessage() {
  std::vector<Widget> popups = PopupsNamed("ErrorShell");
  if (popups.empty()) return "";
  Widget dialog = XtNameToWidget(popups.back(), "errorDialog");
  return dialog ? AnyTemporary(LabelOf(dialog)) : "";
}

// Mounts are made in a mount namespace of this process's own, so nothing
// is left mounted on the machine whatever happens to the test.
bool PrivateMounts() {
  static const bool ok = unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return ok;
}

class SmallTmpfs {
 public:
  SmallTmpfs(const std::string& path, const char* size) : path_(path) {
    mkdir(path.c_str(), 0755);
    mounted_ = PrivateMounts() && mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool Resize(const char* size) {
    return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT, (std::string("size=") + size).c_str()) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

// One way of making a save fail, and of taking the fault away again.
struct Fault {
  std::function<bool()> make;  // false: this machine cannot make it (skip)
  std::function<void()> clear;
  std::function<std::string()> expected_stderr;
  bool popup;                     // the failure also shows an error popup
  std::string popup_text;         // a part of its message
  // The files in the note directory after the failed save and clear().
  std::set<std::string> entries{"note1"};
};

class SaveFaults : public testing::Test {
 protected:
  void SetUp() override {
    note_dir_ = dir_ / "notes";
    mkdir(note_dir_.c_str(), 0755);
  }
  void TearDown() override {
    DestroyPopupsNamed("ErrorShell");
  }

  std::string Temp() const { return note_dir_ + "/sk1." + std::to_string(getpid()) + ".XXXXXX"; }
  std::string Path() const { return note_dir_ + "/note1"; }

  // A loaded note (file note1 with old contents) whose window now holds an
  // edit of `size` bytes.
  Note* EditedNote(std::size_t size) {
    UseNoteSettings(note_dir_, size + 1024);
    Note old;
    old.x = old.y = 100;
    old.width = 227;
    old.height = 169;
    old.name = "Old";
    old.text = "old text\n";
    old_bytes_ = FormatNoteFile(old, {program.screen_width, 0});
    WriteFile(Path(), old_bytes_);
    Note* note = Notes().NewNote(1);
    note->file_path = Path();
    note->name = "Old";
    note->x = note->y = 100;
    note->width = 227;
    note->height = 169;
    note->has_geometry = true;
    note->text = old.text;
    CreateNoteWindow(note);
    Pump();
    new_text_ = std::string(size, 'n');
    for (std::size_t i = 0; i < size; i += 64) new_text_[i] = '\n';
    EXPECT_TRUE(WindowOf(note)->Insert(0, std::string_view(new_text_.data(), new_text_.size())));
    new_text_ += old.text;
    Pump();
    EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save")));
    return note;
  }

  void Save(Note* note) { SaveNote(note); }

  // Saves under the fault, then again once it is gone.
  void FailThenRecover(const Fault& fault, std::size_t size) {
    Note* note = EditedNote(size);
    if (!fault.make()) GTEST_SKIP() << "this machine cannot make the fault";
    testing::internal::CaptureStderr();
    Save(note);
    Pump();
    fault.clear();
    std::string err = AnyTemporary(testing::internal::GetCapturedStderr());

    EXPECT_EQ(err, fault.expected_stderr());
    EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save"))) << "a failed save must leave Save sensitive";
    EXPECT_TRUE(note->changed());
    EXPECT_EQ(PopupsNamed("ErrorShell").size(), fault.popup ? 1u : 0u);
    if (fault.popup) {
      EXPECT_NE(ErrorMessage().find(fault.popup_text), std::string::npos) << ErrorMessage();
    }
    struct stat st;
    if (lstat(Path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      EXPECT_EQ(ReadFile(Path()), old_bytes_) << "the old note file must stay as it was";
    }
    EXPECT_EQ(Entries(note_dir_), fault.entries);
    DestroyPopupsNamed("ErrorShell");

    testing::internal::CaptureStderr();
    Save(note);
    Pump();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(PopupsNamed("ErrorShell").empty()) << ErrorMessage();
    EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
    Note back;
    NoteFileReadOptions options;
    options.screen = {program.screen_width, program.screen_height};
    ASSERT_TRUE(ReadNoteFile(ReadFile(Path()), options, &back));
    EXPECT_EQ(back.text, new_text_);
    EXPECT_EQ(back.name, "Old");
    EXPECT_EQ(Entries(note_dir_), std::set<std::string>{"note1"});
  }

  TempDir dir_;
  std::string note_dir_;
  std::string old_bytes_;
  std::string new_text_;
  ProgramStateGuard program_state_;
};

TEST_F(SaveFaults, FullDisk) {
  SmallTmpfs fs(note_dir_, "64k");
  Fault fault;
  fault.make = [&] { return fs.mounted(); };
  fault.clear = [&] { ASSERT_TRUE(fs.Resize("1m")); };
  fault.expected_stderr = [&] { return "stikkel: " + Temp() + ": No space left on device\n"; };
  fault.popup = true;
  fault.popup_text = "Save of note failed";
  FailThenRecover(fault, 100 * 1024);
}

TEST_F(SaveFaults, FileSizeLimit) {
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  Fault fault;
  fault.make = [&] {
    rlimit small = saved;
    small.rlim_cur = 4096;
    return setrlimit(RLIMIT_FSIZE, &small) == 0;
  };
  fault.clear = [&] { setrlimit(RLIMIT_FSIZE, &saved); };
  fault.expected_stderr = [&] { return "stikkel: " + Temp() + ": " + std::strerror(EFBIG) + "\n"; };
  fault.popup = true;
  fault.popup_text = "Save of note failed";
  FailThenRecover(fault, 8192);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
}

TEST_F(SaveFaults, NoteFileReplacedByADirectory) {
  Fault fault;
  fault.make = [&] {
    unlink(Path().c_str());
    mkdir(Path().c_str(), 0755);
    WriteFile(Path() + "/keep", "x");
    return true;
  };
  fault.clear = [&] {
    unlink((Path() + "/keep").c_str());
    rmdir(Path().c_str());
  };
  fault.expected_stderr = [&] { return "stikkel: " + Temp() + "-" + Path() + ": " + std::strerror(EISDIR) + "\n"; };
  fault.popup = true;
  fault.popup_text = "Couldn't rename " + Temp() + "\nto " + Path() + ".\nSave of note failed.";
  // The new contents stay in the temporary file, and in the note's
  // recovery file, which the save brought up to date first.
  fault.entries = {"sk1." + std::to_string(getpid()) + ".XXXXXX", ".recovery"};
  FailThenRecover(fault, 100);
}

// A note directory that cannot be written is told in a popup too.
TEST_F(SaveFaults, NoteDirectoryNotWritable) {
  const bool root = geteuid() == 0;
  Fault fault;
  fault.make = [&] {
    chmod(note_dir_.c_str(), 0555);
    // The superuser writes anywhere: drop to nobody for the save.
    return !root || seteuid(65534) == 0;
  };
  fault.clear = [&] {
    if (root) {
      ASSERT_EQ(seteuid(0), 0);
    }
    chmod(note_dir_.c_str(), 0755);
  };
  fault.expected_stderr = [&] { return "stikkel: " + Temp() + ": " + std::strerror(EACCES) + "\n"; };
  fault.popup = true;
  fault.popup_text = "Couldn't create " + Temp() + ":\n" + std::strerror(EACCES) + "\nSave of note failed.";
  FailThenRecover(fault, 100);
}

// A new note's first save on a full disk leaves no file behind, and the
// next save gives it its file.
TEST_F(SaveFaults, NewNoteOnAFullDisk) {
  SmallTmpfs fs(note_dir_, "64k");
  if (!fs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  UseNoteSettings(note_dir_, 200 * 1024);
  Note* note = Notes().NewNote(-1);
  note->width = 227;
  note->height = 169;
  CreateNoteWindow(note);
  Pump();
  std::string text(100 * 1024, 'x');
  ASSERT_TRUE(WindowOf(note)->Insert(0, std::string_view(text.data(), text.size())));
  testing::internal::CaptureStderr();
  Save(note);
  Pump();
  EXPECT_EQ(AnyTemporary(testing::internal::GetCapturedStderr()), "stikkel: " + Temp() + ": No space left on device\n");
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(PopupsNamed("ErrorShell").size(), 1u);
  EXPECT_TRUE(Entries(note_dir_).empty());
  DestroyPopupsNamed("ErrorShell");

  ASSERT_TRUE(fs.Resize("1m"));
  Save(note);
  Pump();
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(Entries(note_dir_), std::set<std::string>{"note" + std::to_string(note->id)});
}

}  // namespace
