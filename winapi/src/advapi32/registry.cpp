// The registry: HKEY_CURRENT_USER kept in one file, shared by every process as
// Windows' registry is: read on first use after a reset and again whenever
// another process changed it, and changed by read-modify-write under a lock,
// each change replacing the file atomically. HKEY_LOCAL_MACHINE and
// HKEY_CLASSES_ROOT are kept in memory only, for the life of the desktop.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "advapi32/hive.h"
#include "core/handles.h"
#include "core/platform.h"
#include "windows.h"

#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

namespace vd {
namespace {

constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kMaximumAllowed = 0x02000000;

struct Hive {
  RegKey root;
  bool persistent = false;
};

// What a key handle refers to: its hive and the folded names down to it. The
// hive of HKEY_CURRENT_USER is read again whenever another process changed its
// file, so a handle finds its key by name each time it is used.
struct OpenKey {
  Hive *hive = nullptr;
  std::vector<std::string> path;
  REGSAM access = 0;
  int depth() const { return int(path.size()); }
};

// One version of a file: a replace gives a new inode, a change in place a new
// size or time. `error` is the errno of a file that could not be looked at.
struct FileStamp {
  bool exists = false;
  int error = 0;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};
};

bool SameTime(const timespec &a, const timespec &b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool SameStamp(const FileStamp &a, const FileStamp &b) {
  return a.exists == b.exists && a.error == b.error && a.device == b.device && a.inode == b.inode &&
         a.size == b.size && SameTime(a.modified, b.modified) && SameTime(a.changed, b.changed);
}

FileStamp StampOf(const struct stat &st) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modified = st.st_mtim;
  stamp.changed = st.st_ctim;
  return stamp;
}

FileStamp StampOfPath(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return StampOf(st);
  FileStamp stamp;
  stamp.exists = errno != ENOENT;
  stamp.error = errno == ENOENT ? 0 : errno;
  return stamp;
}

struct RegistryState {
  bool pathResolved = false;
  std::string path;
  bool loaded = false;
  std::string problem;
  bool keepDamagedCopy = false;  // the file on disk is damaged and not yet replaced
  bool unreadable = false;       // the file exists but could not be read: never replace it
  bool failNextRename = false;
  std::string writeProblem;  // why the last write of the file failed; empty after a good one
  FileStamp stamp;           // the version of the file that the hive holds
  std::string bytes;         // and its bytes, for a change within the clock's resolution
  std::function<void(const std::string &)> writeFailed;
  Hive currentUser;
  Hive localMachine;
  Hive classesRoot;
  HandleTable<OpenKey> handles{0x7000, 0x10000};
};

RegistryState &State() {
  static RegistryState state;
  return state;
}

void ResetRegistry() {
  RegistryState &s = State();
  s.pathResolved = false;
  s.path.clear();
  s.loaded = false;
  s.problem.clear();
  s.keepDamagedCopy = false;
  s.unreadable = false;
  s.failNextRename = false;
  s.writeProblem.clear();
  s.stamp = FileStamp();
  s.bytes.clear();
  s.writeFailed = nullptr;
  s.currentUser = Hive();
  s.currentUser.persistent = true;
  s.localMachine = Hive();
  s.classesRoot = Hive();
  s.handles.Clear();  // keeps counting, so handles of the previous desktop stay stale
}

ResetHook registryReset(60, ResetRegistry);

// ---------------------------------------------------------------- the file

std::string EnvironmentValue(const char *name) {
  const char *value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string ResolvePath() {
  const Config &config = CurrentConfig();
  if (!config.registryPath.empty()) return config.registryPath;
  std::string explicitPath = EnvironmentValue("MIVORA_REGISTRY");
  if (!explicitPath.empty()) return explicitPath;
  std::string dataHome = EnvironmentValue("XDG_DATA_HOME");
  if (dataHome.empty() || dataHome[0] != '/') {  // relative values are to be ignored
    std::string home = EnvironmentValue("HOME");
    if (home.empty()) {
      if (const passwd *pw = getpwuid(getuid())) home = pw->pw_dir ? pw->pw_dir : "";
    }
    if (home.empty()) return std::string();
    dataHome = home + "/.local/share";
  }
  return dataHome + "/mivora/registry.hkcu";
}

const std::string &Path() {
  RegistryState &s = State();
  if (!s.pathResolved) {
    s.path = ResolvePath();
    s.pathResolved = true;
  }
  return s.path;
}

void ReportProblem(const std::string &sentence) {
  State().problem = sentence;
  std::fprintf(stderr, "mivora: %s\n", sentence.c_str());
}

void ReportDamaged(const std::string &path, const std::string &why) {
  ReportProblem("The registry file " + path + " " + why +
                "; it was read as an empty registry and is left as it is until the next change "
                "replaces it.");
}

// Reads the file into the hive. A missing file is an empty hive. A damaged
// file is an empty hive and a report; the next change replaces it. A file
// that exists but cannot be read is an empty hive and a report too, but it is
// never replaced: what it holds may be sound.
void LoadCurrentUser() {
  RegistryState &s = State();
  const std::string &path = Path();
  s.currentUser.root = RegKey();
  s.problem.clear();
  s.keepDamagedCopy = false;
  s.unreadable = false;
  s.stamp = FileStamp();
  s.bytes.clear();
  if (path.empty()) return;

  // O_NONBLOCK: a FIFO in the file's place must not hang the desktop.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    s.stamp = StampOfPath(path);
    if (errno != ENOENT) {
      s.unreadable = true;
      ReportProblem("The registry file " + path + " cannot be read (" + std::strerror(errno) +
                    "); the registry starts empty and changes are not saved.");
    }
    return;
  }
  struct stat st;
  std::string why;
  std::string bytes;
  int readError = 0;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    readError = EINVAL;
    why = "is not a regular file";
  } else if (uint64_t(st.st_size) > kMaxHiveFileSize + kHiveHeaderSize) {
    why = "is too large to be a registry file (" + std::to_string(uint64_t(st.st_size)) + " bytes)";
  } else {
    bytes.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = read(fd, &bytes[got], bytes.size() - got);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n < 0) {
        readError = errno;
        why = std::string("cannot be read (") + std::strerror(errno) + ")";
        break;
      }
      if (n == 0) break;  // the file shrank: the parser sees what arrived
      got += size_t(n);
    }
    bytes.resize(got);
  }
  // The stamp of what was read, taken after the read: a change during it shows as a new stamp.
  s.stamp = fstat(fd, &st) == 0 ? StampOf(st) : StampOfPath(path);
  close(fd);
  s.bytes = bytes;

  if (readError) {
    s.unreadable = true;
    ReportProblem("The registry file " + path + " " + why +
                  "; the registry starts empty and changes are not saved.");
    return;
  }
  if (why.empty() && DecodeHive(bytes, s.currentUser.root, why)) return;
  s.currentUser.root = RegKey();
  s.keepDamagedCopy = true;
  ReportDamaged(path, why);
}


bool WriteAll(int fd, const std::string &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

void SyncDirectory(const std::string &dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

std::string FolderOf(const std::string &path) {
  std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? std::string(".") : dir;
}

// The file a path names, its symbolic links followed, so that a hive reached
// through a link is replaced where the link points (the link stays a link).
// Empty when the links go round in a loop.
std::string FollowLinks(const std::string &path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::vector<char> buffer(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = readlink(at.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || size_t(n) >= buffer.size()) return std::string();
    std::string target(buffer.data(), size_t(n));
    at = target[0] == '/' ? target : FolderOf(at) + "/" + target;
  }
  return std::string();
}

// Writes `bytes` to `path` whole or not at all: a temporary file of this
// writer's own beside it, flushed to disk, then renamed over it. Whoever reads
// `path` meanwhile sees the old file or the new one, never a part. On failure
// `why` says what went wrong.
bool ReplaceFile(const std::string &path, const std::string &bytes, std::string &why,
                 bool crashBeforeRename = false) {
  std::string temporary = path + ".tmp-XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    why = "cannot make a file beside " + path + " (" + std::strerror(errno) + ")";
    return false;
  }
  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlink(temporary.c_str());  // a full disk leaves no part of the file behind
    why = "cannot write " + path + " (" + std::strerror(error) + ")";
    return false;
  }
  if (crashBeforeRename) {  // as if the process died here: the temporary file stays behind
    why = "the write of " + path + " stopped before its rename";
    return false;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    unlink(temporary.c_str());
    why = "cannot replace " + path + " (" + std::strerror(error) + ")";
    return false;
  }
  SyncDirectory(FolderOf(path));
  return true;
}

// Whole bytes of a regular file; false when it is missing or cannot be read.
bool ReadWholeFile(const std::string &path, std::string &bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  bytes.clear();
  char chunk[65536];
  while (ok) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes.append(chunk, size_t(n));
  }
  close(fd);
  return ok;
}

// Serializes the writers of one hive, in this process and in others, with an
// advisory lock on a file beside it. Readers need no lock: every replace is a
// rename. A writer that holds the lock for longer than a save can take (a
// stopped process) makes the save fail rather than hang the desktop.
class HiveLock {
 public:
  // A reader does not make the lock file: without one there is no writer to wait for.
  explicit HiveLock(const std::string &hive, bool create = true) {
    std::string path = hive + ".lock";
    if (create) fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);  // another user's lock file
    if (fd_ < 0) {
      why_ = "cannot open the lock file " + path + " (" + std::strerror(errno) + ")";
      return;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto pause = std::chrono::microseconds(100);
    while (true) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) {
        why_ = "cannot lock " + path + " (" + std::strerror(errno) + ")";
        return;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        why_ = "another writer has held " + path + " for over 10 seconds";
        return;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
  }
  ~HiveLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  HiveLock(const HiveLock &) = delete;
  HiveLock &operator=(const HiveLock &) = delete;
  bool held() const { return held_; }
  const std::string &why() const { return why_; }

 private:
  int fd_ = -1;
  bool held_ = false;
  std::string why_;
};

// Damaged copies are "<file>.damaged" and then "<file>.damaged.2", ".3", ...:
// every damaged file is kept, up to kMaxDamagedCopies, the oldest removed first.
constexpr int kMaxDamagedCopies = 10;

// The number of a damaged copy's name (1 for "<name>.damaged"), or 0 when the
// entry is not one.
long DamagedCopyNumber(const std::string &name, const std::string &entry) {
  std::string base = name + ".damaged";
  if (entry == base) return 1;
  if (entry.size() <= base.size() + 1 || entry.compare(0, base.size() + 1, base + ".") != 0) return 0;
  std::string digits = entry.substr(base.size() + 1);
  if (digits.size() > 9 || digits[0] == '0' || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stol(digits);
}

// The damaged copies beside the hive that are files, by number.
std::map<long, std::string> DamagedCopies(const std::string &hive) {
  namespace fs = std::filesystem;
  std::map<long, std::string> copies;
  std::string name = fs::path(hive).filename().string();
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(hive), ec), end; !ec && it != end; it.increment(ec)) {
    long number = DamagedCopyNumber(name, it->path().filename().string());
    std::error_code typeError;
    if (number > 0 && it->is_regular_file(typeError)) copies[number] = it->path().string();
  }
  return copies;
}

std::string DamagedCopyName(const std::string &hive, long number) {
  return number == 1 ? hive + ".damaged" : hive + ".damaged." + std::to_string(number);
}

// Temporary files of writers that died before their rename. Only a writer
// that holds the lock removes them: no other writer can be writing one then.
void RemoveStaleTemporaries(const std::string &hive) {
  namespace fs = std::filesystem;
  std::string name = fs::path(hive).filename().string();
  auto isTemporary = [&name](const std::string &entry) {
    // "<file>.tmp", or "<x>.tmp-XXXXXX" where <x> is the file or one of its damaged copies.
    if (entry == name + ".tmp") return true;
    if (entry.size() < 11 || entry.compare(entry.size() - 11, 5, ".tmp-") != 0) return false;
    std::string of = entry.substr(0, entry.size() - 11);
    return of == name || DamagedCopyNumber(name, of) > 0;
  };
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(hive), ec), end; !ec && it != end; it.increment(ec)) {
    if (isTemporary(it->path().filename().string())) unlink(it->path().c_str());
  }
}

// Copies a damaged file aside under the next free number, then removes the
// oldest copies past the bound. False, with `why`, when the copy cannot be made.
bool KeepDamagedCopy(const std::string &hive, const std::string &bytes, std::string &why) {
  std::map<long, std::string> copies = DamagedCopies(hive);
  long number = copies.empty() ? 1 : copies.rbegin()->first + 1;
  std::string copy = DamagedCopyName(hive, number);
  if (!ReplaceFile(copy, bytes, why)) return false;
  copies[number] = copy;
  while (copies.size() > size_t(kMaxDamagedCopies)) {
    unlink(copies.begin()->second.c_str());
    copies.erase(copies.begin());
  }
  return true;
}

// A file its owner made read-only is kept as it is, though the folder would
// let a rename replace it. (Write permission is what a user removes; root
// would pass access(), so the mode's bits decide too.)
bool IsReadOnlyFile(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0;
}

// Whether the file on disk is still the version the hive holds. Within the
// clock's resolution a stamp can repeat (an inode reused, the same size, the
// same coarse time): then the bytes decide.
bool FileUnchanged() {
  RegistryState &s = State();
  FileStamp now = StampOfPath(Path());
  if (!SameStamp(now, s.stamp)) return false;
  if (!now.exists || now.error) return true;
  timespec clock{};
  clock_gettime(CLOCK_REALTIME, &clock);
  if (clock.tv_sec - now.changed.tv_sec > 2) return true;
  std::string bytes;
  return ReadWholeFile(Path(), bytes) && bytes == s.bytes;
}

// Reads the file again when another process changed it since it was read, so
// that a query sees what was last written by anyone. The read is made under
// the writers' lock when there is one.
void Refresh() {
  RegistryState &s = State();
  if (!s.loaded) {
    s.loaded = true;
    LoadCurrentUser();
    return;
  }
  if (Path().empty() || FileUnchanged()) return;
  std::string target = FollowLinks(Path());
  if (target.empty()) {
    LoadCurrentUser();
    return;
  }
  HiveLock lock(target, false);
  LoadCurrentUser();
}

RegKey CloneKey(const RegKey &key);

// Makes a change to HKEY_CURRENT_USER and writes the file: under the lock,
// applied to the file as it is now, so that a change never takes away what
// another process wrote meanwhile. `change` works on a copy of the tree; the
// hive takes the copy only once the file holds it. ERROR_CANTWRITE, with
// writeProblem saying why, when the file could not be written.
LSTATUS ChangeCurrentUser(const std::function<LSTATUS(RegKey &)> &change) {
  namespace fs = std::filesystem;
  RegistryState &s = State();
  auto fail = [&s](const std::string &why) {
    s.writeProblem = why;
    return LSTATUS(ERROR_CANTWRITE);
  };
  if (Path().empty()) return fail("no registry file is set (no HOME)");
  std::string target = FollowLinks(Path());
  if (target.empty()) return fail("the symbolic links at " + Path() + " go round in a loop");
  if (IsReadOnlyFile(target)) return fail("the registry file " + target + " is read-only, so it is kept as it is");

  std::error_code ec;
  fs::create_directories(FolderOf(target), ec);
  HiveLock lock(target);
  if (!lock.held()) return fail(lock.why());
  if (!FileUnchanged()) LoadCurrentUser();
  if (s.unreadable) return fail("the registry file " + Path() + " could not be read, so it is not replaced");
  RemoveStaleTemporaries(target);

  RegKey changed = CloneKey(s.currentUser.root);
  if (LSTATUS status = change(changed)) return status;
  std::string bytes;
  if (!EncodeHive(changed, bytes)) return fail("the registry is too large for its file");

  std::string why, damaged;
  if (s.keepDamagedCopy && ReadWholeFile(target, damaged) && !KeepDamagedCopy(target, damaged, why))
    return fail("the damaged registry file is kept until a copy of it can be made: " + why);

  bool crash = s.failNextRename;
  s.failNextRename = false;
  if (!ReplaceFile(target, bytes, why, crash)) return fail(why);
  s.currentUser.root = std::move(changed);
  s.keepDamagedCopy = false;
  s.writeProblem.clear();
  s.stamp = StampOfPath(Path());
  s.bytes = std::move(bytes);
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- keys and handles

RegKey CloneKey(const RegKey &key) {
  RegKey copy;
  copy.name = key.name;
  copy.values = key.values;
  for (const auto &entry : key.subkeys) copy.subkeys.emplace(entry.first, std::make_unique<RegKey>(CloneKey(*entry.second)));
  return copy;
}

bool IsPredefined(HKEY key, HKEY predefined) {
  return reinterpret_cast<uintptr_t>(key) == reinterpret_cast<uintptr_t>(predefined);
}

Hive *PredefinedHive(HKEY key) {
  RegistryState &s = State();
  if (IsPredefined(key, HKEY_CURRENT_USER)) return &s.currentUser;
  if (IsPredefined(key, HKEY_LOCAL_MACHINE)) return &s.localMachine;
  if (IsPredefined(key, HKEY_CLASSES_ROOT)) return &s.classesRoot;
  return nullptr;
}

// The key a handle stands for, or false when the handle is not live. The hive
// of the current user is brought up to date with its file first.
bool Resolve(HKEY key, OpenKey &out) {
  if (Hive *hive = PredefinedHive(key)) {
    out = OpenKey{hive, {}, KEY_ALL_ACCESS};
  } else if (OpenKey *open = State().handles.Find(key)) {
    out = *open;
  } else {
    return false;
  }
  if (out.hive->persistent) Refresh();
  return true;
}

// The key at the folded names below `root`, or null when one is missing.
RegKey *KeyAt(RegKey &root, const std::vector<std::string> &path) {
  RegKey *at = &root;
  for (const std::string &name : path) {
    auto it = at->subkeys.find(name);
    if (it == at->subkeys.end()) return nullptr;
    at = it->second.get();
  }
  return at;
}

REGSAM MapAccess(REGSAM access) {
  if (access & (kGenericAll | kMaximumAllowed)) access |= KEY_ALL_ACCESS;
  if (access & kGenericRead) access |= KEY_READ;
  if (access & kGenericWrite) access |= KEY_WRITE;
  return access & KEY_ALL_ACCESS;
}

HKEY NewHandle(const OpenKey &base, const std::vector<std::string> &names, REGSAM access) {
  OpenKey open{base.hive, base.path, MapAccess(access)};
  for (const std::string &name : names) open.path.push_back(FoldName(name));
  uintptr_t handle = State().handles.Add(std::make_unique<OpenKey>(std::move(open)));
  return reinterpret_cast<HKEY>(handle);
}

// Splits "A\B\C" into its names. Trailing backslashes are allowed, a leading
// one is not (as on Windows NT).
LSTATUS SplitPath(LPCSTR subKey, std::vector<std::string> &names) {
  names.clear();
  if (!subKey || !*subKey) return ERROR_SUCCESS;
  if (subKey[0] == '\\') return ERROR_BAD_PATHNAME;
  std::string_view rest(subKey);
  while (!rest.empty()) {
    size_t cut = rest.find('\\');
    std::string_view name = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    if (name.empty()) {
      if (rest.find_first_not_of('\\') != std::string_view::npos) return ERROR_BAD_PATHNAME;
      break;
    }
    if (name.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    names.emplace_back(name);
  }
  return ERROR_SUCCESS;
}

RegKey *FindSubkey(RegKey *key, const std::string &name) {
  auto it = key->subkeys.find(FoldName(name));
  return it == key->subkeys.end() ? nullptr : it->second.get();
}

// Makes the missing keys of `names` below `at`; true when one was made.
bool CreateBelow(RegKey *at, const std::vector<std::string> &names) {
  bool created = false;
  for (const std::string &name : names) {
    RegKey *next = FindSubkey(at, name);
    if (!next) {
      auto child = std::make_unique<RegKey>();
      child->name = name;  // a new key keeps the case it is created with
      next = child.get();
      at->subkeys.emplace(FoldName(name), std::move(child));
      created = true;
    }
    at = next;
  }
  return created;
}

// Applies `change` to the key a handle stands for: in memory for the hives
// kept there, through the file for the current user's. A key another process
// took away answers ERROR_KEY_DELETED, as Windows answers for a deleted key.
LSTATUS ChangeKey(const OpenKey &open, const std::function<LSTATUS(RegKey &)> &change) {
  auto onKey = [&open, &change](RegKey &root) -> LSTATUS {
    RegKey *key = KeyAt(root, open.path);
    return key ? change(*key) : LSTATUS(ERROR_KEY_DELETED);
  };
  if (!open.hive->persistent) return onKey(open.hive->root);
  LSTATUS status = ChangeCurrentUser(onKey);
  // Told once the lock is let go: the host may show a message box.
  if (status == ERROR_CANTWRITE && State().writeFailed) {
    auto report = State().writeFailed;
    report(State().writeProblem);
  }
  return status;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == 2 /* EXPAND_SZ */ || type == 7 /* MULTI_SZ */; }

}  // namespace

std::string RegistryPath() { return Path(); }

std::string RegistryProblem() {
  Refresh();
  return State().problem;
}

std::string RegistryWriteProblem() { return State().writeProblem; }

void FailNextRegistryRename() { State().failNextRename = true; }

void OnRegistryWriteFailed(std::function<void(const std::string &why)> report) {
  State().writeFailed = std::move(report);
}

}  // namespace vd

using vd::OpenKey;
using vd::RegKey;
using vd::RegValue;

extern "C" {

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                               REGSAM access, const SECURITY_ATTRIBUTES *security, PHKEY result,
                               LPDWORD disposition) {
  (void)reserved;
  (void)className;
  (void)security;
  if (!result) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  if (!vd::Resolve(key, base)) return ERROR_INVALID_HANDLE;
  *result = nullptr;
  if (options != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;  // volatile keys are not kept
  std::vector<std::string> names;
  if (LSTATUS status = vd::SplitPath(subKey, names)) return status;
  if (base.depth() + int(names.size()) > vd::kMaxKeyDepth) return ERROR_INVALID_PARAMETER;

  RegKey *at = vd::KeyAt(base.hive->root, base.path);
  if (!at) return ERROR_KEY_DELETED;
  RegKey *existing = at;
  for (const std::string &name : names) existing = existing ? vd::FindSubkey(existing, name) : nullptr;
  bool created = false;
  if (!existing) {
    // New empty keys over a damaged file stay in memory: a load that opens its key
    // must not destroy the file; the next value written replaces it.
    if (base.hive->persistent && vd::State().keepDamagedCopy) {
      created = vd::CreateBelow(at, names);
    } else if (LSTATUS status = vd::ChangeKey(base, [&](RegKey &k) {
                 created = vd::CreateBelow(&k, names);
                 return LSTATUS(ERROR_SUCCESS);
               })) {
      return status;
    }
  }
  *result = vd::NewHandle(base, names, access);
  if (!*result) return ERROR_NOT_ENOUGH_MEMORY;  // every key handle is open
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  (void)options;
  if (!result) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  if (!vd::Resolve(key, base)) return ERROR_INVALID_HANDLE;
  *result = nullptr;
  std::vector<std::string> names;
  if (LSTATUS status = vd::SplitPath(subKey, names)) return status;
  if (names.empty() && vd::PredefinedHive(key)) {
    *result = key;  // a predefined key opened as itself
    return ERROR_SUCCESS;
  }
  RegKey *at = vd::KeyAt(base.hive->root, base.path);
  if (!at) return ERROR_KEY_DELETED;
  for (const std::string &name : names) {
    at = vd::FindSubkey(at, name);
    if (!at) return ERROR_FILE_NOT_FOUND;
  }
  *result = vd::NewHandle(base, names, access);
  return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
  if ((data && !dataSize) || reserved) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (!vd::Resolve(key, open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  RegKey *at = vd::KeyAt(open.hive->root, open.path);
  if (!at) return ERROR_KEY_DELETED;
  auto found = at->values.find(vd::FoldName(valueName ? valueName : ""));
  if (found == at->values.end()) return ERROR_FILE_NOT_FOUND;
  const RegValue *value = &found->second;

  DWORD length = DWORD(value->data.size());
  LSTATUS status = ERROR_SUCCESS;
  if (data) {
    DWORD room = *dataSize;
    if (length > room) {
      // Windows leaves the buffer as it was and reports the size needed.
      status = ERROR_MORE_DATA;
    } else {
      if (length > 0) std::memcpy(data, value->data.data(), length);
      // A string stored without its terminator gets one when the buffer has room for it.
      if (vd::IsStringType(value->type) && length > 0 && length < room && data[length - 1] != 0) {
        data[length] = 0;
      }
    }
  }
  if (type) *type = value->type;
  if (dataSize) *dataSize = length;
  return status;
}

// A set changes that one value: the rest of the file stays as its last writer left it.
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data,
                              DWORD dataSize) {
  (void)reserved;
  OpenKey open;
  if (!vd::Resolve(key, open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (!data && dataSize) return ERROR_NOACCESS;
  std::string name = valueName ? valueName : "";
  if (name.size() > vd::kMaxValueNameLength || dataSize > vd::kMaxValueSize) return ERROR_INVALID_PARAMETER;
  return vd::ChangeKey(open, [&](RegKey &k) {
    auto it = k.values.find(vd::FoldName(name));
    if (it == k.values.end()) {
      RegValue fresh;
      fresh.name = name;  // a new value keeps the case it is created with
      it = k.values.emplace(vd::FoldName(name), std::move(fresh)).first;
    }
    it->second.type = type;
    it->second.data.assign(data, data + dataSize);
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
  OpenKey open;
  if (!vd::Resolve(key, open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::string folded = vd::FoldName(valueName ? valueName : "");
  return vd::ChangeKey(open, [&](RegKey &k) {
    return k.values.erase(folded) ? LSTATUS(ERROR_SUCCESS) : LSTATUS(ERROR_FILE_NOT_FOUND);
  });
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
  if (vd::IsPredefined(key, HKEY_CURRENT_USER) || vd::IsPredefined(key, HKEY_LOCAL_MACHINE) ||
      vd::IsPredefined(key, HKEY_CLASSES_ROOT)) {
    return ERROR_SUCCESS;  // predefined keys are never closed
  }
  return vd::State().handles.Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
