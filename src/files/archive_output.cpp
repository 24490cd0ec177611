// Safe writing of archive entries: name checks, link-free folder walks, nameless temporary files
// renamed over their targets when complete, and the MD5 of what was written.
//
// [SECTION] temporary names and signatures
// [SECTION] ArchiveOutput: the output folder, folder and link entries
// [SECTION] DigestPipe: the signature computed beside the decoding
// [SECTION] EntryFile: one regular file
#include "files/archive_output.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "files/errors.h"
#include "files/signature.h"
#include "files/paths.h"

// [SECTION] temporary names and signatures ----------------------------------------------------

namespace {

constexpr const char* source_tag = "io_utils";

// A name for a file that is about to be renamed over its target; short, so that it fits beside
// a target name of any length, and hidden, so a folder listing does not show it.
std::string temporary_name() {
  static std::atomic<unsigned> counter{0};
  return ".expand-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

int fail(int code, int line) {
  note_failure(source_tag, line);
  return code;
}

}  // namespace

// [SECTION] ArchiveOutput: the output folder, folder and link entries --------------------------

ArchiveOutput::~ArchiveOutput() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

int ArchiveOutput::open(const std::string& folder) {
  if (descriptor_ >= 0) ::close(descriptor_);
  folder_ = folder;
  descriptor_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (descriptor_ < 0) return fail(errno, __LINE__);
  return 0;
}

int ArchiveOutput::open_parent(const std::string& name, int& parent, std::string& leaf) {
  parent = -1;
  leaf.clear();
  if (folder_.size() + name.size() > max_path_chars) return fail(ENAMETOOLONG, __LINE__);
  if (!name.empty() && name[0] == '/') return fail(err_archive_outside, __LINE__);

  std::vector<std::string> components;
  size_t start = 0;
  while (start <= name.size()) {
    size_t slash = name.find('/', start);
    if (slash == std::string::npos) slash = name.size();
    std::string component = name.substr(start, slash - start);
    if (component == "..") return fail(err_archive_outside, __LINE__);
    if (!component.empty() && component != ".") components.push_back(std::move(component));
    start = slash + 1;
  }

  int current = fcntl(descriptor_, F_DUPFD_CLOEXEC, 0);
  if (current < 0) return fail(errno, __LINE__);
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    int next = openat(current, components[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      int code = errno;
      struct stat status;
      if (fstatat(current, components[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(status.st_mode))
        code = err_archive_outside;
      ::close(current);
      return fail(code, __LINE__);
    }
    ::close(current);
    current = next;
  }
  if (!components.empty()) leaf = components.back();
  parent = current;
  return 0;
}

int ArchiveOutput::make_folder(const std::string& name) {
  int parent;
  std::string leaf;
  int code = open_parent(name, parent, leaf);
  if (code != 0) return code;
  if (!leaf.empty() && mkdirat(parent, leaf.c_str(), 0755) != 0 && errno != EEXIST)
    code = fail(errno, __LINE__);
  ::close(parent);
  return code;
}

int ArchiveOutput::make_link(const std::string& name, const std::string& link_text) {
  int parent;
  std::string leaf;
  int code = open_parent(name, parent, leaf);
  if (code != 0) return code;
  if (leaf.empty()) {
    ::close(parent);
    return fail(EINVAL, __LINE__);
  }
  std::string temp;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = temporary_name();
    if (symlinkat(link_text.c_str(), parent, temp.c_str()) == 0) {
      code = 0;
      break;
    }
    code = errno;
    if (code != EEXIST) break;
  }
  if (code == 0 && renameat(parent, temp.c_str(), parent, leaf.c_str()) != 0) {
    code = errno;
    unlinkat(parent, temp.c_str(), 0);
  }
  ::close(parent);
  return code == 0 ? 0 : fail(code, __LINE__);
}

// [SECTION] DigestPipe: the signature computed beside the decoding ---------------------------

// Feeds the chunks of one file into its MD5 on a thread of its own, so that hashing overlaps
// decoding and writing instead of adding to them. A file of one chunk is hashed at once, with
// no thread. Chunks are copied into a few buffers; the writer waits only when all are queued.
class DigestPipe {
 public:
  explicit DigestPipe(EVP_MD_CTX* context) : context_(context) {}
  ~DigestPipe() { finish(); }
  DigestPipe(const DigestPipe&) = delete;
  DigestPipe& operator=(const DigestPipe&) = delete;

  void add(const void* data, size_t size) {
    if (chunks_added_++ == 0 || !start()) {
      EVP_DigestUpdate(context_, data, size);
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_ < buffer_count; });
    const int slot = (next_ + queued_) % buffer_count;
    lock.unlock();
    // The slot past the queued ones is the writer's until it is counted in.
    buffers_[slot].assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    lock.lock();
    ++queued_;
    changed_.notify_all();
  }

  // Waits until every chunk is in the digest; the context is the caller's again afterwards.
  void finish() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

 private:
  static constexpr int buffer_count = 4;

  // Starts the hashing thread on the second chunk; false (hash in line) when none can be made.
  bool start() {
    if (thread_.joinable()) return true;
    if (start_failed_) return false;
    try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
      start_failed_ = true;
      return false;
    }
    return true;
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return queued_ > 0 || closing_; });
      if (queued_ == 0) return;
      const std::vector<char>& chunk = buffers_[next_];
      lock.unlock();
      EVP_DigestUpdate(context_, chunk.data(), chunk.size());
      lock.lock();
      next_ = (next_ + 1) % buffer_count;
      --queued_;
      changed_.notify_all();
    }
  }

  EVP_MD_CTX* context_;
  long chunks_added_ = 0;
  bool start_failed_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> buffers_[buffer_count];
  int next_ = 0;    // the oldest queued buffer
  int queued_ = 0;  // buffers waiting to be hashed
  bool closing_ = false;
  std::thread thread_;
};

// [SECTION] EntryFile: one regular file --------------------------------------------------------

EntryFile::EntryFile() = default;
EntryFile::~EntryFile() { abandon(); }

int EntryFile::begin(ArchiveOutput& output, const std::string& name, bool want_signature) {
  abandon();
  int code = output.open_parent(name, parent_, leaf_);
  if (code != 0) return code;
  if (leaf_.empty()) {
    abandon();
    return fail(EINVAL, __LINE__);
  }
  target_ = output.folder() + name;

  // A nameless file vanishes by itself if the process dies before it is put in place.
  descriptor_ = openat(parent_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (descriptor_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    for (int attempt = 0; attempt < 100 && descriptor_ < 0; ++attempt) {
      std::string temp = temporary_name();
      descriptor_ = openat(parent_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (descriptor_ >= 0) temp_name_ = temp;
      else if (errno != EEXIST) break;
    }
  }
  if (descriptor_ < 0) {
    code = errno;
    abandon();
    return fail(code, __LINE__);
  }

  if (want_signature) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr || EVP_DigestInit_ex(context, EVP_md5(), nullptr) != 1) {
      EVP_MD_CTX_free(context);
      abandon();
      return fail(ENOMEM, __LINE__);
    }
    digest_ = context;
    pipe_ = std::make_unique<DigestPipe>(context);
  }
  return 0;
}

int EntryFile::write(const void* data, size_t size) {
  if (pipe_ != nullptr) pipe_->add(data, size);
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(descriptor_, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return fail(errno, __LINE__);
    if (written == 0) return fail(ENOSPC, __LINE__);
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

int EntryFile::set_mode(mode_t mode) {
  if (fchmod(descriptor_, mode & 0777) != 0) return fail(errno, __LINE__);
  return 0;
}

int EntryFile::set_time(time_t when) {
  struct timespec times[2] = {{when, 0}, {when, 0}};
  if (futimens(descriptor_, times) != 0) return fail(-1, __LINE__);
  return 0;
}

const std::string& EntryFile::finish_signature() {
  if (digest_ != nullptr) {
    pipe_.reset();  // waits for the chunks still queued
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(digest_), digest, &length);
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(digest_));
    digest_ = nullptr;
    signature_ = signature_text(digest, length);
  }
  return signature_;
}

int EntryFile::commit() {
  int code = 0;
  if (temp_name_.empty()) {
    // Give the nameless file a name beside its target; the rename below then replaces the
    // target in one step. /proc is the unprivileged way; AT_EMPTY_PATH the fallback.
    std::string self = "/proc/self/fd/" + std::to_string(descriptor_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string temp = temporary_name();
      int linked = linkat(AT_FDCWD, self.c_str(), parent_, temp.c_str(), AT_SYMLINK_FOLLOW);
      if (linked != 0 && errno == ENOENT)
        linked = linkat(descriptor_, "", parent_, temp.c_str(), AT_EMPTY_PATH);
      if (linked == 0) {
        temp_name_ = temp;
        code = 0;
        break;
      }
      code = errno;
      if (code != EEXIST) break;
    }
    if (code != 0) {
      abandon();
      return fail(code, __LINE__);
    }
  }
  // Late write errors (a full disk on some file systems) show at close.
  int closed = ::close(descriptor_);
  descriptor_ = -1;
  if (closed != 0) code = errno;
  if (code == 0 && renameat(parent_, temp_name_.c_str(), parent_, leaf_.c_str()) != 0)
    code = errno;
  if (code != 0) {
    abandon();
    return fail(code, __LINE__);
  }
  temp_name_.clear();
  abandon();
  return 0;
}

void EntryFile::abandon() {
  if (!temp_name_.empty() && parent_ >= 0) unlinkat(parent_, temp_name_.c_str(), 0);
  temp_name_.clear();
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  if (parent_ >= 0) ::close(parent_);
  parent_ = -1;
  pipe_.reset();
  if (digest_ != nullptr) EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(digest_));
  digest_ = nullptr;
}

int finish_entry_file(EntryFile& file, const ExpandOptions& options) {
  ExpandedFile record;
  record.path = file.target();
  if (wants_signature(options)) record.signature = file.finish_signature();
  if (options.accept) {
    int refused = options.accept(record);
    if (refused != 0) {
      file.abandon();
      return refused;
    }
  }
  int code = file.commit();
  if (code != 0) return code;
  if (options.written != nullptr) options.written->push_back(std::move(record));
  return 0;
}
