#include "storage/file_identity.h"

#include <cerrno>
#include <cstring>


std::uint64_t ContentHash(std::string_view bytes) {
  // Eight bytes a step, each mixed in by a multiplication (FNV's prime) and
  // a rotation; the tail byte by byte. Fast enough to hash every file read.
  constexpr std::uint64_t kPrime = 0x100000001b3ULL;
  std::uint64_t h = 0xcbf29ce484222325ULL ^ bytes.size();
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    h = (h ^ w) * kPrime;
    h ^= h >> 29;
  }
  for (; i < bytes.size(); ++i) h = (h ^ static_cast<unsigned char>(bytes[i])) * kPrime;
  h ^= h >> 32;
  return h;
}

StoredFile IdentityOf(const struct stat& st, std::string_view bytes) {
  StoredFile id;
  id.known = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = static_cast<unsigned long long>(st.st_size);
  id.mtime_sec = st.st_mtim.tv_sec;
  id.mtime_nsec = st.st_mtim.tv_nsec;
  id.hash = ContentHash(bytes);
  return id;
}

bool SameFileState(const StoredFile& a, const StoredFile& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.mtime_sec == b.mtime_sec && a.mtime_nsec == b.mtime_nsec;
}

bool SameBytes(const StoredFile& a, const StoredFile& b) {
  return a.known && b.known && a.size == b.size && a.hash == b.hash;
}

