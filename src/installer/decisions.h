// Decisions about locally modified files: a file whose signature matches no version the release
// ever listed for its path was changed by the user, so it is replaced, deleted or kept only as
// the user says, by a folder-wide answer given earlier in the same pass or by asking.
#pragma once
#include <set>
#include <string>

// What happens to one modified file.
enum class ModifiedDecision {
  needed,      // replace it (or delete it, when the release dropped the file)
  not_needed,  // keep it as it is
  cancel,      // the user cancelled the whole installation
};

// The answers of the question, as the front end returns them.
enum : int {
  answer_replace = 1,        // "OVERWRITE THE OLD FILE" / "DELETE THE OLD FILE"
  answer_keep = 2,           // "KEEP THE OLD FILE"
  answer_cancel = 3,         // "CANCEL THE WHOLE INSTALLATION!"
  answer_replace_every = 4,  // ... EVERY OLD FILE IN THIS DIRECTORY (overwrite or delete)
  answer_keep_every = 5,     // "KEEP EVERY OLD FILE IN THIS DIRECTORY"
};

// Folder-wide answers given during one decision pass. A folder is a file's parent folder
// (ending in "/"); an answer covers exactly the files directly in it, for both forms of the
// question. The pass that owns the record starts it empty and drops it at its end.
struct FolderAnswers {
  std::set<std::string> replace_every;
  std::set<std::string> keep_every;
};

// Shows the question for `local_path` through the front end; delete_form when the release no
// longer has the file. Returns the answer 1 to 5; anything else the front end gives counts as
// cancel.
int ask_modified(const std::string& local_path, bool delete_form);

// Decides one modified file: by a folder-wide answer when one covers its folder, otherwise by
// asking (and remembering a folder-wide answer for the rest of the pass).
ModifiedDecision resolve_modified(FolderAnswers& answers, const std::string& local_path,
                                  bool delete_form);
