// Writing a release: walking the source tree, one payload archive per file (zip, or 7z for
// scenery), the manifest with older signatures and "GONE" records carried over from the previous
// release, and the server list.
//
// [SECTION] Names the installer can read back
// [SECTION] Source tree
// [SECTION] Payloads
// [SECTION] Manifest
// [SECTION] Server list
#include "release_writer.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include "files/signature.h"
#include "installer/manifest.h"

namespace {

constexpr size_t chunk_bytes = 1 << 20;

// ---------------------------------------------------------------------------------------------
// [SECTION] Names the installer can read back
// ---------------------------------------------------------------------------------------------

// A manifest name runs to the end of its line after the blanks that follow the numbers, and
// paths handed to the installer's reader may not hold a backslash or a colon. Anything else
// would come back as a different path, or stop the installer.
bool name_is_publishable(const std::string& name, std::string& why) {
  if (name.empty()) {
    why = "empty name";
    return false;
  }
  if (name[0] == ' ' || name[0] == '\t') {
    why = "name begins with a blank";
    return false;
  }
  for (unsigned char c : name) {
    if (c == '\\' || c == ':') {
      why = "name holds a backslash or a colon";
      return false;
    }
    if (c == '\r' || c == '\n' || c == 0) {
      why = "name holds a line end";
      return false;
    }
  }
  return true;
}

// The reader passes over these names, so a file carrying one would never reach an installation.
bool name_is_dropped_by_installer(const std::string& name) {
  return name.find("900 red terrain") != std::string::npos ||
         name.find("Earth Orbit Textures") != std::string::npos;
}

bool is_scenery(const std::string& path) {
  return path.find("Global Scenery") != std::string::npos;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Source tree
// ---------------------------------------------------------------------------------------------

struct SourceFile {
  std::string full_path;     // on disk
  std::string release_path;  // top folder + "/" + path below it
  std::string below_top;     // path below the top folder, for the platform rules
  mode_t mode = 0;
  time_t mtime = 0;
  long long size = 0;
  // Filled by the payload workers:
  std::string signature;
  long long payload_bytes = 0;
  std::string error;
};

int make_folders(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    }
    if (i < path.size()) partial += path[i];
  }
  return 0;
}

bool walk(const std::string& folder, const std::string& release_folder, const std::string& below,
          std::vector<SourceFile>& files, std::string& error) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) {
    error = "cannot list " + folder + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] == '.') continue;  // hidden entries are not part of a release
    names.emplace_back(entry->d_name);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string why;
    if (!name_is_publishable(name, why)) {
      error = folder + name + ": " + why + "; the installer could not read it back";
      return false;
    }
    std::string full = folder + name;
    struct stat info;
    if (stat(full.c_str(), &info) != 0) {
      error = "cannot read " + full + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      if (!walk(full + "/", release_folder + name + "/", below + name + "/", files, error))
        return false;
    } else if (S_ISREG(info.st_mode)) {
      if (name_is_dropped_by_installer(name)) {
        std::fprintf(stderr, "velmora-publish: leaving out %s: installers pass over this name\n",
                     full.c_str());
        continue;
      }
      SourceFile file;
      file.full_path = full;
      file.release_path = release_folder + name;
      file.below_top = below + name;
      file.mode = info.st_mode;
      file.mtime = info.st_mtime;
      file.size = info.st_size;
      files.push_back(std::move(file));
    }
  }
  return true;
}

int platform_of(const std::string& below_top, const std::vector<PlatformRule>& rules) {
  for (const PlatformRule& rule : rules)
    if (fnmatch(rule.pattern.c_str(), below_top.c_str(), 0) == 0) return rule.code;
  return 0;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Payloads
// ---------------------------------------------------------------------------------------------

// Reads a file in chunks, handing each to `sink` and hashing it on the way.
template <typename Sink>
bool stream_file(const std::string& path, std::string& signature, std::string& error, Sink sink) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> md5(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(md5.get(), EVP_md5(), nullptr);
  std::vector<char> buffer(chunk_bytes);
  bool ok = true;
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      ok = false;
      break;
    }
    if (got == 0) break;
    EVP_DigestUpdate(md5.get(), buffer.data(), static_cast<size_t>(got));
    if (!sink(buffer.data(), static_cast<size_t>(got))) {
      error = "cannot write the payload of " + path;
      ok = false;
      break;
    }
  }
  ::close(fd);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_DigestFinal_ex(md5.get(), digest, &length);
  if (ok) signature = signature_text(digest, length);
  return ok;
}

bool write_zip(const std::string& archive, const std::string& entry_name,
               const SourceFile& file, int level, std::string& signature, std::string& error) {
  zipFile zip = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
  if (!zip) {
    error = "cannot create " + archive;
    return false;
  }
  zip_fileinfo info{};
  struct tm local;
  localtime_r(&file.mtime, &local);
  info.tmz_date.tm_sec = local.tm_sec;
  info.tmz_date.tm_min = local.tm_min;
  info.tmz_date.tm_hour = local.tm_hour;
  info.tmz_date.tm_mday = local.tm_mday;
  info.tmz_date.tm_mon = local.tm_mon;
  info.tmz_date.tm_year = local.tm_year + 1900;
  info.external_fa = static_cast<uLong>(file.mode & 0xFFFF) << 16;
  const int made_by_unix = (3 << 8) | 20;
  int zip64 = file.size >= 0xFFFFFFFFLL ? 1 : 0;
  if (zipOpenNewFileInZip4_64(zip, entry_name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, level, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                              Z_DEFAULT_STRATEGY, nullptr, 0, made_by_unix, 0, zip64) != ZIP_OK) {
    zipClose(zip, nullptr);
    error = "cannot add " + entry_name + " to " + archive;
    return false;
  }
  bool ok = stream_file(file.full_path, signature, error, [&](const char* data, size_t n) {
    return zipWriteInFileInZip(zip, data, static_cast<unsigned>(n)) == ZIP_OK;
  });
  if (zipCloseFileInZip(zip) != ZIP_OK && ok) {
    error = "cannot finish " + archive;
    ok = false;
  }
  if (zipClose(zip, nullptr) != ZIP_OK && ok) {
    error = "cannot finish " + archive;
    ok = false;
  }
  return ok;
}

bool write_7z(const std::string& archive, const std::string& entry_name, const SourceFile& file,
              std::string& signature, std::string& error) {
  std::unique_ptr<struct archive, int (*)(struct archive*)> out(archive_write_new(),
                                                                archive_write_free);
  if (archive_write_set_format_7zip(out.get()) != ARCHIVE_OK ||
      archive_write_set_format_option(out.get(), "7zip", "compression", "lzma2") != ARCHIVE_OK ||
      archive_write_open_filename(out.get(), archive.c_str()) != ARCHIVE_OK) {
    error = "cannot create " + archive + ": " + archive_error_string(out.get());
    return false;
  }
  std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                 archive_entry_free);
  archive_entry_set_pathname(entry.get(), entry_name.c_str());
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), file.mode & 07777);
  archive_entry_set_size(entry.get(), file.size);
  archive_entry_set_mtime(entry.get(), file.mtime, 0);
  if (archive_write_header(out.get(), entry.get()) != ARCHIVE_OK) {
    error = "cannot add " + entry_name + " to " + archive + ": " + archive_error_string(out.get());
    return false;
  }
  bool ok = stream_file(file.full_path, signature, error, [&](const char* data, size_t n) {
    return archive_write_data(out.get(), data, n) == static_cast<la_ssize_t>(n);
  });
  if (archive_write_close(out.get()) != ARCHIVE_OK && ok) {
    error = "cannot finish " + archive + ": " + archive_error_string(out.get());
    ok = false;
  }
  return ok;
}

// Writes one payload beside its final name and renames it into place when it is complete.
void make_payload(SourceFile& file, const std::string& out, int zip_level) {
  std::string archive = out + file.release_path + (is_scenery(file.release_path) ? ".7z" : ".zip");
  std::string folder = archive.substr(0, archive.rfind('/'));
  if (int code = make_folders(folder)) {
    file.error = "cannot create " + folder + ": " + std::strerror(code);
    return;
  }
  std::string partial = archive + ".partial";
  std::string entry_name = file.release_path.substr(file.release_path.rfind('/') + 1);
  bool ok = is_scenery(file.release_path)
                ? write_7z(partial, entry_name, file, file.signature, file.error)
                : write_zip(partial, entry_name, file, zip_level, file.signature, file.error);
  struct stat info;
  if (ok && stat(partial.c_str(), &info) != 0) {
    file.error = "cannot read back " + partial;
    ok = false;
  }
  if (ok && std::rename(partial.c_str(), archive.c_str()) != 0) {
    file.error = "cannot rename " + partial + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    std::remove(partial.c_str());
    return;
  }
  file.payload_bytes = info.st_size;
}

void make_payloads(std::vector<SourceFile>& files, const std::string& out, int zip_level,
                   int threads) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < files.size(); i = next++) make_payload(files[i], out, zip_level);
  };
  std::vector<std::thread> workers;
  for (int i = 1; i < threads; ++i) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Manifest
// ---------------------------------------------------------------------------------------------

struct Record {
  int reserved_code = 0;
  int platform = 0;
  int reserved_number = 0;
  long long download_kb = 0;
  long long install_kb = 0;
  std::string signature;
};

// Every path of the previous release with its records in file order.
bool read_previous(const std::string& path, std::map<std::string, std::vector<Record>>& history,
                   std::string& error) {
  if (access(path.c_str(), R_OK) != 0) {
    error = "cannot read the previous release's manifest " + path;
    return false;
  }
  if (!read_manifest(path, "Reading the previous release")) {
    error = path + " is not a manifest this publisher writes";
    return false;
  }
  for (const PathGroup& group : manifest().groups)
    for (const ManifestEntry& entry : group.entries) {
      Record record;
      record.reserved_code = entry.reserved_code;
      record.platform = entry.platform;
      record.reserved_number = entry.reserved_number;
      record.download_kb = static_cast<long long>(entry.download_kb);
      record.install_kb = static_cast<long long>(entry.install_kb);
      record.signature = entry.sig_want;
      history[entry.path].push_back(record);
    }
  manifest().groups.clear();
  return true;
}

// The records of one path: its older signatures (each once, oldest first), then its current
// record. A file that left the release ends with a "GONE" record so installations delete it.
std::vector<Record> records_for(const std::vector<Record>* previous, const Record* current,
                                ReleaseSummary& summary) {
  std::vector<Record> records;
  std::string current_signature = current ? current->signature : "GONE";
  if (previous) {
    for (const Record& old : *previous) {
      if (old.signature == "GONE" || old.signature == current_signature) continue;
      bool seen = std::any_of(records.begin(), records.end(),
                              [&](const Record& r) { return r.signature == old.signature; });
      if (!seen) records.push_back(old);
    }
  }
  summary.older_versions += static_cast<int>(records.size());
  if (current) {
    records.push_back(*current);
  } else {
    Record gone = previous->back();
    gone.download_kb = 0;
    gone.install_kb = 0;
    gone.signature = "GONE";
    records.push_back(gone);
    ++summary.gone;
  }
  return records;
}

bool write_manifest_file(const std::string& path,
                         const std::map<std::string, std::vector<Record>>& records,
                         std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "I\n900 version\nINSTALLER\n";
  std::string folder;
  bool first = true;
  for (const auto& [release_path, list] : records) {
    size_t slash = release_path.rfind('/');
    std::string this_folder = release_path.substr(0, slash + 1);
    if (first || this_folder != folder) {
      out << "DIR " << this_folder << "\n";
      folder = this_folder;
      first = false;
    }
    std::string name = release_path.substr(slash + 1);
    for (const Record& r : list)
      out << "FILE " << r.reserved_code << ' ' << r.platform << ' ' << r.reserved_number << ' '
          << r.download_kb << ' ' << r.install_kb << ' ' << r.signature << ' ' << name << "\n";
  }
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

long long size_in_kb(long long bytes) { return (bytes + 999) / 1000; }

int write_release(const ReleaseOptions& options, ReleaseSummary& summary, std::string& error) {
  std::string source = options.source;
  while (source.size() > 1 && source.back() == '/') source.pop_back();
  std::string top = source.substr(source.rfind('/') + 1);
  std::string why;
  if (top.empty() || top == "." || top == ".." || !name_is_publishable(top, why)) {
    error = "the source must be the release's top folder with a plain name: " + options.source;
    return 1;
  }
  std::string out = options.out;
  if (out.empty()) {
    error = "no output folder given";
    return 1;
  }
  if (out.back() != '/') out += '/';

  std::map<std::string, std::vector<Record>> history;
  if (!options.previous.empty() && !read_previous(options.previous, history, error)) return 1;

  std::vector<SourceFile> files;
  if (!walk(source + "/", top + "/", "", files, error)) return 1;
  if (int code = make_folders(out)) {
    error = "cannot create " + out + ": " + std::strerror(code);
    return 1;
  }
  make_payloads(files, out, options.zip_level, options.threads);

  std::map<std::string, std::vector<Record>> records;
  for (const SourceFile& file : files) {
    if (!file.error.empty()) {
      error = file.error;
      return 1;
    }
    Record current;
    current.platform = platform_of(file.below_top, options.platform_rules);
    current.download_kb = size_in_kb(file.payload_bytes);
    current.install_kb = size_in_kb(file.size);
    current.signature = file.signature;
    auto old = history.find(file.release_path);
    records[file.release_path] =
        records_for(old == history.end() ? nullptr : &old->second, &current, summary);
    ++summary.files;
    summary.payload_bytes += file.payload_bytes;
    summary.file_bytes += file.size;
  }
  for (const auto& [release_path, list] : history) {
    if (records.count(release_path)) continue;
    records[release_path] = records_for(&list, nullptr, summary);
  }

  std::string manifest_path = out + "directory.txt";
  if (!write_manifest_file(manifest_path, records, error)) return 1;
  SourceFile manifest_file;
  manifest_file.full_path = manifest_path;
  manifest_file.mode = S_IFREG | 0644;
  manifest_file.mtime = std::time(nullptr);
  std::string manifest_signature;
  std::string archive = out + "directory.txt.zip";
  std::string partial = archive + ".partial";
  if (!write_zip(partial, "directory.txt", manifest_file, 9, manifest_signature, error) ||
      std::rename(partial.c_str(), archive.c_str()) != 0) {
    std::remove(partial.c_str());
    if (error.empty()) error = "cannot write " + archive;
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Server list
// ---------------------------------------------------------------------------------------------

int write_server_list(const std::string& path, const std::string& release_name,
                      const std::vector<ServerEntry>& servers, std::string& error) {
  std::string why;
  if (!name_is_publishable(release_name, why) || release_name.find('/') != std::string::npos ||
      release_name == "." || release_name == "..") {
    error = "the release name must be a plain folder name: " + release_name;
    return 1;
  }
  if (servers.empty() || servers.size() > 10) {
    error = "a server list names one to ten servers";
    return 1;
  }
  for (const ServerEntry& server : servers) {
    auto begins_with_blank = [](const std::string& s) {
      return !s.empty() && (s[0] == ' ' || s[0] == '\t');
    };
    auto has_line_end = [](const std::string& s) {
      return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
    };
    if (server.host.empty() || server.host.back() == '/' || begins_with_blank(server.host) ||
        begins_with_blank(server.name) || has_line_end(server.host) ||
        has_line_end(server.folder) || has_line_end(server.name)) {
      error = "bad server host or name: " + server.host;
      return 1;
    }
    if (server.folder.empty() || server.folder.front() != '/' || server.folder.back() != '/') {
      error = "a server's folder begins and ends with \"/\": " + server.folder;
      return 1;
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "I\n820 version\nSERVERS\n\nBETA " << release_name << "\n\n";
  for (const ServerEntry& server : servers)
    out << "SERVER " << server.host << "\n" << server.folder << "\n" << server.name << "\n\n";
  out << "ENDOFLIST\n";
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return 1;
  }
  return 0;
}
