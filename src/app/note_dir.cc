#include "app/note_dir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>


bool FindHomeDirectory(std::string* home) {
  // An empty HOME names no directory: the password entry is asked instead.
  const char* env = std::getenv("HOME");
  if (env && *env) {
    *home = env;
    return true;
  }
  const passwd* pw = getpwuid(getuid());
  if (!pw || !pw->pw_dir || !*pw->pw_dir) return false;
  *home = pw->pw_dir;
  return true;
}

NoteDirOutcome EnsureNoteDirAt(const std::string& note_dir, bool home_known, const std::string& home,
                               FILE* out, FILE* err) {
  NoteDirOutcome result{note_dir, -1};
  if (note_dir.empty() || note_dir[0] != '/') {
    if (!home_known || home.empty()) {
      std::fputs("stikkel: who are you?\n", err);
      result.exit_status = 1;
      return result;
    }
    result.path = home + "/" + note_dir;
  }
  const char* path = result.path.c_str();
  struct stat st;
  if (stat(path, &st) == 0) {
    if (S_ISDIR(st.st_mode)) return result;
    std::fprintf(out, "%s is not a directory\n", path);
    std::fputs("Aborting.\n", out);
    std::fflush(out);
    result.exit_status = 255;
    return result;
  }
  int error = errno;
  switch (error) {
    case ENOENT:
      std::fprintf(out, "%s: no such file or directory\n", path);
      std::fputs("Trying to create.\n", out);
      if (mkdir(path, 0755) == 0) {
        std::fflush(out);
        return result;
      }
      std::fprintf(out, "Can't create %s\n; Aborting", path);
      break;
    case ENOTDIR:
      std::fprintf(out, "A portion of the pathname to %s", path);
      std::fputs(" is invalid\n", out);
      std::fputs("Aborting.\n", out);
      break;
    case EACCES:
      std::fputs("Search permission denied for portion of path", out);
      std::fprintf(out, " leading to %s\n", path);
      std::fputs("Aborting.\n", out);
      break;
    default:
      std::fprintf(out, "Unknown error (%d) while stat()'ing %s\n", error, path);
      break;
  }
  std::fflush(out);
  result.exit_status = 255;
  return result;
}

std::string EnsureNoteDir(const char* note_dir) {
  std::string home;
  bool home_known = true;
  if (note_dir == nullptr || note_dir[0] != '/') home_known = FindHomeDirectory(&home);
  NoteDirOutcome outcome = EnsureNoteDirAt(note_dir ? note_dir : "", home_known, home, stdout, stderr);
  if (outcome.exit_status >= 0) std::exit(outcome.exit_status);
  return outcome.path;
}
