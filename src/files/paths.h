// Path conventions and file operations. Paths use "/" only; folder paths end in "/". Every
// operation returns an error number (0, errno, or a program code) and never throws.
#pragma once
#include <fstream>
#include <string>
#include <vector>

constexpr size_t max_path_chars = 499;

// Framework-wide prefix put before every path handed to MemFile and the file operations (empty
// in this program), and the case-sensitive-file-system flag (1 on this platform).
std::string& base_folder_prefix();
int& case_sensitive_fs();

// Raises the "String too long!" t_exit alert when `path` is longer than max_path_chars.
void check_path_length(const std::string& path);

std::string last_component(const std::string& path);
std::string parent_folder(const std::string& path);
std::string strip_first_component(const std::string& path);
bool ends_with_slash(const std::string& path);

int make_folder(const std::string& path);
int delete_file(std::string& path);  // writes the prefixed path back into `path`
int rename_in_folder(const std::string& folder, const std::string& old_name,
                     const std::string& new_name);
int list_dir(const std::string& folder, int wanted_type, std::vector<std::string>& names,
             std::vector<int>& types);

// The program's single shared output file stream, opened by ouf_open with the common header
// (header type 10000 binary, 10001 text). `comment` is written only when it differs from
// ouf_no_comment. Returns false after its save-failure alert.
constexpr const char* ouf_no_comment = "none";
std::ofstream& ouf();
bool ouf_open(const std::string& path, int header_type, int version,
              const std::string& comment = ouf_no_comment);
