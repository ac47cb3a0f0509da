// The registry: HKEY_CURRENT_USER kept in one file, read on first use after a
// reset and replaced atomically on every change. HKEY_LOCAL_MACHINE and
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

// What a key handle refers to. Keys are never deleted while the desktop
// lives, so the pointers stay valid until the reset that clears the table too.
struct OpenKey {
  Hive *hive = nullptr;
  RegKey *key = nullptr;
  int depth = 0;  // levels below the hive's root
  REGSAM access = 0;
};

struct RegistryState {
  bool pathResolved = false;
  std::string path;
  bool loaded = false;
  std::string problem;
  bool keepDamagedCopy = false;  // the file on disk is damaged and not yet replaced
  bool unreadable = false;       // the file exists but could not be read: never replace it
  bool failNextRename = false;
  std::string writeProblem;  // why the last write of the file failed; empty after a good one
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
  if (path.empty()) return;

  // O_NONBLOCK: a FIFO in the file's place must not hang the desktop.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
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
  close(fd);

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

void EnsureLoaded() {
  RegistryState &s = State();
  if (s.loaded) return;
  s.loaded = true;
  LoadCurrentUser();
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
  explicit HiveLock(const std::string &hive) {
    std::string path = hive + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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

// Temporary files of writers that died before their rename. Only a writer
// that holds the lock removes them: no other writer can be writing one then.
void RemoveStaleTemporaries(const std::string &hive) {
  namespace fs = std::filesystem;
  std::string name = fs::path(hive).filename().string();
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(hive), ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    bool stale = entry == name + ".tmp" ||
                 (entry.size() == name.size() + 11 && entry.compare(0, name.size() + 5, name + ".tmp-") == 0) ||
                 (entry.size() == name.size() + 19 && entry.compare(0, name.size() + 13, name + ".damaged.tmp-") == 0);
    if (stale) unlink(it->path().c_str());
  }
}

// Replaces the file with the current hive. A damaged file is first copied
// whole to "<file>.damaged"; when that copy cannot be made the file is not
// replaced, so its bytes are never lost.
bool SaveCurrentUser() {
  namespace fs = std::filesystem;
  RegistryState &s = State();
  auto fail = [&s](const std::string &why) {
    s.writeProblem = why;
    return false;
  };
  std::string bytes;
  if (Path().empty()) return fail("no registry file is set (no HOME)");
  if (s.unreadable) return fail("the registry file " + Path() + " could not be read, so it is not replaced");
  if (!EncodeHive(s.currentUser.root, bytes)) return fail("the registry is too large for its file");
  std::string target = FollowLinks(Path());
  if (target.empty()) return fail("the symbolic links at " + Path() + " go round in a loop");

  std::error_code ec;
  fs::create_directories(FolderOf(target), ec);
  HiveLock lock(target);
  if (!lock.held()) return fail(lock.why());
  RemoveStaleTemporaries(target);

  std::string why;
  if (s.keepDamagedCopy) {
    // Another writer may have replaced the damaged file since it was read (and kept its copy).
    std::string current, damage;
    RegKey scratch;
    if (ReadWholeFile(target, current) && !DecodeHive(current, scratch, damage) &&
        !ReplaceFile(target + ".damaged", current, why)) {
      return fail("the damaged registry file is kept until a copy of it can be made: " + why);
    }
  }

  bool crash = s.failNextRename;
  s.failNextRename = false;
  if (!ReplaceFile(target, bytes, why, crash)) return fail(why);
  s.keepDamagedCopy = false;
  s.writeProblem.clear();
  return true;
}

// ---------------------------------------------------------------- keys and handles

bool IsPredefined(HKEY key, HKEY predefined) {
  return reinterpret_cast<uintptr_t>(key) == reinterpret_cast<uintptr_t>(predefined);
}

Hive *PredefinedHive(HKEY key) {
  RegistryState &s = State();
  if (IsPredefined(key, HKEY_CURRENT_USER)) {
    EnsureLoaded();
    return &s.currentUser;
  }
  if (IsPredefined(key, HKEY_LOCAL_MACHINE)) return &s.localMachine;
  if (IsPredefined(key, HKEY_CLASSES_ROOT)) return &s.classesRoot;
  return nullptr;
}

// The key a handle stands for, or false when the handle is not live.
bool Resolve(HKEY key, OpenKey &out) {
  if (Hive *hive = PredefinedHive(key)) {
    out = OpenKey{hive, &hive->root, 0, KEY_ALL_ACCESS};
    return true;
  }
  if (OpenKey *open = State().handles.Find(key)) {
    out = *open;
    return true;
  }
  return false;
}

REGSAM MapAccess(REGSAM access) {
  if (access & (kGenericAll | kMaximumAllowed)) access |= KEY_ALL_ACCESS;
  if (access & kGenericRead) access |= KEY_READ;
  if (access & kGenericWrite) access |= KEY_WRITE;
  return access & KEY_ALL_ACCESS;
}

HKEY NewHandle(const OpenKey &base, RegKey *key, int depth, REGSAM access) {
  uintptr_t handle = State().handles.Add(
      std::make_unique<OpenKey>(OpenKey{base.hive, key, depth, MapAccess(access)}));
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

const RegValue *FindValue(const RegKey *key, LPCSTR name) {
  auto it = key->values.find(FoldName(name ? name : ""));
  return it == key->values.end() ? nullptr : &it->second;
}

// Writes the hive if it is kept on disk.
bool Persist(const OpenKey &key) { return !key.hive->persistent || SaveCurrentUser(); }

bool IsStringType(DWORD type) { return type == REG_SZ || type == 2 /* EXPAND_SZ */ || type == 7 /* MULTI_SZ */; }

}  // namespace

std::string RegistryPath() { return Path(); }

std::string RegistryProblem() {
  EnsureLoaded();
  return State().problem;
}

std::string RegistryWriteProblem() { return State().writeProblem; }

void FailNextRegistryRename() { State().failNextRename = true; }

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
  if (base.depth + int(names.size()) > vd::kMaxKeyDepth) return ERROR_INVALID_PARAMETER;

  // Walk down what exists, then make the rest in one branch.
  RegKey *at = base.key;
  size_t i = 0;
  for (; i < names.size(); ++i) {
    RegKey *next = vd::FindSubkey(at, names[i]);
    if (!next) break;
    at = next;
  }
  bool created = i < names.size();
  if (created) {
    RegKey *branchParent = at;
    std::string branchName = vd::FoldName(names[i]);
    for (; i < names.size(); ++i) {
      auto child = std::make_unique<RegKey>();
      child->name = names[i];
      RegKey *raw = child.get();
      at->subkeys.emplace(vd::FoldName(names[i]), std::move(child));
      at = raw;
    }
    // New empty keys over a damaged file stay in memory: a load that opens its key
    // must not destroy the file; the next value written replaces it.
    if (!vd::State().keepDamagedCopy && !vd::Persist(base)) {
      branchParent->subkeys.erase(branchName);  // memory stays what the file holds
      return ERROR_CANTWRITE;
    }
  }
  *result = vd::NewHandle(base, at, base.depth + int(names.size()), access);
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
  RegKey *at = base.key;
  for (const std::string &name : names) {
    at = vd::FindSubkey(at, name);
    if (!at) return ERROR_FILE_NOT_FOUND;
  }
  *result = vd::NewHandle(base, at, base.depth + int(names.size()), access);
  return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
  if ((data && !dataSize) || reserved) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (!vd::Resolve(key, open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const RegValue *value = vd::FindValue(open.key, valueName);
  if (!value) return ERROR_FILE_NOT_FOUND;

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

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data,
                              DWORD dataSize) {
  (void)reserved;
  OpenKey open;
  if (!vd::Resolve(key, open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (!data && dataSize) return ERROR_NOACCESS;
  std::string name = valueName ? valueName : "";
  if (name.size() > vd::kMaxValueNameLength || dataSize > vd::kMaxValueSize) return ERROR_INVALID_PARAMETER;

  std::string folded = vd::FoldName(name);
  auto &values = open.key->values;
  auto it = values.find(folded);
  bool existed = it != values.end();
  RegValue previous;
  if (existed) {
    previous = it->second;
  } else {
    RegValue fresh;
    fresh.name = name;  // a new value keeps the case it is created with
    it = values.emplace(folded, std::move(fresh)).first;
  }
  it->second.type = type;
  it->second.data.assign(data, data + dataSize);

  if (!vd::Persist(open)) {
    if (existed) {
      it->second = std::move(previous);
    } else {
      values.erase(it);
    }
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
  OpenKey open;
  if (!vd::Resolve(key, open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  auto &values = open.key->values;
  auto it = values.find(vd::FoldName(valueName ? valueName : ""));
  if (it == values.end()) return ERROR_FILE_NOT_FOUND;
  RegValue removed = std::move(it->second);
  std::string folded = it->first;
  values.erase(it);
  if (!vd::Persist(open)) {
    values.emplace(std::move(folded), std::move(removed));
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
  if (vd::IsPredefined(key, HKEY_CURRENT_USER) || vd::IsPredefined(key, HKEY_LOCAL_MACHINE) ||
      vd::IsPredefined(key, HKEY_CLASSES_ROOT)) {
    return ERROR_SUCCESS;  // predefined keys are never closed
  }
  return vd::State().handles.Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
